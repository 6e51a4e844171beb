#pragma once
// The one call that code anywhere in the installer uses to log.
//
//   logging::log_message(logging::kLevelInfo, "", kLineSomething, "Prefix - message %d", value);
//
// The message is formatted before any lock is taken; errno and the Windows
// last-error value are left as they were. Lines logged before a sink is
// added, or after the logger has ended at process exit, are dropped.

#include "text/printf_attribute.h"

namespace logging {

// The levels the installer logs at. They are numbers in the log (levels.h
// gives each its letter), and log readers key on them.
inline constexpr int kLevelError = 2;    // a failure
inline constexpr int kLevelWarning = 3;  // a failure being worked around
inline constexpr int kLevelInfo = 4;     // progress and success

void log_message(int level, const char* module, int line, const char* format, ...)
    ZV_PRINTF_FORMAT(4, 5);

// Registers the console sink named "console" unless one exists. Colour is used
// when force_colour is set or standard output is a terminal.
void add_console_sink(bool force_colour);

// Registers a file sink named by the path unless one of that name exists. A
// file that cannot be opened leaves a sink that discards its lines.
void add_file_sink(const char* path, bool append);

}  // namespace logging
