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

class DownloadResumeTest : public ::testing::Test {
 protected:
  DownloadResumeTest() {
    shared_.progress = &progress_;
    shared_.cancel_requested = &cancel_;
  }
  Bytes Part(std::size_t from, std::size_t to) const {
    return Bytes(file_.begin() + from, file_.begin() + to);
  }
  ResultCode Download(ScriptedConnection* connection) {
    sink_.data.clear();
    return DownloadWithResume(connection, &sink_, shared_);
  }

  const Bytes file_ = testing::ExecutableBlock(1000, 5);
  DownloadProgressState progress_;
  std::atomic<bool> cancel_{false};
  DownloadShared shared_;
  testing::RecordingSink sink_;
};

// Dropped at 30 % (a read fails) and at 80 % (the body ends): one request per
// piece, each for the rest, the progress going on; other answers start over.
TEST_F(DownloadResumeTest, DropsResumeWhereTheFileStandsAnythingElseStartsOver) {
  std::vector<std::uint64_t> progress;
  shared_.wait_for_cancel_question = [&] { progress.push_back(progress_.bytes_received); };
  ScriptedConnection dropped({{kWhole, {Part(0, 300), Part(300, 400)}, 1},
                              {Rest(300), {Part(300, 800)}},
                              {Rest(800), {Part(800, 1000)}}});
  ASSERT_EQ(Download(&dropped), kSuccess);
  EXPECT_EQ(dropped.froms, (std::vector<std::uint64_t>{0, 300, 800}));
  EXPECT_EQ(sink_.data, file_);
  EXPECT_EQ(progress, (std::vector<std::uint64_t>{0, 300, 300, 800, 800, 1000}));

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
  ScriptedConnection always({{kWhole, {Part(0, 100)}, 1}, {Rest(100), {Part(100, 200)}}});
  EXPECT_EQ(Download(&always), kUrlOpenFailed) << "the last reconnects could not open";
  EXPECT_EQ(always.froms, (std::vector<std::uint64_t>{0, 100, 200, 200, 200, 200}));
  // No executable, no length announced, the user cancelled: no drop.
  ScriptedConnection page({{kWhole, {Bytes{'<', 'h'}}}}), no_length({{Answer(200, 0), {file_}}}),
      cancelled({{kWhole, {Part(0, 300), Part(300, 400)}, 1}});
  EXPECT_EQ(Download(&page), kDownloadInvalid);
  EXPECT_EQ(Download(&no_length), kDownloadInvalid);
  shared_.wait_for_cancel_question = [this] { cancel_ = !sink_.data.empty(); };
  EXPECT_EQ(Download(&cancelled), kCancelled);
  EXPECT_EQ(page.froms.size() + no_length.froms.size() + cancelled.froms.size(), 3u)
      << "each asked once";
}

}  // namespace
}  // namespace zevrino::desktop::installer
