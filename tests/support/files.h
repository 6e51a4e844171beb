#pragma once
// Whole files and folders for the tests, natively and under Wine.
//
// A path is a std::filesystem::path, a wide string, or narrow text, which is
// always taken as UTF-8 (the form the product's functions take), never in
// the system's code page. Reading a file that cannot be opened gives nothing
// (ReadText says so through `found`); a file that cannot be written fails the
// test that writes it.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace zevrino::desktop::installer::testing {

using Bytes = std::vector<std::uint8_t>;

class AnyPath {
 public:
  // Implicit on purpose: every function below takes any of these.
  AnyPath(const std::filesystem::path& path) : path_(path) {}
  AnyPath(const std::string& utf8) : path_(std::filesystem::u8path(utf8)) {}
  AnyPath(const char* utf8) : path_(std::filesystem::u8path(utf8)) {}
  AnyPath(const std::wstring& wide) : path_(wide) {}
  AnyPath(const wchar_t* wide) : path_(wide) {}

  const std::filesystem::path& get() const { return path_; }

 private:
  std::filesystem::path path_;
};

Bytes ReadBytes(const AnyPath& path);
std::string ReadText(const AnyPath& path, bool* found = nullptr);
// Both create the missing parent folders.
void WriteBytes(const AnyPath& path, const Bytes& bytes);
void WriteText(const AnyPath& path, const std::string& text);

bool Exists(const AnyPath& path);
bool IsDirectory(const AnyPath& path);
// Removes `path` and everything below it; false when anything stayed. Under
// Windows read-only files go too, and the links that MakeDirectoryLink and
// MakeFileLink made below it (links_win.h) go first, as links.
bool RemoveTree(const std::filesystem::path& path);

Bytes TextBytes(const std::string& text);

// How a file written in text mode stores a line feed.
#if defined(_WIN32)
inline constexpr const char* kTextModeNewline = "\r\n";
#else
inline constexpr const char* kTextModeNewline = "\n";
#endif

// A folder as a value: relative path ("/" between elements, UTF-8) to bytes.
using Tree = std::map<std::string, Bytes>;
// Writes every file of `tree` below `root`, creating the folders.
void WriteTree(const std::filesystem::path& root, const Tree& tree);
// Every regular file below `root`; an absent root reads as an empty tree.
Tree ReadTree(const std::filesystem::path& root);

}  // namespace zevrino::desktop::installer::testing
