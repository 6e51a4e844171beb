#include "tests/e2e/harness/packing.h"

#include <algorithm>
#include <system_error>

#include "payload/archive_writer.h"
#include "tests/e2e/harness/test_paths.h"
#include "tools/pack_installer/body_encoder.h"
#include "tools/pack_installer/packer.h"
#include "tools/pack_installer/payload_writer.h"

namespace zevrino::e2e {

namespace fs = std::filesystem;
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

bool PackFolder(const fs::path& app, const fs::path& output, std::string* error, int preset) {
  packer::PackRequest request;
  request.stub_path = InstallerStubExe().string();
  request.output_path = output.string();
  request.body = {packer::BodySource::Kind::kAppDir, app.string()};
  request.encoding.preset = preset;
  return packer::Pack(request, error);
}

namespace {

constexpr char kWineDlls[] = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
constexpr std::uintmax_t kLargeAppBytes = 200'000'000;

// Changes whenever this program is rebuilt, and with it the packer it links.
std::string ProgramStamp() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return std::to_string(fs::file_size(self, ec)) + "-" +
         std::to_string(static_cast<unsigned long long>(
             fs::last_write_time(self, ec).time_since_epoch().count()));
}

// Copies the DLLs into a folder, packs it and keeps the payload (the
// installer without its stub) at `payload`.
bool MakeLargePayload(const fs::path& cache, const fs::path& payload, std::string* error) {
  const fs::path app = cache / "app";
  std::error_code ec;
  fs::remove_all(app, ec);
  fs::create_directories(app);
  std::vector<fs::path> dlls;
  for (const auto& entry : fs::directory_iterator(kWineDlls, ec)) {
    if (entry.is_regular_file()) {
      dlls.push_back(entry.path());
    }
  }
  std::sort(dlls.begin(), dlls.end());
  std::uintmax_t total = 0;
  for (std::size_t i = 0; i < dlls.size() && total < kLargeAppBytes; ++i) {
    fs::copy_file(dlls[i], app / dlls[i].filename(), ec);
    total += fs::file_size(dlls[i], ec);
  }
  if (total < kLargeAppBytes) {
    *error = std::string("fewer than 200 MB of DLLs in ") + kWineDlls;
    return false;
  }
  const fs::path packed = cache / "packed.exe";
  if (!PackFolder(app, packed, error, 0)) {
    return false;
  }
  const Bytes installer = ReadBinaryFile(packed);
  const std::size_t stub_size = fs::file_size(InstallerStubExe());
  WriteBinaryFile(payload.string() + ".part",
                  Bytes(installer.begin() + stub_size, installer.end()));
  fs::rename(payload.string() + ".part", payload);
  fs::remove_all(app, ec);
  fs::remove(packed, ec);
  return true;
}

}  // namespace

bool PackLargeInstaller(const fs::path& output, std::string* error) {
  const fs::path cache = HostBuildDir() / "e2e" / "large-payload";
  const fs::path payload = cache / ("payload-" + ProgramStamp());
  if (!fs::exists(payload)) {
    std::error_code ec;
    fs::remove_all(cache, ec);  // payloads of earlier builds
    fs::create_directories(cache);
    if (!MakeLargePayload(cache, payload, error)) {
      return false;
    }
  }
  Bytes installer = ReadBinaryFile(InstallerStubExe());
  const Bytes appended = ReadBinaryFile(payload);
  installer.insert(installer.end(), appended.begin(), appended.end());
  WriteBinaryFile(output, installer);
  return true;
}

Bytes ArchiveOf(const std::vector<std::pair<std::string, Bytes>>& entries) {
  Bytes archive = {0x81, 0x04};
  archive.resize(archive.size() + 20, 0xAB);
  for (const auto& [name, content] : entries) {
    desktop::installer::AppendArchiveEntry(name, content.data(), content.size(), &archive);
  }
  return archive;
}

bool WriteInstallerWithArchive(const Bytes& archive, const fs::path& output, std::string* error) {
  const Bytes stub = ReadBinaryFile(InstallerStubExe());
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
