#include "logging/log.h"

#include <chrono>
#include <cstdarg>

#include "logging/console_sink.h"
#include "logging/file_sink.h"
#include "logging/logger.h"
#include "text/error_state.h"
#include "text/format.h"

namespace logging {
namespace {

// The threshold both set-up calls give the module "": every level 0..13.
constexpr std::uint32_t kAllLevels = 14;

}  // namespace

std::int64_t current_time() {
  using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
  return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void log_message(int level, const char* module, int line, const char* format, ...) {
  // Formatting keeps errno and the last-error value by itself; the sinks'
  // console and file calls would not, and callers often log a failure just
  // before reading GetLastError for their own result.
  text::PreservedErrorState preserved;

  record entry;
  va_list args;
  va_start(args, format);
  text::str_vformat(entry.message, format, args);
  va_end(args);

  std::shared_ptr<logger> instance = get_logger();
  if (!instance) {
    return;
  }
  entry.time = current_time();
  entry.level = level;
  entry.channel = 0;
  entry.module = module != nullptr ? module : "";
  entry.file = "/f";
  entry.line = line;
  entry.thread_id = current_thread_id();
  instance->dispatch(entry);
}

void add_console_sink(bool force_colour) {
  std::shared_ptr<logger> instance = get_logger();
  if (!instance) {
    return;
  }
  instance->add_sink_if_absent(console_sink::kName, [force_colour] {
    auto s =
        std::make_shared<console_sink>(force_colour || stdout_is_terminal(), make_stdout_console());
    s->set_threshold("", kAllLevels);
    return s;
  });
}

void add_file_sink(const char* path, bool append) {
  std::shared_ptr<logger> instance = get_logger();
  if (!instance || path == nullptr) {
    return;
  }
  instance->add_sink_if_absent(path, [path, append] {
    auto s = std::make_shared<file_sink>(path, append);
    s->set_threshold("", kAllLevels);
    return s;
  });
}

}  // namespace logging
