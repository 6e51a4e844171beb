#pragma once
// Installers made for a test: an application folder packed onto the stub as
// a release would, or a hand-made archive (one the packer refuses to make)
// wrapped into an installer; and the contents that go into them.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/harness/support.h"
#include "tests/support/archive_builder.h"

namespace zevrino::e2e {

// Code-like bytes, so that the x86 filter has calls to convert.
Bytes Content(std::size_t size, unsigned seed);

// The relative names of the tree, in order.
std::vector<std::string> Names(const Tree& tree);

// Packs the folder `app` onto the installer stub of the Windows build, with
// the LZMA preset given; a folder without Zevrino.exe only when allowed. On
// failure returns false with the packer's message.
bool PackFolder(const std::filesystem::path& app, const std::filesystem::path& output,
                std::string* error, int preset = 1, bool allow_missing_exe = false);

// Writes `tree` to the folder "<output>.app" and packs it into `output`
// (PackFolder, preset 1).
bool PackTree(const Tree& tree, const std::filesystem::path& output, std::string* error);

// An installer of 200 MB of real executables (Wine's own DLLs, copied into
// `app`, no Zevrino.exe among them), which takes Wine seconds to install;
// packing takes seconds too.
bool PackLargeInstaller(const std::filesystem::path& app, const std::filesystem::path& output,
                        std::string* error);

// An installer whose payload carries `archive` (ArchiveOf, archive_builder.h)
// stored as it stands.
bool WriteInstallerWithArchive(const Bytes& archive, const std::filesystem::path& output,
                               std::string* error);

}  // namespace zevrino::e2e
