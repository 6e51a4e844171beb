#include "webinstall/download_address.h"

#include <cctype>

namespace zevrino::desktop::installer {
namespace {

constexpr char kArchPlaceholder[] = "[ARCH]";
constexpr char kHttpsScheme[] = "https://";

constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint16_t kMachineIa64 = 0x0200;
constexpr std::uint16_t kMachineArm64 = 0xAA64;

// The scheme of `address` in lower case ("http", "https", "ftp"...), or
// empty when it has none: letters, digits, "+", "-" or "." after a letter,
// ended by ":".
std::string SchemeOf(const std::string& address) {
  std::string scheme;
  for (char c : address) {
    const auto u = static_cast<unsigned char>(c);
    if (c == ':') {
      return scheme;
    }
    const bool allowed = std::isalpha(u) ||
                         (!scheme.empty() && (std::isdigit(u) || c == '+' || c == '-' || c == '.'));
    if (!allowed) {
      return std::string();
    }
    scheme += static_cast<char>(std::tolower(u));
  }
  return std::string();
}

bool HasControlCharacters(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      return true;
    }
  }
  return false;
}

// Where the authority of a download address ends (the first "/", "?" or
// "#" after "scheme://"), or the address's length.
std::size_t AuthorityEnd(const std::string& address, std::size_t scheme_length) {
  const std::size_t end = address.find_first_of("/?#", scheme_length + 3);
  return end == std::string::npos ? address.size() : end;
}

}  // namespace

bool IsDownloadAddress(const std::string& address) {
  const std::string scheme = SchemeOf(address);
  if ((scheme != "http" && scheme != "https") || HasControlCharacters(address) ||
      address.compare(scheme.size(), 3, "://") != 0) {
    return false;
  }
  return AuthorityEnd(address, scheme.size()) > scheme.size() + 3;
}

std::string RedirectTarget(const std::string& current, const std::string& location) {
  if (location.empty() || HasControlCharacters(location) || !IsDownloadAddress(current)) {
    return std::string();
  }
  const std::string scheme = SchemeOf(current);
  std::string target;
  if (!SchemeOf(location).empty()) {
    target = location;
  } else if (location.compare(0, 2, "//") == 0) {
    target = scheme + ":" + location;
  } else {
    const std::size_t authority_end = AuthorityEnd(current, scheme.size());
    if (location[0] == '/') {
      target = current.substr(0, authority_end) + location;
    } else {
      // Beside the current path: up to its last "/", query and fragment
      // left out.
      const std::size_t path_end = current.find_first_of("?#", authority_end);
      const std::string path = current.substr(0, path_end);
      const std::size_t slash = path.rfind('/');
      target = slash == std::string::npos || slash < authority_end
                   ? path + "/" + location
                   : path.substr(0, slash + 1) + location;
    }
  }
  if (!IsDownloadAddress(target) || (scheme == "https" && SchemeOf(target) != "https")) {
    return std::string();
  }
  return target;
}

StatusAction ActionForStatus(unsigned status) {
  switch (status) {
    case 200:
      return StatusAction::kBody;
    case 301:
    case 302:
    case 303:
    case 307:
    case 308:
      return StatusAction::kRedirect;
    default:
      return StatusAction::kFail;
  }
}

std::string ReplaceArchPlaceholder(const std::string& address, const std::string& architecture) {
  std::string result = address;
  const std::size_t at = result.find(kArchPlaceholder);
  if (at != std::string::npos) {
    result.replace(at, sizeof(kArchPlaceholder) - 1, architecture);
  }
  return result;
}

const char* ArchitectureNameOfMachine(std::uint16_t machine) {
  switch (machine) {
    case kMachineAmd64:
    case kMachineIa64:
      return "X64";
    case kMachineArm64:
      return "ARM64";
    default:
      return "";
  }
}

bool PlainHttpAddress(const std::string& address, std::string* plain) {
  if (address.compare(0, sizeof(kHttpsScheme) - 1, kHttpsScheme) != 0) {
    return false;
  }
  *plain = "http://" + address.substr(sizeof(kHttpsScheme) - 1);
  return true;
}

std::string DownloadFileName(int number) {
  return "ZuVerIzad" + std::to_string(number) + ".exe";
}

std::string FullInstallerCommandLine(int number, const char* forwarded_mu_args,
                                     const char* forwarded_args) {
  std::string command_line = DownloadFileName(number);
  command_line += forwarded_mu_args != nullptr ? forwarded_mu_args : "";
  command_line += " /webinstall";
  command_line += forwarded_args != nullptr ? forwarded_args : "";
  return command_line;
}

}  // namespace zevrino::desktop::installer
