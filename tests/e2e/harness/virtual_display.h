#pragma once
// A private X display (Xvfb) for tests whose Windows programs open windows or
// dialogs; without one, Wine's user32 cannot create a window at all. The
// server picks a free display number itself and lives as long as the object.

#include <sys/types.h>

#include <string>

#include "tests/e2e/harness/support.h"

namespace zevrino::e2e {

class VirtualDisplay {
 public:
  VirtualDisplay() = default;
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  // Starts Xvfb with one 1280x1024 screen. On failure *error says why.
  bool Start(std::string* error);
  void Stop();

  // ":N" while running.
  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

}  // namespace zevrino::e2e
