#include "ui/progress_status.h"

#include <algorithm>

#include "i18n/catalog.h"
#include "ui/utf8_text.h"

namespace zevrino::desktop::installer {

namespace gettext = i18n::gettext;

std::string ChooseStatusText(const StatusInputs& inputs) {
  std::string text;
  if (inputs.cancel_requested) {
    text = gettext::translate("Aborting...");
  } else if (inputs.retry_countdown != 0) {
    text = gettext::translate_plural("Unable to download Zevrino... will try again in %d second",
                                     "Unable to download Zevrino... will try again in %d seconds",
                                     inputs.retry_countdown);
  } else if (inputs.downloading) {
    text = gettext::translate("Downloading Zevrino...");
    const std::uint32_t seconds = inputs.estimate_seconds;
    if (seconds != 0 && seconds < 60) {
      text += gettext::translate_plural("  %d second left", "  %d seconds left", seconds);
    } else if (seconds >= 60) {
      // Integer division after adding half a minute: 89 s is 1 minute, 90 s 2.
      const std::int64_t minutes = (static_cast<std::int64_t>(seconds) + 30) / 60;
      text +=
          gettext::translate_plural("  about %d minute left", "  about %d minutes left", minutes);
    }
  } else {
    text = gettext::translate("Installing Zevrino...");
  }
  return TruncateUtf8(text, kMaxStatusTextBytes);
}

bool IsDeterminate(bool downloading, std::uint64_t expected) {
  return downloading && expected != 0;
}

int ProgressPercent(std::uint64_t received, std::uint64_t expected) {
  if (expected < 100) {
    return 0;
  }
  return static_cast<int>(std::min<std::uint64_t>(received / (expected / 100), 100));
}

}  // namespace zevrino::desktop::installer
