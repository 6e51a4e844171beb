#include "installer/path_utf8.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zevrino::desktop::installer {
namespace {

std::string Take(char* p) {
  HeapString owned(p);
  EXPECT_NE(owned, nullptr);
  return owned ? std::string(owned.get()) : std::string();
}

TEST(JoinPath, JoinsWithOneBackslash) {
  struct Case {
    const char* base;
    const char* name;
    const char* expected;
  };
  const Case cases[] = {
      {"C:\\dir\\", "a.exe", "C:\\dir\\a.exe"},
      {"C:\\dir", "a.exe", "C:\\dir\\a.exe"},
      {"C:\\dir/", "a.exe", "C:\\dir\\a.exe"},
      {"C:\\dir", "", "C:\\dir"},
      {"C:\\dir\\", "", "C:\\dir\\"},  // an empty name leaves the base as it is
      {"", "a.exe", "a.exe"},
      {"", "", ""},
      {"C:\\dir\\\\", "a", "C:\\dir\\\\a"},  // only one trailing separator is dropped
      {"C:\\", "a", "C:\\a"},
      {"\\", "a", "\\a"},
      {"C:\\Program Files\\Z\xc3\xbcrich", "\xe6\x97\xa5.txt",
       "C:\\Program Files\\Z\xc3\xbcrich\\\xe6\x97\xa5.txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JoinPath(c.base, c.name), c.expected) << "base=" << c.base << " name=" << c.name;
    EXPECT_EQ(Take(join_path(c.base, c.name)), c.expected) << "owned, base=" << c.base;
  }
  EXPECT_EQ(Take(join_path(nullptr, "a.exe")), "a.exe");
  EXPECT_EQ(Take(join_path("C:\\dir", nullptr)), "C:\\dir");
}

TEST(ConcatStrings, ConcatenatesInOrderTreatingNullAsEmpty) {
  EXPECT_EQ(Take(concat_strings(0)), "");
  EXPECT_EQ(Take(concat_strings(1, "abc")), "abc");
  EXPECT_EQ(Take(concat_strings(2, "C:\\dir", "\\a.exe")), "C:\\dir\\a.exe");
  EXPECT_EQ(Take(concat_strings(3, "a", static_cast<const char*>(nullptr), "c")), "ac");
  EXPECT_EQ(Take(concat_strings(4, "1", "", "23", "456")), "123456");
  const std::string long_part(5000, 'x');
  EXPECT_EQ(Take(concat_strings(2, long_part.c_str(), long_part.c_str())), long_part + long_part);
}

TEST(StripLastPathComponent, CutsAtLastSeparatorButKeepsRoots) {
  struct Case {
    const char* path;
    const char* expected;
    std::size_t length;
  };
  const Case cases[] = {
      {"C:\\dir\\file", "C:\\dir", 6},
      {"C:\\file", "C:\\", 3},
      {"C:/dir/file", "C:/dir", 6},
      {"C:\\dir/sub\\file", "C:\\dir/sub", 10},
      {"C:\\dir\\", "C:\\dir", 6},
      {"\\file", "\\", 1},
      {"a\\b", "a\\", 2},  // index 1 is within the root range, so it is kept
      {"abc\\d", "abc", 3},
      {"file", "file", 0},  // no separator: untouched, 0
      {"", "", 0},
  };
  for (const Case& c : cases) {
    char buffer[64];
    std::strcpy(buffer, c.path);
    EXPECT_EQ(strip_last_path_component(buffer), c.length) << c.path;
    EXPECT_STREQ(buffer, c.expected) << c.path;
  }
}

TEST(ParentDirectoryPrefixes, ListsEveryParentAndSkipsDriveDesignators) {
  using List = std::vector<std::string>;
  EXPECT_EQ(parent_directory_prefixes("", "C:\\a\\b\\f.txt"), (List{"C:\\a", "C:\\a\\b"}));
  EXPECT_EQ(parent_directory_prefixes("", "z:/a/f.txt"), (List{"z:/a"}));
  EXPECT_EQ(parent_directory_prefixes("C:\\base", "a/b\\f.txt"),
            (List{"C:\\base\\a", "C:\\base\\a/b"}));
  EXPECT_EQ(parent_directory_prefixes("C:\\base\\", "f.txt"), List{});
  // Not a drive designator: a digit or a longer name before the colon.
  EXPECT_EQ(parent_directory_prefixes("", "1:\\f"), List{"1:"});
  EXPECT_EQ(parent_directory_prefixes("", "ab:\\f"), List{"ab:"});
  // A leading separator with no base names nothing to create.
  EXPECT_EQ(parent_directory_prefixes("", "\\a\\f"), List{"\\a"});
  EXPECT_EQ(parent_directory_prefixes("C:\\base", nullptr), List{});
}

// Paths of 300 to 400 bytes, as a deep application tree has them.
TEST(PathHelpers, LongPathsAreJoinedCutAndSplitWhole) {
  const std::string deep = "C:\\Users\\u" + std::string(300, 'x');
  const std::string file = JoinPath(deep, "a\\b.node");
  std::string cut = file;
  EXPECT_EQ(strip_last_path_component(cut.data()), deep.size() + 2);
  EXPECT_EQ(parent_directory_prefixes("", file.c_str()).back(), deep + "\\a");
}

}  // namespace
}  // namespace zevrino::desktop::installer
