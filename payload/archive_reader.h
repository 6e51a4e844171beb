#pragma once
// The package archive: the decoded body of a full installer's payload.
//
//   field     encoding   meaning
//   version   varint     kArchiveVersion (513, bytes 81 04); others are refused
//   digest    20 bytes   SHA-1 of every byte after it; not checked on reading,
//                        the payload digest already covers the whole body
//   entries   ...        until the end of the archive, nothing between them
//
// One entry:
//   N         varint     name length, 1 to 255
//   name      N bytes    path relative to the target directory, UTF-8, "/"
//                        between components, no terminating zero
//   C         varint     content length, 0 allowed
//   content   C bytes    the file's bytes as they are
//
// There is no entry count, no directory entry and no time stamp, attribute or
// per-entry checksum: directories come into being as the paths require.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/error_code.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

constexpr std::uint32_t kArchiveVersion = 513;
constexpr std::size_t kArchiveDigestSize = 20;
constexpr std::size_t kMaxArchiveNameLength = 255;

// Reads the entry at the archive reader's position.
//   true,  error 0: *name is the entry's relative path (native separators) and
//                   *content views its bytes inside the archive (not copied).
//   false, error 0: the reader is at its end; no more entries.
//   false, error 8: a malformed entry: truncated, a name length outside 1 to
//                   255, a name that is not valid UTF-8, or a name that could
//                   leave the target directory (see archive_name.h). The
//                   reader has then advanced past whatever was read.
bool NextArchiveEntry(PayloadReader* archive, std::wstring* name, PayloadReader* content,
                      ErrorCode& error);

}  // namespace zevrino::desktop::installer
