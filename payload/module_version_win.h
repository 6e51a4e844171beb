#pragma once
// The program's own file and the product version in a file's version
// resource. Used to name the default extract directory and to compare an
// installed application's version with the installer's.

#include <string>

namespace zevrino::desktop::installer {

// The program's own file path; empty on failure. The buffer starts at 256
// UTF-16 units and doubles while Windows reports it too small, up to 32,768,
// enough for the longest path the system has.
std::wstring GetModulePath();

// The ProductVersion string of a file's version resource, for the first
// language and code page it lists; empty when the file has none.
std::string GetProductVersion(const std::wstring& path);

// The ProductName string of a file's version resource, likewise.
std::string GetProductName(const std::wstring& path);

// GetProductVersion(GetModulePath()).
std::string GetOwnProductVersion();

// "zevrino-update-<product version>" next to the program's own file: where
// extract mode writes when it is given no directory.
std::wstring DefaultExtractDirectory();

}  // namespace zevrino::desktop::installer
