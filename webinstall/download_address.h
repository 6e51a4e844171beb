#pragma once
// Text rules of a web install: the full installer's address, the name it is
// saved under and the command line it is started with.

#include <cstdint>
#include <string>

namespace zevrino::desktop::installer {

// The address with the first "[ARCH]" replaced by `architecture` (which may
// be empty: the placeholder is then removed). Further placeholders stay.
std::string ReplaceArchPlaceholder(const std::string& address, const std::string& architecture);

// The architecture name of a native machine type as IsWow64Process2 reports
// it: "X64" for AMD64 (0x8664) and IA64 (0x200), "ARM64" for 0xAA64, empty
// for anything else.
const char* ArchitectureNameOfMachine(std::uint16_t machine);

// For an address that starts with "https://", the same address with
// "http://"; used to tell "HTTPS is blocked" from "no connection at all".
// False (and *plain untouched) for any other address.
bool PlainHttpAddress(const std::string& address, std::string* plain);

// True for an address the download may open: "http://" or "https://" (any
// case) followed by a host. Anything else (file:, ftp:, a UNC path, a bare
// name) is no download address.
bool IsDownloadAddress(const std::string& address);

// The most redirects one download follows.
constexpr int kMaxRedirects = 10;

// The address a redirect from `current` (a download address) leads to,
// given the Location the server sent: absolute, scheme-relative ("//host/"),
// absolute-path ("/p") or relative ("p", beside the current path). Empty
// when it may not be followed: empty or holding control characters, another
// scheme than http or https, or from https down to http.
std::string RedirectTarget(const std::string& current, const std::string& location);

// What the download does with an HTTP status.
enum class StatusAction {
  kBody,      // 200: the body is the file
  kRedirect,  // 301, 302, 303, 307, 308: follow the Location
  kFail,      // anything else: 51
};
StatusAction ActionForStatus(unsigned status);

// "ZuVerIzad<number>.exe", the name the full installer is saved under.
std::string DownloadFileName(int number);

// The full installer's command line: its bare file name, then the forwarded
// `mu` arguments, " /webinstall" and the other forwarded arguments, each
// already in the form ` "token"` (null counts as empty).
std::string FullInstallerCommandLine(int number, const char* forwarded_mu_args,
                                     const char* forwarded_args);

}  // namespace zevrino::desktop::installer
