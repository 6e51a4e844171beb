#include "ui/cancel_request.h"

namespace zevrino::desktop::installer {

std::atomic<bool> CancelRequested{false};

}  // namespace zevrino::desktop::installer
