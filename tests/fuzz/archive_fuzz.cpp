// The package archive as the installer meets it after decoding: version,
// digest, then entries streamed into a transactional install on an in-memory
// file system. Whatever the bytes, nothing may crash, and a failed install
// must leave no file behind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "payload/archive_reader.h"
#include "payload/extract_archive.h"
#include "tests/support/memory_file_system.h"

using namespace zevrino::desktop::installer;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PayloadReader archive(data, data + size);
  std::uint32_t version = 0;
  std::uint8_t digest[kArchiveDigestSize];
  if (!archive.ReadVarint(&version) || !archive.ReadBytes(digest, sizeof digest))
    return 0;

  testing::MemoryFileSystem file_system;
  ResultCode result;
  {
    TransactedFileInstaller installer(file_system, L"/target", 1234,
                                      [](std::uint32_t) {});  // retries without waiting
    result = InstallArchiveEntries(archive, installer);
  }
  if (result != kSuccess && !file_system.Files().empty())
    std::abort();
  return 0;
}
