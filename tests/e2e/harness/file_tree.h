#pragma once
// Folders as values, for tests that lay a tree down, let the installer work
// on it and compare what is there afterwards byte for byte. Single files:
// ReadBinaryFile and WriteBinaryFile (test_paths.h).

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace zevrino::e2e {

using Bytes = std::vector<std::uint8_t>;
// Relative path ("/" separated, UTF-8) to content.
using Tree = std::map<std::string, Bytes>;

Bytes TextBytes(const std::string& text);

// Writes every file of `tree` below `root`, creating the folders.
void WriteTree(const std::filesystem::path& root, const Tree& tree);
// Every regular file below `root`; an absent root reads as an empty tree.
Tree ReadTree(const std::filesystem::path& root);

}  // namespace zevrino::e2e
