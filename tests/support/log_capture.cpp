#include "tests/support/log_capture.h"

#include <memory>
#include <mutex>

#include "logging/format_line.h"
#include "logging/levels.h"
#include "logging/logger.h"
#include "logging/sink.h"

namespace zevrino::desktop::installer::testing {
namespace {

class CapturingSink : public logging::sink {
 public:
  CapturingSink() { set_threshold("", 14); }  // every level, as add_file_sink
  void flush() override {}
  const char* name() const override { return "test log capture"; }
  void write(const logging::record& entry) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(entry);
  }
  std::vector<logging::record> From(std::size_t start) {
    const std::lock_guard<std::mutex> lock(mutex_);
    return start < records_.size()
               ? std::vector<logging::record>(records_.begin() + start, records_.end())
               : std::vector<logging::record>();
  }
  std::size_t size() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return records_.size();
  }

 private:
  std::mutex mutex_;
  std::vector<logging::record> records_;
};

CapturingSink& Sink() {
  static const std::shared_ptr<CapturingSink> sink = [] {
    auto made = std::make_shared<CapturingSink>();
    logging::get_logger()->add_sink(made);
    return made;
  }();
  return *sink;
}

}  // namespace

LogCapture::LogCapture() : start_(Sink().size()) {}

void LogCapture::Clear() {
  start_ = Sink().size();
}

std::string LogCapture::Text() const {
  std::string text;
  for (const logging::record& entry : Sink().From(start_)) {
    text += logging::format_line(entry, false);
  }
  return text;
}

std::vector<std::string> LogCapture::Records() const {
  std::vector<std::string> records;
  for (const logging::record& entry : Sink().From(start_)) {
    records.push_back(std::to_string(entry.level) + " " + std::to_string(entry.line) + " " +
                      entry.message);
  }
  return records;
}

int LogCapture::Count(const std::string& fragment) const {
  int count = 0;
  for (const logging::record& entry : Sink().From(start_)) {
    count += logging::format_line(entry, false).find(fragment) != std::string::npos ? 1 : 0;
  }
  return count;
}

int LogCapture::CountLines(char level_letter, int line, const std::string& message) const {
  int count = 0;
  for (const logging::record& entry : Sink().From(start_)) {
    count += logging::level_letter(entry.level) == level_letter && entry.line == line &&
                     entry.message == message
                 ? 1
                 : 0;
  }
  return count;
}

}  // namespace zevrino::desktop::installer::testing
