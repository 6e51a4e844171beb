#pragma once
// The files beside a copy of the Zevrino.exe stand-in
// (tests/e2e/windows/zevrino_standin.cpp) through which a test steers it and
// sees what happened to it:
//   "<program>.behaviour"  how it reacts to being closed (written by tests)
//   "<program>.log"        one line per start (read with start_log.h)
//   "<program>.messages"   the close messages it received, "exit" when it
//                          ended by itself
// Platform-free: host tests reach the files through the prefix's folders,
// Windows test programs directly.

#include <filesystem>
#include <string>
#include <vector>

namespace zevrino::e2e {

// Replaces the behaviour file of the stand-in at `program` with `behaviour`
// ("key=value" lines, e.g. "main=WM_DESTROY\nexit-code=7\n"); an empty text
// removes it, which gives the well-mannered default. False when it cannot
// be written.
bool WriteStandinBehaviour(const std::filesystem::path& program, const std::string& behaviour);

// The lines of "<program>.messages" without their CR LF, e.g.
// {"main WM_QUERYENDSESSION", "exit"}; none when the file does not exist.
std::vector<std::string> ReadStandinMessages(const std::filesystem::path& program);

// Removes the stand-in's log and messages files, so that what a test reads
// afterwards comes from its own run.
void ClearStandinRecords(const std::filesystem::path& program);

}  // namespace zevrino::e2e
