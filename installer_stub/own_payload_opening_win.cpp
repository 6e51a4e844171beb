#include "installer_stub/own_payload_opening_win.h"

#include <system_error>

namespace zevrino::desktop::installer {

OwnPayloadOpening::~OwnPayloadOpening() {
  if (thread_.joinable()) {
    thread_.join();
  }
}

void OwnPayloadOpening::Start() {
  try {
    thread_ = std::thread([this] { Open(); });
  } catch (const std::system_error&) {
    // Opened by Wait, on the calling thread.
  }
}

const OwnPayloadOpening::Outcome& OwnPayloadOpening::Wait() {
  if (thread_.joinable()) {
    thread_.join();
  }
  if (!done_) {
    Open();
  }
  return outcome_;
}

void OwnPayloadOpening::Open() {
  std::wstring own_path;
  outcome_.own_name = payload_file_ != nullptr || GetOwnFileName(&own_path);
  if (payload_file_ != nullptr) {
    own_path = payload_file_;
  }
  if (outcome_.own_name) {
    outcome_.opened = OpenOwnPayload(own_path.c_str(), &payload_, outcome_.error);
  }
  done_ = true;
}

}  // namespace zevrino::desktop::installer
