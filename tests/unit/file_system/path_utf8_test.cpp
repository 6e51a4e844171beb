#include "base/path_utf8.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zevrino::desktop::installer {
namespace {

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
  }
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
