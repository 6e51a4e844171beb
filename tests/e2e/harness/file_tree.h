#pragma once
// Files and folders as values, for tests that lay a tree down, let the
// installer work on it and compare what is there afterwards byte for byte.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace zevrino::e2e {

using Bytes = std::vector<std::uint8_t>;
// Relative path ("/" separated, UTF-8) to content.
using Tree = std::map<std::string, Bytes>;

// The whole file; empty when it cannot be read.
Bytes ReadFileBytes(const std::filesystem::path& path);
std::string ReadFileText(const std::filesystem::path& path);
// Creates the parent folders; false when the file cannot be written.
bool WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes);
Bytes TextBytes(const std::string& text);

// Writes every file of `tree` below `root`.
bool WriteTree(const std::filesystem::path& root, const Tree& tree);
// Every regular file below `root`; an absent root reads as an empty tree.
Tree ReadTree(const std::filesystem::path& root);

}  // namespace zevrino::e2e
