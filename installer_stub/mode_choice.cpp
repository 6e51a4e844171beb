#include "installer_stub/mode_choice.h"

#include "payload/payload_container.h"

namespace zevrino::desktop::installer {

Mode ChooseMode(const Options& options, std::uint16_t payload_flags) {
  if (options.extract) {
    return Mode::kExtract;
  }
  if (options.update) {
    return Mode::kUpdate;
  }
  return (payload_flags & kWebInstaller) != 0 ? Mode::kWebInstall : Mode::kNormalInstall;
}

}  // namespace zevrino::desktop::installer
