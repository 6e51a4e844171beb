// Writes the seed corpora of the fuzz targets into the folder named on the
// command line, so that mutations start from inputs that get past the first
// checks (the 12-byte marker, the digest, the archive version):
//   payload_fuzz/             small installers, as the packer writes them:
//                             stored, compressed, web install, and signed (a
//                             certificate table after the payload)
//   pack_installer_info_fuzz/ the same installers
//   archive_fuzz/             the decoded package archive of those installers
// The stub is a minimal PE image of 1 KiB, not the real installer, so that
// each seed stays a few KiB.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "payload/payload_container.h"
#include "payload/payload_decoder.h"
#include "tests/support/files.h"
#include "tests/support/payload_builder.h"
#include "tools/pack_installer/command_line.h"
#include "tools/pack_installer/packer.h"

namespace {

namespace fs = std::filesystem;
namespace installer = zevrino::desktop::installer;
namespace packer = zevrino::desktop::packer;
using Bytes = std::vector<std::uint8_t>;

// Not WriteBytes (tests/support/files.h): that fails a running test, and this
// program has none; it needs the outcome for its exit code.
bool Write(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return out.good();
}

// Packs with the packer's own command line; empty on failure.
Bytes Pack(const fs::path& work, const std::string& name, std::vector<std::string> args) {
  const fs::path output = work / name;
  args.insert(args.begin(),
              {"pack", "--stub", (work / "stub.exe").string(), "--output", output.string()});
  packer::Command command;
  std::string error;
  if (!packer::ParseCommandLine(args, &command, &error) || !packer::Pack(command.pack, &error)) {
    std::fprintf(stderr, "make_fuzz_seeds: %s: %s\n", name.c_str(), error.c_str());
    return {};
  }
  return installer::testing::ReadBytes(output);
}

Bytes DecodedBody(const Bytes& file) {
  installer::PayloadReader reader(file.data(), file.data() + file.size());
  std::uint16_t flags = 0;
  installer::ErrorCode error;
  Bytes body;
  if (!installer::OpenPayload(&reader, &flags, error) ||
      !installer::DecodePayloadBody(reader, &body, error)) {
    body.clear();
  }
  return body;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds OUTPUT_DIR\n");
    return 2;
  }
  const fs::path out = argv[1];
  const fs::path work = out / "work";
  fs::remove_all(work);
  fs::create_directories(work / "app" / "locales");
  Bytes exe(600);
  for (std::size_t i = 0; i < exe.size(); ++i) {
    exe[i] = i % 5 == 0 ? 0xE8 : static_cast<std::uint8_t>(i * 37);
  }
  bool ok = Write(work / "stub.exe", installer::testing::MakePeImage(1024)) &&
            Write(work / "app" / "Zevrino.exe", exe) &&
            Write(work / "app" / "locales" / "de.pak", Bytes{'d', 'e'}) &&
            Write(work / "app" / "empty.dat", Bytes{});

  const std::string app = (work / "app").string();
  const Bytes stored = Pack(work, "stored.exe", {"--app-dir", app, "--stored"});
  const Bytes compressed = Pack(work, "compressed.exe", {"--app-dir", app, "--preset", "0"});
  const Bytes web = Pack(work, "web.exe",
                         {"--web-url", "http://127.0.0.1:8080/ZevrinoSetup.exe", "--allow-http"});
  const Bytes signed_file =
      compressed.empty() ? Bytes{}
                         : installer::testing::AppendCertificateTable(compressed, Bytes(64, 0x30));
  const Bytes archive = DecodedBody(compressed);
  ok = ok && !stored.empty() && !compressed.empty() && !web.empty() && !archive.empty();
  for (const char* target : {"payload_fuzz", "pack_installer_info_fuzz"}) {
    ok = ok && Write(out / target / "stored.exe", stored) &&
         Write(out / target / "compressed.exe", compressed) &&
         Write(out / target / "web.exe", web) && Write(out / target / "signed.exe", signed_file);
  }
  ok = ok && Write(out / "archive_fuzz" / "package_archive", archive);
  fs::remove_all(work);
  return ok ? 0 : 1;
}
