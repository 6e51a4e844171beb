// A download that drops resumes within the same attempt: the headers it
// sends and accepts, and the whole transfer against scripted answers.
#include "webinstall/download_resume.h"

#include <gtest/gtest.h>

#include <atomic>

#include "tests/unit/webinstall/download_fakes.h"

namespace zevrino::desktop::installer {
namespace {

using testing::Bytes;
using testing::ExecutableBlock;
using testing::RecordingSink;
using testing::ScriptedConnection;
using Reply = ScriptedConnection::Reply;

// Answers built field by field: GCC 12 at -O3 warns falsely about the
// string of a braced DownloadAnswer inside a braced Reply.
DownloadAnswer Answer(unsigned status, std::uint64_t length, const std::string& range = "") {
  DownloadAnswer answer;
  answer.status = status;
  answer.content_length = length;
  answer.content_range = range;
  return answer;
}
DownloadAnswer Rest(std::uint64_t from) {
  return Answer(206, 1000 - from, "bytes " + std::to_string(from) + "-999/1000");
}
DownloadAnswer Whole(std::uint64_t length = 1000) {
  return Answer(200, length);
}

TEST(DownloadResume, ContentRangeAndRangeHeaders) {
  const struct {
    const char* value;
    bool parsed;
    ContentRange range;
  } cases[] = {
      {"bytes 300-999/1000", true, {300, 999, 1000}},
      {"  bytes  0-0/1 ", true, {0, 0, 1}},
      {"bytes 4294967296-4294967305/4294967306",
       true,
       {1ull << 32, (1ull << 32) + 9, (1ull << 32) + 10}},
      {"bytes */1000", false, {}},         // what a 416 answer carries
      {"bytes 300-1000/1000", false, {}},  // past the end
      {"bytes 500-400/1000", false, {}},
      {"bytes 300-999/*", false, {}},
      {"bytes300-999/1000", false, {}},
      {"items 300-999/1000", false, {}},
      {"bytes 300-999/1000x", false, {}},
      {"bytes 300-999/18446744073709551616", false, {}},  // beyond 64 bits
      {"", false, {}},
  };
  for (const auto& c : cases) {
    ContentRange range;
    EXPECT_EQ(ParseContentRange(c.value, &range), c.parsed) << c.value;
    if (c.parsed) {
      EXPECT_EQ(range.first, c.range.first) << c.value;
      EXPECT_EQ(range.last, c.range.last) << c.value;
      EXPECT_EQ(range.total, c.range.total) << c.value;
    }
  }
  EXPECT_EQ(RangeRequestHeader(300), "Range: bytes=300-\r\n");
  EXPECT_EQ(RangeRequestHeader(1ull << 32), "Range: bytes=4294967296-\r\n");
}

TEST(DownloadResume, OnlyTheMatchingRangeContinuesTheFile) {
  const struct {
    DownloadAnswer answer;
    std::uint64_t from;
    ResumeAnswer brings;
  } cases[] = {
      {Rest(300), 300, ResumeAnswer::kRest},
      {Whole(), 300, ResumeAnswer::kWholeFile},
      {Whole(), 0, ResumeAnswer::kWholeFile},
      {{206, 600, "bytes 400-999/1000"}, 300, ResumeAnswer::kNothing},   // another start
      {{206, 700, "bytes 300-998/1000"}, 300, ResumeAnswer::kNothing},   // not to the end
      {{206, 700, "bytes 300-1099/1100"}, 300, ResumeAnswer::kNothing},  // another file
      {{206, 700, ""}, 300, ResumeAnswer::kNothing},
      {{206, 1000, "bytes 0-999/1000"}, 0, ResumeAnswer::kNothing},  // nothing was asked
      {{416, 0, "bytes */1000"}, 300, ResumeAnswer::kNothing},
      {Answer(404, 0), 300, ResumeAnswer::kNothing},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JudgeResumeAnswer(c.answer, c.from, 1000), c.brings)
        << c.answer.status << " " << c.answer.content_range << " from " << c.from;
  }
}

class DownloadResumeTest : public ::testing::Test {
 protected:
  DownloadResumeTest() : file_(ExecutableBlock(1000, 5)) {
    shared_.progress = &progress_;
    shared_.cancel_requested = &cancel_;
  }

  Bytes Part(std::size_t from, std::size_t to) const {
    return Bytes(file_.begin() + from, file_.begin() + to);
  }

  ResultCode Download(ScriptedConnection* connection) {
    return DownloadWithResume(connection, &sink_, shared_);
  }

  const Bytes file_;
  DownloadProgressState progress_;
  std::atomic<bool> cancel_{false};
  DownloadShared shared_;
  RecordingSink sink_;
};

// Dropped at 30 % (the connection breaks) and at 80 % (the body ends
// short): one request per piece, each for the rest, one complete file.
TEST_F(DownloadResumeTest, DropsAreResumedWhereTheFileStands) {
  // The progress goes on from where the file stands: it never goes back.
  std::vector<std::uint64_t> progress;
  shared_.wait_for_cancel_question = [&] { progress.push_back(progress_.bytes_received); };
  ScriptedConnection connection({
      {Whole(), {Part(0, 300), Part(300, 400)}, 1},
      {Rest(300), {Part(300, 800)}},
      {Rest(800), {Part(800, 1000)}},
  });
  ASSERT_EQ(Download(&connection), kSuccess);
  EXPECT_EQ(connection.froms, (std::vector<std::uint64_t>{0, 300, 800}));
  EXPECT_EQ(sink_.data, file_);
  EXPECT_EQ(progress, (std::vector<std::uint64_t>{0, 300, 300, 800, 800, 1000}));
  EXPECT_EQ(progress_.bytes_expected, 1000u);
}

// A server that answers a range with the whole file, or with another range,
// or not at all: the file starts over, and is whole in the end.
TEST_F(DownloadResumeTest, AnythingElseStartsTheFileOver) {
  ScriptedConnection connection({
      {Whole(), {Part(0, 300)}},
      {Whole(), {Part(0, 500)}},       // the whole file again, dropped at 500
      {Rest(600), {Part(600, 1000)}},  // not where the file stands
      {Whole(), {Part(0, 1000)}},
  });
  ASSERT_EQ(Download(&connection), kSuccess);
  EXPECT_EQ(connection.froms, (std::vector<std::uint64_t>{0, 300, 500, 0}));
  EXPECT_EQ(sink_.data, file_);

  // A drop within the first two bytes, and a reconnect that cannot open.
  ScriptedConnection early(
      {{Whole(), {Part(0, 1)}}, {Answer(404, 0), {}}, {Whole(), {Part(0, 1000)}}});
  sink_ = RecordingSink();
  ASSERT_EQ(Download(&early), kSuccess);
  EXPECT_EQ(early.froms, (std::vector<std::uint64_t>{0, 0, 0}));
  EXPECT_EQ(sink_.data, file_);
}

TEST_F(DownloadResumeTest, AtMostFiveReconnectsAndNeverForWhatIsNoDrop) {
  Reply dropping = {Whole(), {Part(0, 100)}, 1};
  ScriptedConnection always({dropping,
                             {Rest(100), {Part(100, 200)}, 1},
                             {Rest(200), {Part(200, 300)}},
                             {Rest(300), {Part(300, 400)}}});
  EXPECT_EQ(Download(&always), kUrlOpenFailed) << "the last reconnect could not open";
  EXPECT_EQ(always.froms, (std::vector<std::uint64_t>{0, 100, 200, 300, 400, 400}));

  struct Case {
    const char* what;
    Reply first;
    ResultCode result;
  } cases[] = {
      {"no executable", {Whole(), {Bytes{'<', 'h', 't'}}}, kDownloadInvalid},
      {"no length", {Whole(0), {Part(0, 300)}}, kDownloadInvalid},
      {"status", {Answer(404, 100), {Part(0, 100)}}, kHttpStatusNotOk},
      {"longer than announced", {Whole(300), {Part(0, 301)}}, kDownloadInvalid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedConnection connection({c.first, {Rest(300), {Part(300, 1000)}}});
    EXPECT_EQ(Download(&connection), c.result);
    EXPECT_EQ(connection.froms.size(), 1u);
  }

  // A file that cannot be emptied to start over: 11.
  ScriptedConnection whole({{Whole(), {Part(0, 300)}}, {Whole(), {file_}}});
  sink_.can_restart = false;
  EXPECT_EQ(Download(&whole), kOutOfMemory);
  // A cancel is never resumed.
  ScriptedConnection cancelled({{Whole(), {Part(0, 300), Part(300, 400)}, 1}});
  shared_.wait_for_cancel_question = [this] { cancel_ = !sink_.data.empty(); };
  EXPECT_EQ(Download(&cancelled), kCancelled);
  EXPECT_EQ(cancelled.froms.size(), 1u);
}

}  // namespace
}  // namespace zevrino::desktop::installer
