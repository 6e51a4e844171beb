#pragma once
// Builds a package archive (layout in archive_reader.h) from an application
// folder. Used by the packer; the installer only reads archives.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zevrino::desktop::installer {

struct ArchiveFile {
  std::string name;            // UTF-8, "/" between components, relative to the folder
  std::filesystem::path path;  // where the packer reads the file's bytes from
  std::uint64_t size = 0;
};

// Collects the regular files below `folder` in the archive's order: at every
// level the sub-folders first, then the files, each sorted by name bytewise,
// so that the same folder always gives the same archive. Symbolic links are
// followed when their target lies inside the folder. Refuses (false, with a
// one-line reason naming the file in *error): an empty or missing folder
// name, a name longer than 255 bytes, a name that is not valid UTF-8 or that
// the installer would refuse to lay down (archive_name.h), a file of 4 GiB or
// more, a link that leads outside the folder, and anything that cannot be
// read.
bool CollectArchiveFiles(const std::string& folder, std::vector<ArchiveFile>* files,
                         std::string* error);

// Appends the archive of `files` to *archive: version, SHA-1 of the rest, one
// entry per file. Reads each file; false with a reason when one cannot be read
// or has changed size since it was collected.
bool WriteArchive(const std::vector<ArchiveFile>& files, std::vector<std::uint8_t>* archive,
                  std::string* error);

// Appends one entry; the caller keeps the rules of CollectArchiveFiles. For
// tests and tools that build archives from memory.
void AppendArchiveEntry(const std::string& name, const std::uint8_t* content, std::size_t size,
                        std::vector<std::uint8_t>* archive);

}  // namespace zevrino::desktop::installer
