// Update mode is not part of this build: a run that asks for it fails with
// kModeUnavailable rather than reporting an update it did not make.

#include "installer_stub/update_mode_win.h"

#include "logging/log.h"

namespace zevrino::desktop::installer {

ResultCode RunUpdate(const char* /*path*/, const PayloadReader& /*reader*/) {
  logging::log_message(2, "", __LINE__,
                       "Zevrino Installer - Update mode is not available in this build.");
  return kModeUnavailable;
}

}  // namespace zevrino::desktop::installer
