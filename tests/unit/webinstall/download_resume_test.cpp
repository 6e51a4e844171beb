// A download that drops resumes within the same attempt: the headers it
// sends and accepts, and whole transfers against scripted answers.
#include "webinstall/download_resume.h"

#include <gtest/gtest.h>

#include <atomic>

#include "tests/unit/webinstall/download_fakes.h"

namespace zevrino::desktop::installer {
namespace {

using testing::Bytes;
using testing::ScriptedConnection;

// Built field by field: GCC 12 at -O3 warns falsely about braced ones.
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
const DownloadAnswer kWhole = Answer(200, 1000);

TEST(DownloadResume, HeadersAndWhatAnAnswerBrings) {
  ContentRange range;
  ASSERT_TRUE(ParseContentRange(" bytes  4294967296-4294967305/4294967306 ", &range));
  EXPECT_EQ(range.first, 1ull << 32);
  EXPECT_EQ(range.total - range.last, 1u);
  for (const char* bad :
       {"bytes */1000", "bytes 300-1000/1000", "bytes 5-4/9", "bytes 1-2/*", "bytes1-2/9",
        "items 1-2/9", "bytes 1-2/9x", "bytes 1-2/99999999999999999999"}) {
    EXPECT_FALSE(ParseContentRange(bad, &range)) << bad;
  }
  EXPECT_EQ(RangeRequestHeader(1ull << 32), "Range: bytes=4294967296-\r\n");

  const struct {
    DownloadAnswer answer;
    std::uint64_t from;
    ResumeAnswer brings;
  } cases[] = {
      {Rest(300), 300, ResumeAnswer::kRest},
      {kWhole, 300, ResumeAnswer::kWholeFile},
      {Rest(400), 300, ResumeAnswer::kNothing},                                // another start
      {Answer(206, 700, "bytes 300-998/1000"), 300, ResumeAnswer::kNothing},   // not to the end
      {Answer(206, 700, "bytes 300-1099/1100"), 300, ResumeAnswer::kNothing},  // another length
      {Answer(206, 1000, "bytes 0-999/1000"), 0, ResumeAnswer::kNothing},      // no range asked
      {Answer(416, 0, "bytes */1000"), 300, ResumeAnswer::kNothing},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JudgeResumeAnswer(c.answer, c.from, 1000), c.brings)
        << c.answer.status << " " << c.answer.content_range;
  }
}

class DownloadResumeTest : public ::testing::Test {
 protected:
  DownloadResumeTest() {
    shared_.progress = &progress_;
    shared_.cancel_requested = &cancel_;
  }
  Bytes Part(std::size_t from, std::size_t to) const {
    return Bytes(file_.begin() + from, file_.begin() + to);
  }
  // Downloads through `connection`; the file must come out whole.
  ResultCode Download(ScriptedConnection* connection) {
    sink_ = testing::RecordingSink();
    return DownloadWithResume(connection, &sink_, shared_);
  }

  const Bytes file_ = testing::ExecutableBlock(1000, 5);
  DownloadProgressState progress_;
  std::atomic<bool> cancel_{false};
  DownloadShared shared_;
  testing::RecordingSink sink_;
};

// Dropped at 30 % (a read fails) and at 80 % (the body ends): one request per
// piece, each for the rest; the progress goes on from where the file stands.
TEST_F(DownloadResumeTest, DropsAreResumedWhereTheFileStands) {
  std::vector<std::uint64_t> progress;
  shared_.wait_for_cancel_question = [&] { progress.push_back(progress_.bytes_received); };
  ScriptedConnection dropped({{kWhole, {Part(0, 300), Part(300, 400)}, 1},
                              {Rest(300), {Part(300, 800)}},
                              {Rest(800), {Part(800, 1000)}}});
  ASSERT_EQ(Download(&dropped), kSuccess);
  EXPECT_EQ(dropped.froms, (std::vector<std::uint64_t>{0, 300, 800}));
  EXPECT_EQ(sink_.data, file_);
  EXPECT_EQ(progress, (std::vector<std::uint64_t>{0, 300, 300, 800, 800, 1000}));

  // The whole file again, another range, a drop within the first two bytes,
  // a reconnect that is refused: the file starts over and ends up whole.
  ScriptedConnection restarted({{kWhole, {Part(0, 300)}},
                                {kWhole, {Part(0, 500)}},
                                {Rest(600), {Part(600, 1000)}},
                                {kWhole, {Part(0, 1)}},
                                {Answer(404, 0), {}},
                                {kWhole, {file_}}});
  ASSERT_EQ(Download(&restarted), kSuccess);
  EXPECT_EQ(restarted.froms, (std::vector<std::uint64_t>{0, 300, 500, 0, 0, 0}));
  EXPECT_EQ(sink_.data, file_);
}

TEST_F(DownloadResumeTest, AtMostFiveReconnectsAndNoneForWhatIsNoDrop) {
  ScriptedConnection always({{kWhole, {Part(0, 100)}, 1},
                             {Rest(100), {Part(100, 200)}, 1},
                             {Rest(200), {Part(200, 300)}}});
  EXPECT_EQ(Download(&always), kUrlOpenFailed) << "the last reconnects could not open";
  EXPECT_EQ(always.froms, (std::vector<std::uint64_t>{0, 100, 200, 300, 300, 300}));

  // No executable, no length announced: no drop.
  for (const auto& first : {ScriptedConnection::Reply{kWhole, {Bytes{'<', 'h', 't'}}},
                            ScriptedConnection::Reply{Answer(200, 0), {Part(0, 300)}}}) {
    ScriptedConnection connection({first, {Rest(300), {Part(300, 1000)}}});
    EXPECT_EQ(Download(&connection), kDownloadInvalid);
    EXPECT_EQ(connection.froms.size(), 1u);
  }
  ScriptedConnection cancelled({{kWhole, {Part(0, 300), Part(300, 400)}, 1}});
  shared_.wait_for_cancel_question = [this] { cancel_ = !sink_.data.empty(); };
  EXPECT_EQ(Download(&cancelled), kCancelled);
  EXPECT_EQ(cancelled.froms.size(), 1u);
}

}  // namespace
}  // namespace zevrino::desktop::installer
