#pragma once
// Whole-file reading and the all-or-nothing output file of the packer.
//
// Paths are UTF-8 in both builds; on Windows they become wide paths through
// std::filesystem, so names outside the ANSI code page work.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zevrino::desktop::packer {

std::filesystem::path PathFromUtf8(const std::string& utf8);

// Reads the regular file at `path` into *out (replacing its contents). On
// failure *error is a short reason without the file name ("no such file",
// "is a directory", "cannot be read").
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* out, std::string* error);

// True when both names refer to the same existing file.
bool SameFile(const std::string& a, const std::string& b);

// True when `path` (existing or not) lies below the existing folder `folder`.
bool IsInside(const std::string& path, const std::string& folder);

// Writes a file under a temporary name in the destination's directory and
// renames it over the final name only in Commit, so that a failed or
// interrupted run never leaves a partial file under the final name and never
// touches an existing file of that name. Until Commit succeeds the destructor
// removes the temporary file.
class AtomicOutputFile {
 public:
  AtomicOutputFile() = default;
  ~AtomicOutputFile();
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  bool Open(const std::string& final_path, std::string* error);
  bool Write(const void* data, std::size_t size, std::string* error);
  // Flushes, closes and renames the temporary file over the final name.
  bool Commit(std::string* error);

  // The temporary file's path while open (for diagnostics and tests).
  const std::filesystem::path& temporary_path() const { return temporary_path_; }

 private:
  void Discard();

  std::filesystem::path final_path_;
  std::filesystem::path temporary_path_;
  std::ofstream stream_;
  bool open_ = false;
};

}  // namespace zevrino::desktop::packer
