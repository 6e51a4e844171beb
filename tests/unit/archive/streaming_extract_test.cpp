// ExtractArchive decodes on a second thread and stages entries while the rest
// of the body is still being decoded. On the in-memory file system, natively
// under the sanitizers and under Wine: the files come out exact wherever the
// decoder's slices end, and every result leaves the disk as decoding first
// and installing afterwards would.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/result_code.h"
#include "files/disk_space.h"
#include "files/parked_files.h"
#include "payload/extract_archive.h"
#include "payload/payload_decoder.h"
#include "tests/support/archive_builder.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/install_driver.h"

namespace zevrino::desktop::installer::testing {
namespace {

FileTree TreeOf(const NamedFiles& files) {
  FileTree tree;
  for (const auto& [name, content] : files) {
    tree[MemoryFileSystem::Normalise(std::wstring(name.begin(), name.end()))] = content;
  }
  return tree;
}

// How many leading bytes of `body` decode before it fails, or its whole
// size when it decodes.
std::size_t FinalBytesBeforeTheEnd(const std::vector<std::uint8_t>& body, ErrorCode& error) {
  PayloadBodyHeader header;
  EXPECT_TRUE(ReadPayloadBodyHeader(ReaderOver(body), &header, error));
  std::vector<std::uint8_t> output(header.OutputSize());
  std::size_t final_bytes = 0;
  DecodePayloadBodyInto(
      header, output.data(), [&](std::size_t count) { final_bytes = count; }, error);
  return final_bytes;
}

class StreamingExtractTest : public ::testing::Test {
 protected:
  void SetUp() override { files_ = FilesAroundSliceBoundaries(&archive_); }

  ResultCode Extract(const std::vector<std::uint8_t>& body) {
    return ExtractArchive(disk_.installation_directory(), ReaderOver(body), disk_.file_system());
  }

  MemoryDisk disk_;
  std::vector<std::uint8_t> archive_;
  NamedFiles files_;
};

TEST_F(StreamingExtractTest, FilesAroundEverySliceBoundaryComeOutExact) {
  const std::vector<std::uint8_t> body = CompressedBody(archive_);
  const FileTree expected = TreeOf(files_);

  ASSERT_EQ(Extract(body), kSuccess) << "first installation";
  EXPECT_TRUE(disk_.Read() == expected);

  // Over an installation with other bytes in the same names and an obsolete
  // locale: the same result.
  FileTree old_tree;
  for (const auto& [name, content] : expected) {
    old_tree[name] = "old " + content.substr(0, 16);
  }
  old_tree[L"locales\\fr.pak"] = "obsolete";
  disk_.Reset(old_tree);
  ASSERT_EQ(Extract(body), kSuccess) << "upgrade";
  EXPECT_TRUE(disk_.Read() == expected);
}

// Damage near the end of the body: staging has long begun when decoding
// fails, and the failure must still win over the archive's own faults. A
// cancel before the commit, wherever it is seen, wins over both.
TEST_F(StreamingExtractTest, ResultAndDiskAreThoseOfDecodingFirst) {
  const std::vector<std::uint8_t> good = CompressedBody(archive_);
  // The stream without its last 4 KB: decoding fails in its last megabyte.
  const std::vector<std::uint8_t> truncated(good.begin(), good.end() - 4096);
  ErrorCode error;
  const std::size_t final_bytes = FinalBytesBeforeTheEnd(truncated, error);
  ASSERT_EQ(error, ErrorCode::Installer(kPayloadDecodeFailed));
  ASSERT_GT(final_bytes + (1 << 20), archive_.size());
  ASSERT_GT(final_bytes, archive_.size() / 2);

  // An end marker where the header promises one more byte: the failure comes
  // only after the very last entry was complete.
  LzmaSettings with_marker;
  with_marker.x86 = true;
  with_marker.preset = 0;
  const std::vector<std::uint8_t> short_by_one =
      MakeBody(static_cast<std::uint32_t>(archive_.size() + 1), 1, Compress(archive_, with_marker));

  // A hostile name after the first megabyte, in an archive that decodes or not.
  std::vector<std::uint8_t> hostile = archive_;
  AddEntry("../escaped.dll", "x", &hostile);
  for (const auto& [name, content] : files_) {
    AddEntry("more/" + name, content, &hostile);
  }
  const std::vector<std::uint8_t> hostile_body = CompressedBody(hostile);
  const std::vector<std::uint8_t> hostile_truncated(hostile_body.begin(),
                                                    hostile_body.end() - 4096);
  std::vector<std::uint8_t> old_version = archive_;
  old_version[0] = 0x80;  // version 512
  const std::vector<std::uint8_t> truncated_old_version = [&] {
    std::vector<std::uint8_t> body = CompressedBody(old_version);
    body.resize(body.size() - 4096);
    return body;
  }();

  // Cancels seen at once, at the third safe point (a slice or an entry, on
  // either thread), when the commit asks, and with a damaged body; made
  // afresh for every run.
  const auto at_once = [] { return CancelPoints{[] { return true; }, {}}; };
  const auto while_staging = [] {
    auto calls = std::make_shared<std::atomic<int>>(0);
    return CancelPoints{[calls] { return ++*calls >= 3; }, {}};
  };
  const auto at_the_commit = [] { return CancelPoints{{}, [] { return false; }}; };

  struct Case {
    const char* name;
    const std::vector<std::uint8_t>& body;
    ResultCode expected;
    std::function<CancelPoints()> cancel = [] { return CancelPoints{}; };
  } cases[] = {
      {"stream ends early", truncated, kPayloadDecodeFailed},
      {"end marker one byte early", short_by_one, kPayloadDecodeFailed},
      {"hostile name, body decodes", hostile_body, kArchiveEntryMalformed},
      // Refused while the decoding goes on: it stops there, so its own
      // failure further on is never seen.
      {"hostile name, stream ends early", hostile_truncated, kArchiveEntryMalformed},
      {"version 512, stream ends early", truncated_old_version, kPayloadNotFound},
      {"cancelled at once", good, kCancelled, at_once},
      {"cancelled while staging", good, kCancelled, while_staging},
      {"cancelled when the commit asks", good, kCancelled, at_the_commit},
      {"cancelled, stream ends early", truncated, kCancelled, at_once},
  };
  const FileTree old_tree = {
      {L"Zevrino.exe", "old exe"}, {L"bin\\f0.dll", "old f0"}, {L"locales\\fr.pak", "old fr"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    disk_.Reset({});
    ExtractOptions fresh;
    fresh.cancel = c.cancel();
    EXPECT_EQ(ExtractArchive(disk_.installation_directory(), ReaderOver(c.body),
                             disk_.file_system(), fresh),
              c.expected);
    EXPECT_TRUE(disk_.Read().empty());
    EXPECT_TRUE(disk_.ReadDirectories().empty()) << "the directory made for staging is gone";

    // Also when the old files' deletion would be left for later: none is
    // handed out, as none was moved aside for good.
    disk_.Reset(old_tree);
    std::vector<std::wstring> parked;
    ExtractOptions options;
    options.parked_files = &parked;
    options.cancel = c.cancel();
    EXPECT_EQ(ExtractArchive(disk_.installation_directory(), ReaderOver(c.body),
                             disk_.file_system(), options),
              c.expected);
    EXPECT_TRUE(parked.empty());
    EXPECT_TRUE(disk_.Read() == old_tree) << "the old installation stays whole, nothing beside it";
    EXPECT_EQ(disk_.ReadDirectories(), DirectoriesOf(old_tree));
  }
}

// The space is asked before anything is written: a volume with room for
// the files but not the margin is left as it was, the directory included.
TEST_F(StreamingExtractTest, TooLittleSpaceWritesNothing) {
  EXPECT_EQ(RequiredFreeSpace(305114310), 305114310u + (16u << 20) + 4767411u);  // 1/64 more
  EXPECT_EQ(RequiredFreeSpace(UINT64_MAX), UINT64_MAX);
  for (const FileTree& before : {FileTree{}, FileTree{{L"locales\\fr.pak", "old fr"}}}) {
    disk_.Reset(before);
    disk_.memory().SetCapacity(disk_.memory().UsedBytes() + archive_.size());
    EXPECT_EQ(Extract(CompressedBody(archive_)), kWriteFailed);
    EXPECT_TRUE(disk_.Read() == before);
    EXPECT_EQ(disk_.ReadDirectories(), DirectoriesOf(before));
  }
  // Exactly the space asked for is enough.
  disk_.Reset({});
  disk_.memory().SetCapacity(disk_.memory().UsedBytes() + RequiredFreeSpace(archive_.size()));
  EXPECT_EQ(Extract(CompressedBody(archive_)), kSuccess);
  // A cancel the user confirmed before is what the run ends with.
  ExtractOptions cancelled;
  cancelled.cancel = CancelPoints{[] { return true; }, {}};
  EXPECT_EQ(ExtractArchive(disk_.installation_directory(), ReaderOver(CompressedBody(archive_)),
                           disk_.file_system(), cancelled),
            kCancelled);
}

// An upgrade that leaves deleting the old files for later: the installation
// is complete when ExtractArchive returns, the old bytes wait under temporary
// names, and DeleteParkedFiles removes them, retrying one that is held.
TEST_F(StreamingExtractTest, UpgradeCanLeaveTheOldFilesForLater) {
  std::vector<std::uint8_t> archive = ArchiveHeader();
  AddEntry("Zevrino.exe", "new exe", &archive);
  AddEntry("locales/de.pak", "new de", &archive);
  AddEntry("added.dll", "added", &archive);
  const std::vector<std::uint8_t> body = CompressedBody(archive);
  const FileTree old_tree = {{L"Zevrino.exe", "old exe"},
                             {L"locales\\de.pak", "old de"},
                             {L"locales\\fr.pak", "old fr, obsolete"},
                             {L"notes.txt", "kept"}};
  const FileTree new_tree = {{L"Zevrino.exe", "new exe"},
                             {L"locales\\de.pak", "new de"},
                             {L"added.dll", "added"},
                             {L"notes.txt", "kept"}};
  disk_.Reset(old_tree);

  std::vector<std::wstring> parked = {L"kept from before"};
  std::uint64_t installed_bytes = 0;
  ExtractOptions options;
  options.parked_files = &parked;
  options.installed_bytes = &installed_bytes;
  ASSERT_EQ(ExtractArchive(disk_.installation_directory(), ReaderOver(body), disk_.file_system(),
                           options),
            kSuccess);
  EXPECT_EQ(installed_bytes, 18u) << "new exe, new de, added";
  ASSERT_EQ(parked.size(), 4u) << "appended: the two replaced files and the obsolete one";
  FileTree parked_tree;
  for (const auto& [name, content] : disk_.Read()) {
    if (IsTemporaryFileName(name)) {
      parked_tree[name] = content;
    } else {
      EXPECT_EQ(new_tree.at(name), content);
    }
  }
  std::multiset<std::string> parked_contents;
  for (const auto& entry : parked_tree) {
    parked_contents.insert(entry.second);
  }
  EXPECT_EQ(parked_contents, (std::multiset<std::string>{"old exe", "old de", "old fr, obsolete"}));

  // One parked file stays held through every retry; the others go at once.
  parked.erase(parked.begin());
  FaultInjectingFileSystem held(disk_.file_system());
  for (Operation operation : {Operation::kRemove, Operation::kRemoveOrDelayUntilReboot}) {
    held.FailFirstMatching(
        [&, operation](const Call& call) {
          return call.operation == operation && call.path == parked[0];
        },
        FaultKind::kLasting);
  }
  std::vector<std::uint32_t> waits;
  DeleteParkedFiles(held, parked, [&](std::uint32_t ms) { waits.push_back(ms); });
  EXPECT_EQ(waits, (std::vector<std::uint32_t>{200, 400, 800, 1600, 3200}));
  // After the last retry, the held file is left to the next restart.
  EXPECT_EQ(held.calls().back().operation, Operation::kRemoveOrDelayUntilReboot);
  EXPECT_EQ(held.calls().back().path, parked[0]);
  std::vector<std::wstring> left;
  for (const auto& entry : disk_.Read()) {
    if (IsTemporaryFileName(entry.first)) {
      left.push_back(entry.first);
    }
  }
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(parked[0].substr(parked[0].size() - left[0].size()), left[0]);

  // The next run clears what was left, whatever happens to it.
  ASSERT_EQ(Extract(body), kSuccess);
  EXPECT_TRUE(disk_.Read() == new_tree);
}

}  // namespace
}  // namespace zevrino::desktop::installer::testing
