#pragma once
// The installer's own executable file: its name, its read-only mapping and the
// payload appended to it.

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/error_code.h"
#include "payload/payload_reader.h"
#include "windows/mapped_file_win.h"

namespace zevrino::desktop::installer {

// The mapped file and the open payload inside it. The reader points into the
// mapping, so both live and move together; every mode reads the payload
// through this one reader.
struct OwnPayload {
  MappedFile image;
  PayloadReader reader;
  std::uint16_t flags = 0;  // PayloadFlag bits
};

// Writes the full path of the running executable into `path`, passed once
// through UTF-8 and back so that the name is one that the UTF-8 path helpers
// can reproduce. False when the name is unknown, longer than the system
// allows, or does not survive the round trip.
bool GetOwnFileName(std::wstring* path);

// Maps the file at `path` and opens the payload appended to it. On failure
// `error` holds either the Windows error of opening or mapping the file
// (system category) or the payload's error (installer category: 1 header
// unreadable, 2 digest mismatch, 4 no payload). *payload->flags is written as
// soon as the payload header has been read.
bool OpenOwnPayload(const wchar_t* path, OwnPayload* payload, ErrorCode& error);

}  // namespace zevrino::desktop::installer
