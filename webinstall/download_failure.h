#pragma once
// What a failed download tells the user, from what the network said. Apart
// from WinINet so that the rules are tested natively:
//
//   - a server certificate that could not be verified (WinINet's certificate
//     errors) is 60: no retry and no plain-http fallback, since the same
//     check fails again and plain http would only bypass it; any other
//     failure to open is 52, as before;
//   - status 407 (the proxy asks for a sign-in that was not given) is 58,
//     511 (RFC 6585: the network asks for a sign-in) is 59, any other
//     status but 200 is 51;
//   - a body that is no executable is 59 when it is an HTML page (announced
//     as one, or starting like one: "<" after an optional UTF-8 byte order
//     mark and blanks), which is what a network's sign-in page puts in the
//     place of the download; otherwise 54.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/result_code.h"

namespace zevrino::desktop::installer {

// WinINet's errors of a server certificate (wininet.h).
constexpr unsigned long kWinInetCertDateInvalid = 12037;
constexpr unsigned long kWinInetCertNameInvalid = 12038;
constexpr unsigned long kWinInetInvalidCa = 12045;
constexpr unsigned long kWinInetCertErrors = 12055;
constexpr unsigned long kWinInetCertNoRevocation = 12056;
constexpr unsigned long kWinInetCertRevocationFailed = 12057;
constexpr unsigned long kWinInetInvalidCert = 12169;
constexpr unsigned long kWinInetCertRevoked = 12170;

// The certificate problem of a WinINet error in words for the log; null
// when `error` is not about the server's certificate.
const char* CertificateProblem(unsigned long error);

// The code of an address that could not be opened with WinINet's `error`.
ResultCode OpenFailureCode(unsigned long error);

// The code of an answer whose status is not 200.
ResultCode StatusFailureCode(unsigned status);

// True when `content_type` names an HTML page or the body's first `count`
// bytes at `start` begin like one.
bool LooksLikeHtml(const std::string& content_type, const std::uint8_t* start, std::size_t count);

// The code of a body whose first bytes are not "MZ".
ResultCode NotAnExecutableCode(const std::string& content_type, const std::uint8_t* start,
                               std::size_t count);

// The proxy list of the system's settings ("host:port", or
// "http=host:port;https=host:port") without any "user:password@" an
// entry may carry: the log names the proxy, never its credentials.
std::string ProxyForLog(const std::string& proxy);

}  // namespace zevrino::desktop::installer
