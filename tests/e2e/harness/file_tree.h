#pragma once
// Folders of files as values, for tests that pack an application folder and
// compare what the installer lays down with it byte for byte, and the
// packing of such a folder onto the stub.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zevrino::e2e {

using Bytes = std::vector<std::uint8_t>;
// Relative path ("/" separated, UTF-8) to content.
using Tree = std::map<std::string, Bytes>;

// The file's bytes; empty when it cannot be read.
Bytes ReadFileBytes(const std::filesystem::path& path);
// Creates the parent folders and writes `bytes`; false when that fails.
bool WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes);

Bytes Text(const std::string& text);
// Code-like bytes, so that the x86 filter has calls to convert.
Bytes Content(std::size_t size, unsigned seed);

// Writes every file of `tree` below `root`; false when one fails.
bool WriteTree(const std::filesystem::path& root, const Tree& tree);
// Every regular file below root; an absent root reads as an empty tree.
Tree ReadTree(const std::filesystem::path& root);
std::vector<std::string> Names(const Tree& tree);

// The bytes of a package archive (version 513, a digest the reader skips)
// holding `entries` in this order, whatever their names: for archives the
// packer refuses to make.
Bytes ArchiveOf(const std::vector<std::pair<std::string, Bytes>>& entries);
// An installer whose payload carries `archive` stored as it stands.
bool WriteInstallerWithArchive(const Bytes& archive, const std::filesystem::path& output,
                               std::string* error);

// Packs the folder `app` onto the installer stub of the Windows build, as a
// release would. On failure returns false with the packer's message.
bool PackFolder(const std::filesystem::path& app, const std::filesystem::path& output,
                std::string* error);

}  // namespace zevrino::e2e
