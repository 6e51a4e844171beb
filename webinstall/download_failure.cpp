#include "webinstall/download_failure.h"

#include <cctype>

namespace zevrino::desktop::installer {
namespace {

constexpr unsigned kProxyAuthenticationRequired = 407;
constexpr unsigned kNetworkAuthenticationRequired = 511;

std::string LowerMediaType(const std::string& content_type) {
  std::string type;
  for (const char c : content_type) {
    if (c == ';') {
      break;
    }
    if (c != ' ' && c != '\t') {
      type += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return type;
}

}  // namespace

const char* CertificateProblem(unsigned long error) {
  switch (error) {
    case kWinInetInvalidCa:
      return "its root is not trusted";
    case kWinInetCertNameInvalid:
      return "it names another server";
    case kWinInetCertDateInvalid:
      return "it has expired or is not valid yet";
    case kWinInetCertRevoked:
      return "it was revoked";
    case kWinInetCertNoRevocation:
    case kWinInetCertRevocationFailed:
      return "its revocation could not be checked";
    case kWinInetCertErrors:
      return "it has several problems";
    case kWinInetInvalidCert:
      return "it is not valid";
    default:
      return nullptr;
  }
}

ResultCode OpenFailureCode(unsigned long error) {
  return CertificateProblem(error) != nullptr ? kSecureConnectionUnverified : kUrlOpenFailed;
}

ResultCode StatusFailureCode(unsigned status) {
  switch (status) {
    case kProxyAuthenticationRequired:
      return kProxySignInRequired;
    case kNetworkAuthenticationRequired:
      return kNetworkSignInRequired;
    default:
      return kHttpStatusNotOk;
  }
}

bool LooksLikeHtml(const std::string& content_type, const std::uint8_t* start, std::size_t count) {
  const std::string type = LowerMediaType(content_type);
  if (type == "text/html" || type == "application/xhtml+xml") {
    return true;
  }
  std::size_t i = 0;
  if (count >= 3 && start[0] == 0xEF && start[1] == 0xBB && start[2] == 0xBF) {
    i = 3;
  }
  while (i < count &&
         (start[i] == ' ' || start[i] == '\t' || start[i] == '\r' || start[i] == '\n')) {
    ++i;
  }
  return i < count && start[i] == '<';
}

ResultCode NotAnExecutableCode(const std::string& content_type, const std::uint8_t* start,
                               std::size_t count) {
  return LooksLikeHtml(content_type, start, count) ? kNetworkSignInRequired : kDownloadInvalid;
}

std::string ProxyForLog(const std::string& proxy) {
  std::string shown;
  std::size_t entry = 0;
  while (entry <= proxy.size()) {
    std::size_t end = proxy.find_first_of("; ", entry);
    if (end == std::string::npos) {
      end = proxy.size();
    }
    const std::string part = proxy.substr(entry, end - entry);
    if (!part.empty()) {
      // "scheme=" stays; "user:password@" after it goes.
      const std::size_t equals = part.find('=');
      const std::size_t host = equals == std::string::npos ? 0 : equals + 1;
      const std::size_t at = part.rfind('@');
      shown += (shown.empty() ? "" : ";") + part.substr(0, host) +
               (at != std::string::npos && at >= host ? part.substr(at + 1) : part.substr(host));
    }
    entry = end + 1;
  }
  return shown;
}

}  // namespace zevrino::desktop::installer
