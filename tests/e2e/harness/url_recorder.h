#pragma once
// recorder.exe (tests/e2e/windows/recorder.cpp) as the handler of a URL
// scheme in a test prefix, to see which address a program opens with
// ShellExecuteW. Wine 8 looks schemes up under HKLM\Software\Classes only.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {

class UrlRecorder {
 public:
  // Copies recorder.exe to `directory`/<scheme>-recorder.exe and registers it
  // as the handler of `scheme` ("https", "http", "zevrino"...). On failure
  // *error says why and valid() is false.
  UrlRecorder(const WinePrefix& prefix, const std::string& scheme,
              const std::filesystem::path& directory, std::string* error);

  bool valid() const { return valid_; }

  // The addresses received so far, one per start, in the order the starts
  // wrote them.
  std::vector<std::string> Addresses() const;

  // Waits until at least `count` addresses were received (starts run
  // asynchronously to the program that asked for them).
  std::vector<std::string> WaitForAddresses(std::size_t count,
                                            std::chrono::milliseconds timeout) const;

 private:
  std::filesystem::path program_;
  bool valid_ = false;
};

}  // namespace zevrino::e2e
