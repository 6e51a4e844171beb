// Fuzz target for the web installer's download description: any body either
// gives an address that lies inside it or code 4 with the address untouched.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "webinstall/download_description.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zevrino::desktop::installer;
  // Exact-size heap copy so that AddressSanitizer sees reads past the end.
  const std::vector<std::uint8_t> body(data, data + size);
  std::string address = "untouched";
  const ResultCode result = ReadDownloadDescription(body.data(), body.size(), &address);
  if (result == kSuccess) {
    // The address is a string stored in the body, without zero bytes.
    if (address.size() + 9 > size || address.find('\0') != std::string::npos) {
      __builtin_trap();
    }
    const std::string text(body.begin(), body.end());
    if (text.find(address) == std::string::npos) {
      __builtin_trap();
    }
  } else if (result != kPayloadNotFound || address != "untouched") {
    __builtin_trap();
  }
  return 0;
}
