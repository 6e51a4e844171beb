// Sink filters and the logger's dispatch.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "logging/logger.h"
#include "logging/sink.h"

namespace {

using logging::record;

class RecordingSink : public logging::sink {
 public:
  explicit RecordingSink(std::string name, std::int32_t channel = 0)
      : sink(channel), name_(std::move(name)) {}
  void flush() override { ++flushes; }
  const char* name() const override { return name_.c_str(); }
  void write(const record& entry) override { lines.push_back(entry.message); }

  std::vector<std::string> lines;
  int flushes = 0;

 private:
  std::string name_;
};

record Make(int level, const char* module, std::int32_t channel = 0) {
  record r;
  r.level = level;
  r.module = module;
  r.channel = channel;
  return r;
}

TEST(SinkFilter, ThresholdsWithFallbackToTheEmptyModule) {
  RecordingSink only_level_zero("a");
  RecordingSink configured("b");
  configured.set_threshold("", 14);
  configured.set_threshold("net", 2);
  configured.set_threshold("net", 3);  // replaces
  configured.set_threshold("quiet", 0);

  struct Case {
    const RecordingSink& s;
    int level;
    const char* module;
    bool accepted;
  };
  const Case cases[] = {
      // No entry for the module nor for "": only level 0.
      {only_level_zero, 0, "", true},
      {only_level_zero, 1, "", false},
      {only_level_zero, 0, "net", true},
      // The module's own entry wins over "".
      {configured, 3, "net", true},
      {configured, 4, "net", false},
      {configured, 1, "quiet", false},
      // Unknown modules fall back to "".
      {configured, 13, "other", true},
      {configured, 14, "", true},
      {configured, 15, "", false},
      // Compared unsigned: negative levels never pass.
      {configured, -1, "", false},
      {only_level_zero, -1, "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.accepted, c.s.accepts(Make(c.level, c.module)))
        << c.s.name() << " level " << c.level << " module '" << c.module << "'";
  }
}

TEST(SinkFilter, OtherChannelsAreRejected) {
  RecordingSink s("c", 0);
  s.set_threshold("", 14);
  EXPECT_TRUE(s.accepts(Make(4, "", 0)));
  EXPECT_FALSE(s.accepts(Make(4, "", 1)));
}

TEST(Logger, DispatchesToAcceptingSinksAndKeepsOneSinkPerName) {
  logging::logger log;
  auto everything = std::make_shared<RecordingSink>("everything");
  everything->set_threshold("", 14);
  auto failures = std::make_shared<RecordingSink>("failures");
  failures->set_threshold("", 2);
  log.add_sink(everything);
  log.add_sink(failures);

  record progress = Make(4, "");
  progress.message = "progress";
  record failure = Make(2, "");
  failure.message = "failure";
  log.dispatch(progress);
  log.dispatch(failure);
  EXPECT_EQ((std::vector<std::string>{"progress", "failure"}), everything->lines);
  EXPECT_EQ((std::vector<std::string>{"failure"}), failures->lines);

  // add_sink replaces a sink of the same name; add_sink_if_absent keeps it.
  auto replacement = std::make_shared<RecordingSink>("failures");
  EXPECT_FALSE(log.add_sink_if_absent("failures", [&] { return replacement; }));
  EXPECT_EQ(failures, log.find_sink("failures"));
  log.add_sink(replacement);
  EXPECT_EQ(replacement, log.find_sink("failures"));
  EXPECT_EQ(nullptr, log.find_sink("missing"));

  log.flush_all();
  EXPECT_EQ(1, everything->flushes);
  EXPECT_EQ(1, replacement->flushes);
  EXPECT_EQ(0, failures->flushes);
}

// A sink may use the logger from inside write() (the lock is recursive).
TEST(Logger, SinksMayCallBackIntoTheLogger) {
  class LookingSink : public RecordingSink {
   public:
    LookingSink(logging::logger& owner) : RecordingSink("looking"), owner_(owner) {}
    void write(const record& entry) override {
      RecordingSink::write(entry);
      found = owner_.find_sink("looking") != nullptr;
    }
    bool found = false;

   private:
    logging::logger& owner_;
  };
  logging::logger log;
  auto looking = std::make_shared<LookingSink>(log);
  looking->set_threshold("", 14);
  log.add_sink(looking);
  log.dispatch(Make(4, ""));
  EXPECT_TRUE(looking->found);
}

}  // namespace
