#include "webinstall/download_address.h"

namespace zevrino::desktop::installer {
namespace {

constexpr char kArchPlaceholder[] = "[ARCH]";
constexpr char kHttpsScheme[] = "https://";

constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint16_t kMachineIa64 = 0x0200;
constexpr std::uint16_t kMachineArm64 = 0xAA64;

}  // namespace

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
