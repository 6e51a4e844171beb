#pragma once
// FallbackAddress: the full installer's address that the web installer is
// about to download (UTF-8, its "[ARCH]" placeholder replaced as for the
// download), which the error dialog of code 57 opens in the browser. Written
// on the installing thread, read on the UI thread. Empty until set; code 57
// then opens the compiled-in address.

#include <mutex>
#include <string>

namespace zevrino::desktop::installer {

class FallbackAddress {
 public:
  void Set(std::string utf8_url) {
    std::lock_guard<std::mutex> guard(lock_);
    url_ = std::move(utf8_url);
  }
  std::string Get() const {
    std::lock_guard<std::mutex> guard(lock_);
    return url_;
  }

 private:
  mutable std::mutex lock_;
  std::string url_;
};

}  // namespace zevrino::desktop::installer
