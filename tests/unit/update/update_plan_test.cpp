#include "update/update_plan.h"

#include <gtest/gtest.h>
#include <strings.h>

#include <optional>
#include <string>
#include <vector>

namespace zevrino::desktop::installer {
namespace {

// The file system's comparison for the names used here: ASCII, any case.
bool AsciiPathsEqual(const char* a, const char* b) {
#ifdef _WIN32
  return _stricmp(a, b) == 0;
#else
  return strcasecmp(a, b) == 0;
#endif
}

constexpr char kDefault[] = "C:\\Users\\u\\AppData\\Roaming\\Zevrino";

std::string Target(const char* argument) {
  return UpdateTargetDirectory(argument, kDefault, AsciiPathsEqual);
}

TEST(UpdateTargetDirectoryTest, ParentOfTheArgumentUnlessItIsNoPlaceForAnInstallation) {
  EXPECT_EQ(Target("C:\\Users\\u\\AppData\\Roaming\\Zevrino\\Zevrino.exe"), kDefault);
  EXPECT_EQ(Target("D:\\Apps\\Zevrino-beta\\Zevrino.exe"), "D:\\Apps\\Zevrino-beta");
  EXPECT_EQ(Target("D:\\Zevrino.exe"), "D:\\");
  EXPECT_EQ(Target("C:\\Users\\u\\Zevrino.exe"), "C:\\Users\\u");
  EXPECT_EQ(Target("C:\\Usersx\\Zevrino.exe"), "C:\\Usersx");
  EXPECT_EQ(Target("\\\\server\\share\\Zevrino\\Zevrino.exe"), "\\\\server\\share\\Zevrino");

  // The system drive's root and the profiles folder, in any spelling.
  for (const char* forbidden : {"C:\\Zevrino.exe", "c:\\users\\x", "C:\\USERS\\Zevrino.exe",
                                "C:\\Users\\\\x", "C:/Zevrino.exe", "c:/users/x", "C:\\Users/x"}) {
    EXPECT_EQ(Target(forbidden), kDefault) << forbidden;
  }
  // No parent directory at all.
  for (const char* bare : {"", "Zevrino.exe", "C:Zevrino.exe"}) {
    EXPECT_EQ(Target(bare), kDefault) << bare;
  }
  EXPECT_EQ(Target(nullptr), kDefault);
}

// Resolved targets: every drive's and share's root and the protected folders
// are no place for an update, in any spelling.
TEST(UpdateTargetDirectoryTest, ResolvedTargetsThatAreNoPlaceForAnInstallation) {
  const std::vector<std::string> protected_folders = {"C:\\Users\\u", "C:\\Users\\"};
  for (const char* forbidden :
       {"C:", "C:\\", "d:\\", "Z:/", "\\\\server\\share", "\\\\server\\share\\", "\\\\server",
        "c:\\users\\U\\", "C:\\Users", "C:/Users/u"}) {
    EXPECT_TRUE(IsForbiddenUpdateTarget(forbidden, protected_folders, AsciiPathsEqual))
        << forbidden;
  }
  for (const char* allowed : {"C:\\Users\\u\\AppData\\Roaming\\Zevrino", "D:\\Apps",
                              "\\\\server\\share\\Zevrino", "C:\\Usersx"}) {
    EXPECT_FALSE(IsForbiddenUpdateTarget(allowed, protected_folders, AsciiPathsEqual)) << allowed;
  }
  EXPECT_EQ(WithoutExtendedPrefix("\\\\?\\C:\\x"), "C:\\x");
  EXPECT_EQ(WithoutExtendedPrefix("\\\\?\\UNC\\s\\sh\\x"), "\\\\s\\sh\\x");
  EXPECT_EQ(WithoutExtendedPrefix("C:\\x"), "C:\\x");
  for (const char* full : {"C:\\x", "c:/x", "\\\\s\\sh"}) {
    EXPECT_TRUE(IsFullyQualifiedPath(full)) << full;
  }
  for (const char* relative : {"", "x\\y", "C:x", "\\x", "\\\\?\\C:\\x", "\\\\.\\pipe"}) {
    EXPECT_FALSE(IsFullyQualifiedPath(relative)) << relative;
  }
}

TEST(WaitAfterFailureTest, DefaultScheduleMakes21AttemptsOver11Point9Seconds) {
  const ExclusiveAccessSchedule schedule;
  std::vector<unsigned> waits;
  unsigned failures = 1;
  for (std::optional<unsigned> wait; (wait = WaitAfterFailure(failures, schedule)); ++failures) {
    waits.push_back(*wait);
  }
  // 20 waits between 21 attempts; the 21st failure gives up.
  EXPECT_EQ(failures, 21u);
  std::vector<unsigned> expected(9, 100);
  expected.resize(20, 1000);
  EXPECT_EQ(waits, expected);

  const ExclusiveAccessSchedule quick{2, 1, 1, 5};
  EXPECT_EQ(WaitAfterFailure(1, quick), std::optional<unsigned>(1));
  EXPECT_EQ(WaitAfterFailure(2, quick), std::optional<unsigned>(5));
  EXPECT_EQ(WaitAfterFailure(3, quick), std::nullopt);
}

}  // namespace
}  // namespace zevrino::desktop::installer
