// The web installer is not part of this build: a web-install payload fails
// with kModeUnavailable rather than reporting an installation it did not make.

#include "webinstall/web_install_win.h"

#include "logging/log.h"

namespace zevrino::desktop::installer {

ResultCode RunWebInstall(const PayloadReader& /*reader*/) {
  logging::log_message(2, "", __LINE__,
                       "Zevrino Installer - Web install is not available in this build.");
  return kModeUnavailable;
}

}  // namespace zevrino::desktop::installer
