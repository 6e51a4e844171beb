#pragma once
// What the progress window shows on each tick, decided without any window:
// bar mode, bar position and the status text in the user's language.

#include <cstdint>
#include <string>

namespace zevrino::desktop::installer {

// The status text and the last shown text live in 256-byte buffers: 255
// bytes of UTF-8 at most, cut at a character boundary.
constexpr std::size_t kMaxStatusTextBytes = 255;

struct StatusInputs {
  bool cancel_requested = false;
  std::uint32_t retry_countdown = 0;  // seconds, 0: none
  bool downloading = false;
  std::uint32_t estimate_seconds = 0;  // shown time left, 0: none
};

// The translated status line; first match wins: "Aborting..." after a
// confirmed cancel, the retry countdown, "Downloading Zevrino..." with the
// time left (seconds below a minute, whole minutes rounded from the half
// minute up), otherwise "Installing Zevrino...".
std::string ChooseStatusText(const StatusInputs& inputs);

// The bar is determinate only while downloading with an announced length.
bool IsDeterminate(bool downloading, std::uint64_t expected);

// Percent of `expected` received, 0 to 100; 0 when fewer than 100 bytes are
// expected.
int ProgressPercent(std::uint64_t received, std::uint64_t expected);

}  // namespace zevrino::desktop::installer
