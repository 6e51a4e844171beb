#include "tests/e2e/harness/file_tree.h"

#include <fstream>
#include <iterator>

#include "payload/archive_writer.h"
#include "tests/e2e/harness/test_paths.h"
#include "tools/pack_installer/body_encoder.h"
#include "tools/pack_installer/packer.h"
#include "tools/pack_installer/payload_writer.h"

namespace zevrino::e2e {

namespace fs = std::filesystem;

Bytes ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const fs::path& path, const Bytes& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return out.good();
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes Content(std::size_t size, unsigned seed) {
  Bytes content(size);
  for (std::size_t i = 0; i < size; ++i) {
    content[i] = i % 7 == 0 ? 0xE8 : static_cast<std::uint8_t>((i * 131 + seed * 17) >> 3);
  }
  return content;
}

bool WriteTree(const fs::path& root, const Tree& tree) {
  for (const auto& [name, bytes] : tree) {
    if (!WriteFileBytes(root / fs::u8path(name), bytes)) {
      return false;
    }
  }
  return true;
}

Tree ReadTree(const fs::path& root) {
  Tree tree;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) {
      tree[fs::relative(it->path(), root).generic_u8string()] = ReadFileBytes(it->path());
    }
  }
  return tree;
}

std::vector<std::string> Names(const Tree& tree) {
  std::vector<std::string> names;
  for (const auto& entry : tree) {
    names.push_back(entry.first);
  }
  return names;
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
  namespace packer = desktop::packer;
  const Bytes stub = ReadFileBytes(InstallerStubExe());
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

bool PackFolder(const fs::path& app, const fs::path& output, std::string* error) {
  desktop::packer::PackRequest request;
  request.stub_path = InstallerStubExe().string();
  request.output_path = output.string();
  request.body = {desktop::packer::BodySource::Kind::kAppDir, app.string()};
  request.encoding.preset = 1;
  return desktop::packer::Pack(request, error);
}

}  // namespace zevrino::e2e
