#include "tests/e2e/harness/virtual_display.h"

namespace zevrino::e2e {

VirtualDisplay::~VirtualDisplay() {
  Stop();
}

bool VirtualDisplay::Start(std::string* error) {
  Stop();
  // -displayfd: Xvfb chooses a free display and writes its number, followed
  // by a newline, to that descriptor once it accepts connections.
  std::string number;
  pid_ = StartHelperProcess(
      {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, 3, &number);
  if (pid_ <= 0 || number.empty()) {
    *error = "Xvfb did not report a display";
    Stop();
    return false;
  }
  name_ = ":" + number;
  return true;
}

void VirtualDisplay::Stop() {
  StopHelperProcess(pid_);
  pid_ = -1;
  name_.clear();
}

}  // namespace zevrino::e2e
