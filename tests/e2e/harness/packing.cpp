#include "tests/e2e/harness/packing.h"

#include <set>

#include "tests/e2e/harness/test_paths.h"
#include "tools/pack_installer/body_encoder.h"
#include "tools/pack_installer/packer.h"
#include "tools/pack_installer/payload_writer.h"

namespace zevrino::e2e {

namespace packer = desktop::packer;

Bytes Content(std::size_t size, unsigned seed) {
  Bytes content(size);
  for (std::size_t i = 0; i < size; ++i) {
    content[i] = i % 7 == 0 ? 0xE8 : static_cast<std::uint8_t>((i * 131 + seed * 17) >> 3);
  }
  return content;
}

std::vector<std::string> Names(const Tree& tree) {
  std::vector<std::string> names;
  for (const auto& entry : tree) {
    names.push_back(entry.first);
  }
  return names;
}

bool PackFolder(const fs::path& app, const fs::path& output, std::string* error, int preset,
                bool allow_missing_exe) {
  packer::PackRequest request;
  request.stub_path = InstallerStubExe().string();
  request.output_path = output.string();
  request.body = {packer::BodySource::Kind::kAppDir, app.string()};
  request.encoding.preset = preset;
  request.allow_missing_exe = allow_missing_exe;
  return packer::Pack(request, error);
}

bool PackTree(const Tree& tree, const fs::path& output, std::string* error) {
  const fs::path app = output.string() + ".app";
  fs::remove_all(app);
  WriteTree(app, tree);
  return PackFolder(app, output, error);
}

bool PackLargeInstaller(const fs::path& app, const fs::path& output, std::string* error) {
  fs::create_directories(app);
  const std::set<fs::path> dlls(
      fs::directory_iterator("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"), {});
  std::uintmax_t total = 0;
  for (auto dll = dlls.begin(); dll != dlls.end() && total < 200'000'000; ++dll) {
    fs::copy_file(*dll, app / dll->filename());
    total += fs::file_size(*dll);
  }
  return PackFolder(app, output, error, 0, true);
}

bool WriteInstallerWithArchive(const Bytes& archive, const fs::path& output, std::string* error) {
  const Bytes stub = ReadBytes(InstallerStubExe());
  if (stub.empty()) {
    *error = "no installer stub";
    return false;
  }
  packer::BodyOptions stored;
  stored.compression = packer::Compression::kStored;
  Bytes body;
  packer::PayloadFrame frame;
  return packer::EncodeBody(archive.data(), archive.size(), stored, &body, error) &&
         packer::FramePayload(body.data(), body.size(), {}, &frame, error) &&
         packer::WriteInstaller(output.string(), stub, frame, body.data(), body.size(), error);
}

}  // namespace zevrino::e2e
