#include "tools/pack_installer/file_io.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <system_error>

namespace zevrino::desktop::packer {

namespace fs = std::filesystem;

fs::path PathFromUtf8(const std::string& utf8) {
  return fs::u8path(utf8);
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* out, std::string* error) {
  const fs::path file = PathFromUtf8(path);
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (status.type() == fs::file_type::not_found) {
    *error = "no such file";
    return false;
  }
  if (status.type() == fs::file_type::directory) {
    *error = "is a directory";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = "cannot be opened";
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0 || !in) {
    *error = "cannot be read";
    return false;
  }
  out->assign(static_cast<std::size_t>(size), 0);
  if (size > 0 && !in.read(reinterpret_cast<char*>(out->data()), size)) {
    out->clear();
    *error = "cannot be read";
    return false;
  }
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec) && !ec;
}

bool IsInside(const std::string& path, const std::string& folder) {
  std::error_code ec;
  const fs::path base = fs::canonical(PathFromUtf8(folder), ec);
  if (ec) {
    return false;
  }
  const fs::path target = fs::weakly_canonical(PathFromUtf8(path), ec);
  if (ec) {
    return false;
  }
  const auto mismatch = std::mismatch(base.begin(), base.end(), target.begin(), target.end());
  return mismatch.first == base.end() && mismatch.second != target.end();
}

AtomicOutputFile::~AtomicOutputFile() {
  Discard();
}

bool AtomicOutputFile::Open(const std::string& final_path, std::string* error) {
  Discard();
  final_path_ = PathFromUtf8(final_path);
  std::error_code ec;
  if (fs::is_directory(final_path_, ec)) {
    *error = "is a directory";
    return false;
  }
  // The temporary file lives beside the final one so that the rename stays
  // within one volume. The random part keeps concurrent runs apart.
  std::random_device device;
  std::mt19937_64 random(
      device() ^
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 8; ++attempt) {
    fs::path candidate = final_path_;
    candidate += ".partial-" + std::to_string(random() % 1000000000u);
    if (fs::exists(candidate, ec)) {
      continue;
    }
    stream_.open(candidate, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!stream_) {
      stream_.clear();
      *error = "cannot be created";
      return false;
    }
    temporary_path_ = candidate;
    open_ = true;
    return true;
  }
  *error = "no free temporary name beside it";
  return false;
}

bool AtomicOutputFile::Write(const void* data, std::size_t size, std::string* error) {
  if (!open_) {
    *error = "is not open for writing";
    return false;
  }
  if (size != 0 &&
      !stream_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size))) {
    *error = "write failed";
    return false;
  }
  return true;
}

bool AtomicOutputFile::Commit(std::string* error) {
  if (!open_) {
    *error = "is not open for writing";
    return false;
  }
  stream_.flush();
  const bool written = static_cast<bool>(stream_);
  stream_.close();
  if (!written || stream_.fail()) {
    *error = "write failed";
    Discard();
    return false;
  }
  std::error_code ec;
  fs::rename(temporary_path_, final_path_, ec);
  if (ec) {
    *error = "cannot be replaced: " + ec.message();
    Discard();
    return false;
  }
  open_ = false;
  temporary_path_.clear();
  return true;
}

void AtomicOutputFile::Discard() {
  if (stream_.is_open()) {
    stream_.close();
  }
  if (!temporary_path_.empty()) {
    std::error_code ec;
    fs::remove(temporary_path_, ec);
    temporary_path_.clear();
  }
  open_ = false;
}

}  // namespace zevrino::desktop::packer
