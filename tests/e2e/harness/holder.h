#pragma once
// Another process in a prefix that holds something until the test lets go:
// hold_file.exe (a file held open), hold_mutex.exe (a named mutex) or
// swap_file.exe (a file it keeps trying to replace), all started as
// "PROGRAM HELD READY RELEASE" (tests/e2e/windows/hold.cpp, swap_file.cpp).

#include <filesystem>
#include <future>
#include <string>

#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {

class Holder {
 public:
  // Starts `program` of the Windows build's tests for `held` (a Windows path
  // or a mutex name), its signal files in `scratch`, and waits until it
  // holds.
  Holder(const WinePrefix& prefix, const std::filesystem::path& scratch, const std::string& program,
         const std::string& held);
  ~Holder() { Release(); }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;

  bool holding() const { return holding_; }
  // Lets go, waits for the program's end and expects exit code 0; later
  // calls return the same result.
  const ProcessResult& Release();

 private:
  std::filesystem::path ready_, release_;
  std::future<ProcessResult> done_;
  ProcessResult result_;
  bool holding_ = false;
};

}  // namespace zevrino::e2e
