// A download that drops resumes within the same attempt: which answers
// continue the file, and whole transfers against scripted answers.
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
  answer.etag = "\"v1\"";
  return answer;
}
DownloadAnswer Rest(std::uint64_t from, std::uint64_t total = 1000) {
  return Answer(206, total - from,
                "bytes " + std::to_string(from) + "-" + std::to_string(total - 1) + "/" +
                    std::to_string(total));
}
const DownloadAnswer kWhole = Answer(200, 1000);

TEST(DownloadResume, OnlyTheExactRestContinuesTheFile) {
  const std::pair<DownloadAnswer, ResumeAnswer> answers_to_300[] = {
      {Answer(206, 700, " bytes  300-999/1000 "), ResumeAnswer::kRest},
      {kWhole, ResumeAnswer::kWholeFile},
      {Rest(400), ResumeAnswer::kNothing},                                // another start
      {Rest(300, 1100), ResumeAnswer::kNothing},                          // another file
      {Answer(206, 700, "bytes 300-998/1000"), ResumeAnswer::kNothing},   // not to the end
      {Answer(206, 700, "bytes 300-1000/1000"), ResumeAnswer::kNothing},  // past it
      {Answer(206, 700, "bytes 300-999/99999999999999999999"), ResumeAnswer::kNothing},
      {Answer(416, 0, "bytes */1000"), ResumeAnswer::kNothing},
  };
  for (const auto& [answer, brings] : answers_to_300) {
    EXPECT_EQ(JudgeResumeAnswer(answer, 300, 1000), brings) << answer.content_range;
  }
}

// If-Range needs a strong validator; a weak ETag gives way to Last-Modified.
TEST(DownloadResume, TheValidatorIsAStrongETagElseLastModified) {
  DownloadAnswer answer;
  answer.last_modified = "Tue, 08 Dec 2026 03:00:00 GMT";
  EXPECT_EQ(ResumeValidator(answer), answer.last_modified);
  answer.etag = "W/\"weak\"";
  EXPECT_EQ(ResumeValidator(answer), answer.last_modified);
  answer.etag = "\"strong\"";
  EXPECT_EQ(ResumeValidator(answer), "\"strong\"");
  EXPECT_EQ(RangeRequestHeaders(300, "\"strong\""),
            "Range: bytes=300-\r\nIf-Range: \"strong\"\r\n");
  EXPECT_EQ(RangeRequestHeaders(300, ""), "Range: bytes=300-\r\n");
}

class DownloadResumeTest : public ::testing::Test {
 protected:
  DownloadResumeTest() {
    shared_.progress = &progress_;
    shared_.cancel_requested = &cancel_;
    shared_.sleep_one_second = [this] {
      EXPECT_TRUE(progress_.downloading) << "the bar stays while waiting to reconnect";
      waits_.push_back(progress_.retry_countdown);
    };
    progress_.downloading = true;
  }
  Bytes Part(std::size_t from, std::size_t to) const {
    return Bytes(file_.begin() + from, file_.begin() + to);
  }
  // One attempt of a fresh pass.
  ResultCode Download(ScriptedConnection* connection) {
    sink_.data.clear();
    pass_ = DownloadPass();
    waits_.clear();
    return DownloadWithResume(connection, &sink_, shared_, &pass_);
  }
  // The seconds waited before reconnects, as counts down of 1, 2, 4...
  static std::vector<std::uint32_t> Waits(int reconnects) {
    std::vector<std::uint32_t> seconds;
    for (int r = 1; r <= reconnects; ++r) {
      for (std::uint32_t left = ReconnectWaitSeconds(r); left != 0; --left) {
        seconds.push_back(left);
      }
    }
    return seconds;
  }

  const Bytes file_ = testing::ExecutableBlock(1000, 5);
  DownloadProgressState progress_;
  std::atomic<bool> cancel_{false};
  DownloadShared shared_;
  testing::RecordingSink sink_;
  DownloadPass pass_;
  std::vector<std::uint32_t> waits_;
};

// Dropped at 30 % (a read fails) and at 80 % (the body ends): after 1 and
// 2 s, one request per piece, each for the rest with If-Range, the progress
// going on.
TEST_F(DownloadResumeTest, DropsResumeWhereTheFileStandsAfterAWait) {
  std::vector<std::uint64_t> progress;
  shared_.wait_for_cancel_question = [&] { progress.push_back(progress_.bytes_received); };
  ScriptedConnection dropped({{kWhole, {Part(0, 300), Part(300, 400)}, 1},
                              {Rest(300), {Part(300, 800)}},
                              {Rest(800), {Part(800, 1000)}}});
  ASSERT_EQ(Download(&dropped), kSuccess);
  EXPECT_EQ(dropped.froms, (std::vector<std::uint64_t>{0, 300, 800}));
  EXPECT_EQ(dropped.validators, (std::vector<std::string>{"", "\"v1\"", "\"v1\""}));
  EXPECT_EQ(sink_.data, file_);
  EXPECT_EQ(progress, (std::vector<std::uint64_t>{0, 300, 300, 800, 800, 1000}));
  EXPECT_EQ(waits_, Waits(2));
  EXPECT_EQ(progress_.retry_countdown, 0u);
}

// Each way an attempt goes on or ends, by what the server answers.
TEST_F(DownloadResumeTest, ReconnectsOnlyWhileTheFileGetsFurther) {
  const Bytes short_body = Part(0, 999);
  DownloadAnswer page = Answer(200, 2);
  page.content_type = "text/html; charset=utf-8";
  const struct {
    const char* what;
    std::vector<ScriptedConnection::Reply> replies;
    ResultCode result;
    std::vector<std::uint64_t> froms;
  } cases[] = {
      {"the file changed: 200 starts it over once",
       {{kWhole, {Part(0, 300)}}, {kWhole, {file_}}},
       kSuccess,
       {0, 300}},
      {"a second start over",
       {{kWhole, {Part(0, 300)}}, {kWhole, {Part(0, 500)}}, {kWhole, {file_}}},
       kDownloadInvalid,
       {0, 300, 500}},
      {"404 to the rest starts over, the next reconnect asks for all",
       {{kWhole, {Part(0, 300)}}, {Answer(404, 0), {}}, {kWhole, {file_}}},
       kSuccess,
       {0, 300, 0}},
      {"one byte short, the server ignores ranges",
       {{kWhole, {short_body}}, {kWhole, {short_body}}, {kWhole, {file_}}},
       kDownloadInvalid,
       {0, 999}},
      {"one byte short, 416 to the rest",
       {{kWhole, {short_body}}, {Answer(416, 0, "bytes */1000"), {}}},
       kDownloadInvalid,
       {0, 999}},
      {"206 for another part",
       {{kWhole, {short_body}}, {Rest(400), {}}},
       kDownloadInvalid,
       {0, 999}},
      {"no further than before",
       {{kWhole, {Part(0, 300)}}, {Rest(300), {}}, {Rest(300), {file_}}},
       kDownloadInvalid,
       {0, 300}},
      {"more than announced", {{kWhole, {file_, Part(0, 2)}}}, kDownloadInvalid, {0}},
      {"the proxy asks for a sign-in", {{Answer(407, 0), {}}}, kProxySignInRequired, {0}},
      {"the network asks for a sign-in", {{Answer(511, 0), {}}}, kNetworkSignInRequired, {0}},
      {"a page announced as HTML", {{page, {Bytes{'o', 'k'}}}}, kNetworkSignInRequired, {0}},
      {"more than a download may take",
       {{Answer(200, (1ull << 32) + 1), {file_}}},
       kDownloadInvalid,
       {0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedConnection connection(c.replies);
    EXPECT_EQ(Download(&connection), c.result);
    EXPECT_EQ(connection.froms, c.froms);
    if (c.result == kSuccess) {
      EXPECT_EQ(sink_.data, file_);
    }
  }
}

TEST_F(DownloadResumeTest, AtMostFiveReconnectsAndNoneForWhatIsNoDrop) {
  ScriptedConnection always({{kWhole, {Part(0, 100)}, 1}, {Rest(100), {Part(100, 200)}}});
  EXPECT_EQ(Download(&always), kUrlOpenFailed) << "the last reconnects could not open";
  EXPECT_EQ(always.froms, (std::vector<std::uint64_t>{0, 100, 200, 200, 200, 200}));
  EXPECT_EQ(waits_, Waits(5));
  // No executable, no length announced, the user cancelled: no drop.
  ScriptedConnection page({{kWhole, {Bytes{'<', 'h'}}}}), no_length({{Answer(200, 0), {file_}}}),
      cancelled({{kWhole, {Part(0, 300), Part(300, 400)}, 1}});
  EXPECT_EQ(Download(&page), kNetworkSignInRequired);
  EXPECT_EQ(Download(&no_length), kDownloadInvalid);
  shared_.wait_for_cancel_question = [this] { cancel_ = !sink_.data.empty(); };
  EXPECT_EQ(Download(&cancelled), kCancelled);
  EXPECT_EQ(page.froms.size() + no_length.froms.size() + cancelled.froms.size(), 3u)
      << "each asked once";
}

// A cancel during the wait before a reconnect ends the attempt at once.
TEST_F(DownloadResumeTest, CancelDuringTheWaitEndsTheAttempt) {
  shared_.sleep_one_second = [this] { cancel_ = true; };
  ScriptedConnection dropped({{kWhole, {Part(0, 300)}, 1}, {Rest(300), {Part(300, 1000)}}});
  EXPECT_EQ(Download(&dropped), kCancelled);
  EXPECT_EQ(dropped.froms.size(), 1u);
}

// Too little room for the announced length: 12 before the first byte.
TEST_F(DownloadResumeTest, NoRoomForTheFileWritesNothing) {
  sink_.room = 999;
  ScriptedConnection connection({{kWhole, {file_}}});
  EXPECT_EQ(Download(&connection), kWriteFailed);
  EXPECT_TRUE(sink_.data.empty());
}

// The next attempt of a pass asks for the rest of what the last one kept,
// with its validator; a 200 (the file changed) starts the file over.
TEST_F(DownloadResumeTest, TheNextAttemptKeepsWhatTheLastOneBrought) {
  ScriptedConnection first({{kWhole, {Part(0, 300)}, 1}});
  EXPECT_EQ(Download(&first), kUrlOpenFailed);
  ASSERT_EQ(pass_.written, 300u);
  for (const DownloadAnswer& answer : {Rest(300), kWhole}) {
    SCOPED_TRACE(answer.status);
    DownloadPass pass = pass_;
    sink_.data = Part(0, 300);
    ScriptedConnection next({{answer, {answer.status == 200 ? file_ : Part(300, 1000)}}});
    EXPECT_EQ(DownloadWithResume(&next, &sink_, shared_, &pass), kSuccess);
    EXPECT_EQ(next.froms, (std::vector<std::uint64_t>{300}));
    EXPECT_EQ(next.validators, (std::vector<std::string>{"\"v1\""}));
    EXPECT_EQ(sink_.data, file_);
    EXPECT_TRUE(pass.answered);
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
