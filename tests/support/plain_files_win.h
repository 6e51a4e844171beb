#pragma once
// Whole files by wide path through the system alone, without
// std::filesystem, for the programs the end-to-end tests start: the path
// class brings the C++ locale with it and triples a program's size, and some
// of these programs are served at a set rate for download or installed as
// the application. files.h reads through these under Windows.

#include <string>

namespace zevrino::desktop::installer::testing {

// The file's bytes; empty when it cannot be opened, *found says which. A
// file another program holds still reads, whatever it shares.
std::string ReadPlainFile(const std::wstring& path, bool* found = nullptr);
bool PlainFileExists(const std::wstring& path);

}  // namespace zevrino::desktop::installer::testing
