// What the installer writes to the log: level letter, line number and text
// of each of its messages, as a file sink writes them.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/install_driver.h"
#include "tests/support/log_capture.h"

namespace zevrino::desktop::installer::testing {
namespace {

// "<letter> [/f:<line>" padded to 32 characters "] <message>".
std::string LogLine(char letter, int line, const std::string& message) {
  std::string location = "/f:" + std::to_string(line);
  location.resize(32, ' ');
  return std::string(1, letter) + " [" + location + "] " + message;
}

TEST(TransactedFileInstallerLog, CommitAndRollbackLogTheirLinesAndLevels) {
  const LogCapture log;

  MemoryDisk disk;
  const Scenario upgrade = SmallScenarios()[1];
  auto rename_to = [&](const std::wstring& name) {
    const std::wstring destination = disk.installation_directory() + L"\\" + name;
    return [destination](const Call& call) {
      return call.operation == Operation::kRename && call.second_path == destination;
    };
  };

  // A commit that fails once and then succeeds.
  disk.Reset(upgrade.old_files);
  FaultInjectingFileSystem once(disk.file_system());
  once.FailFirstMatching(rename_to(L"common.dll"), FaultKind::kPassing);
  ASSERT_EQ(RunInstall(once, disk.installation_directory(), upgrade.package, 11).result, kSuccess);

  // A commit that gives up, and a rollback that cannot put common.dll back.
  disk.Reset(upgrade.old_files);
  FaultInjectingFileSystem locked(disk.file_system());
  locked.FailFirstMatching(rename_to(L"common.dll"), FaultKind::kLasting);
  std::size_t before_rollback = 0;
  ASSERT_EQ(RunInstall(locked, disk.installation_directory(), upgrade.package, 12,
                       [&] {
                         before_rollback = locked.calls().size();
                         // From now on the parked old file cannot come back.
                         locked.FailFirstMatching(rename_to(L"common.dll"), FaultKind::kLasting);
                       })
                .result,
            kReplaceFailed);
  ASSERT_GT(locked.calls().size(), before_rollback);

  const std::string text = log.Text();
  for (const std::string& line : {
           LogLine('I', 298, "TransactedFileInstaller - Start Commit"),
           LogLine('E', 308, "TransactedFileInstaller - Commit failed with error: 18"),
           LogLine('I', 306, "TransactedFileInstaller - Commit completed successfully."),
           LogLine('I', 324, "TransactedFileInstaller - Attempt Rollback."),
           LogLine('I', 332, "TransactedFileInstaller - Rollback completed successfully."),
           LogLine('E', 334, "TransactedFileInstaller - Rollback failed with error: 18"),
           // The parked old file stays, and the log says where.
           LogLine('E', 346,
                   "TransactedFileInstaller - Could not restore "
                   "'C:\\Users\\me\\AppData\\Roaming\\Zevrino\\common.dll'; the old "
                   "file is kept as 'C:\\Users\\me\\AppData\\Roaming\\Zevrino\\~TMP_12_"),
       }) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer::testing
