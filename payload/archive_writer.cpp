#include "payload/archive_writer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "payload/archive_name.h"
#include "payload/archive_reader.h"
#include "payload/payload_reader.h"
#include "payload/sha1.h"

namespace zevrino::desktop::installer {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMaxArchiveFileSize = 0xFFFFFFFFull;  // a 32-bit varint

void AppendVarint(std::uint32_t value, std::vector<std::uint8_t>* out) {
  std::uint8_t bytes[kMaxVarintSize];
  const std::size_t length = EncodeVarint(value, bytes);
  out->insert(out->end(), bytes, bytes + length);
}

// True when `inner` (weakly canonical) lies inside `outer` (canonical).
bool IsInside(const fs::path& inner, const fs::path& outer) {
  auto o = outer.begin();
  auto i = inner.begin();
  for (; o != outer.end(); ++o, ++i) {
    if (i == inner.end() || *i != *o)
      return false;
  }
  return true;
}

class Collector {
 public:
  Collector(fs::path root, std::vector<ArchiveFile>* files, std::string* error)
      : root_(std::move(root)), files_(files), error_(error) {}

  bool Walk(const fs::path& directory, const std::string& prefix) {
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
      entries.push_back(*it);
    }
    if (ec)
      return Fail(directory, "cannot list the folder: " + ec.message());

    std::vector<std::pair<std::string, fs::path>> folders;
    std::vector<std::pair<std::string, fs::directory_entry>> regular;
    for (const fs::directory_entry& entry : entries) {
      const std::string name = prefix + entry.path().filename().u8string();
      if (entry.is_symlink(ec)) {
        const fs::path target = fs::canonical(entry.path(), ec);
        if (ec || !IsInside(target, root_)) {
          return Fail(entry.path(), "symbolic link leads outside the application folder");
        }
      }
      if (entry.is_directory(ec)) {
        folders.emplace_back(name, entry.path());
      } else if (entry.is_regular_file(ec)) {
        regular.emplace_back(name, entry);
      } else {
        return Fail(entry.path(), "not a regular file or folder");
      }
    }
    std::sort(folders.begin(), folders.end());
    std::sort(regular.begin(), regular.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });

    for (const auto& [name, path] : folders) {
      if (!CheckName(name, path))
        return false;
      if (!Walk(path, name + "/"))
        return false;
    }
    for (const auto& [name, entry] : regular) {
      if (!CheckName(name, entry.path()))
        return false;
      const std::uint64_t size = entry.file_size(ec);
      if (ec)
        return Fail(entry.path(), "cannot read its size: " + ec.message());
      if (size > kMaxArchiveFileSize)
        return Fail(entry.path(), "file of 4 GiB or more");
      files_->push_back(ArchiveFile{name, entry.path(), size});
    }
    return true;
  }

 private:
  bool CheckName(const std::string& name, const fs::path& path) {
    if (name.size() > kMaxArchiveNameLength) {
      return Fail(path, "archive name longer than 255 bytes");
    }
    std::wstring ignored;
    if (!Utf8ToWide(name.data(), name.size(), &ignored)) {
      return Fail(path, "name is not valid UTF-8");
    }
    if (!IsSafeArchiveName(name.data(), name.size())) {
      return Fail(path, "name cannot be installed on Windows (reserved name or character)");
    }
    return true;
  }

  bool Fail(const fs::path& path, const std::string& reason) {
    *error_ = path.u8string() + ": " + reason;
    return false;
  }

  fs::path root_;
  std::vector<ArchiveFile>* files_;
  std::string* error_;
};

}  // namespace

bool CollectArchiveFiles(const std::string& folder, std::vector<ArchiveFile>* files,
                         std::string* error) {
  files->clear();
  if (folder.empty()) {
    *error = "the application folder name is empty";
    return false;
  }
  std::error_code ec;
  const fs::path root = fs::canonical(fs::u8path(folder), ec);
  if (ec || !fs::is_directory(root, ec)) {
    *error = folder + ": not a folder";
    return false;
  }
  return Collector(root, files, error).Walk(root, "");
}

void AppendArchiveEntry(const std::string& name, const std::uint8_t* content, std::size_t size,
                        std::vector<std::uint8_t>* archive) {
  AppendVarint(static_cast<std::uint32_t>(name.size()), archive);
  archive->insert(archive->end(), name.begin(), name.end());
  AppendVarint(static_cast<std::uint32_t>(size), archive);
  if (size != 0)
    archive->insert(archive->end(), content, content + size);
}

bool WriteArchive(const std::vector<ArchiveFile>& files, std::vector<std::uint8_t>* archive,
                  std::string* error) {
  const std::size_t start = archive->size();
  AppendVarint(kArchiveVersion, archive);
  const std::size_t digest_at = archive->size();
  archive->resize(digest_at + kArchiveDigestSize);

  std::vector<std::uint8_t> content;
  for (const ArchiveFile& file : files) {
    std::ifstream in(file.path, std::ios::binary);
    content.resize(static_cast<std::size_t>(file.size));
    if (!in ||
        !in.read(reinterpret_cast<char*>(content.data()),
                 static_cast<std::streamsize>(content.size())) ||
        in.peek() != std::ifstream::traits_type::eof()) {
      *error = file.path.u8string() + ": cannot be read, or changed while packing";
      archive->resize(start);
      return false;
    }
    AppendArchiveEntry(file.name, content.data(), content.size(), archive);
  }

  const std::size_t body = digest_at + kArchiveDigestSize;
  Sha1Digest(archive->data() + body, archive->size() - body, archive->data() + digest_at);
  return true;
}

}  // namespace zevrino::desktop::installer
