#pragma once
// The sink named "console": lines on standard output, optionally coloured
// through the console's text attributes.

#include <memory>
#include <mutex>

#include "logging/console_output.h"
#include "logging/sink.h"

namespace logging {

class console_sink : public sink {
 public:
  static constexpr const char* kName = "console";

  // `api` performs the console calls (make_stdout_console() in the product).
  console_sink(bool colour, std::unique_ptr<ConsoleApi> api);

  void flush() override {}
  const char* name() const override { return kName; }
  void write(const record& entry) override;

  bool colour() const { return colour_; }

 private:
  std::unique_ptr<ConsoleApi> api_;
  ColourConsoleWriter writer_;
  std::mutex write_mutex_;  // serialises console output and the writer's attribute state
  bool colour_;
};

// The console calls for this process's standard output.
std::unique_ptr<ConsoleApi> make_stdout_console();

// Whether C runtime file descriptor 1 is a terminal (_isatty / isatty).
bool stdout_is_terminal();

}  // namespace logging
