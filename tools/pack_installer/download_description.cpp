#include "tools/pack_installer/download_description.h"

#include <cctype>

#include "webinstall/download_description.h"

namespace zevrino::desktop::packer {

namespace {

void AppendLe32(std::uint32_t value, std::vector<std::uint8_t>* out) {
  for (int shift = 0; shift < 32; shift += 8) {
    out->push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool IsDownloadAddress(const std::string& url) {
  std::size_t scheme = 0;
  if (StartsWithNoCase(url, "https://")) {
    scheme = 8;
  } else if (StartsWithNoCase(url, "http://")) {
    scheme = 7;
  } else {
    return false;
  }
  if (url.size() == scheme) {
    return false;
  }
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      return false;
    }
  }
  return true;
}

bool IsHttpsAddress(const std::string& url) {
  return StartsWithNoCase(url, "https://");
}

std::vector<std::uint8_t> BuildDownloadDescription(const std::vector<std::string>& urls) {
  std::vector<std::uint8_t> description;
  AppendLe32(static_cast<std::uint32_t>(urls.size()), &description);
  for (const std::string& url : urls) {
    AppendLe32(static_cast<std::uint32_t>(url.size() + 1), &description);
    description.insert(description.end(), url.begin(), url.end());
    description.push_back(0);
  }
  return description;
}

bool ReadDownloadAddresses(const std::uint8_t* body, std::size_t size,
                           std::vector<std::string>* addresses) {
  return installer::ReadDownloadEntries(body, size, addresses) == installer::kSuccess;
}

}  // namespace zevrino::desktop::packer
