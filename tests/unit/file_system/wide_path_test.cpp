#include "base/wide_path.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

TEST(WidePath, JoinDropsOneTrailingSeparator) {
  EXPECT_EQ(JoinWidePath(L"C:\\dir", L"a"), L"C:\\dir\\a");
  EXPECT_EQ(JoinWidePath(L"C:\\dir\\", L"a"), L"C:\\dir\\a");
  EXPECT_EQ(JoinWidePath(L"C:\\dir/", L"*"), L"C:\\dir\\*");
  EXPECT_EQ(JoinWidePath(L"C:\\", L"a"), L"C:\\a");
  EXPECT_EQ(JoinWidePath(L"", L"a"), L"a");
}

TEST(WidePath, RootLengthRecognisesDrivesSharesAndDevicePaths) {
  struct Case {
    const wchar_t* path;
    std::size_t root;
  };
  const Case cases[] = {
      {L"", 0},
      {L"dir\\sub", 0},
      {L"\\dir", 1},
      {L"C:", 2},
      {L"C:dir", 2},
      {L"C:\\dir", 3},
      {L"c:/dir", 3},
      {L"\\\\server\\share\\dir", 15},
      {L"\\\\server\\share", 14},
      {L"\\\\server", 8},
      {L"\\\\?\\C:\\dir", 7},
      {L"\\\\?\\UNC\\server\\share\\dir", 21},
      {L"\\\\.\\pipe\\x", 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WideRootLength(c.path), c.root) << std::wstring(c.path).size();
  }
}

TEST(WidePath, DirectoryPrefixesGrowOneElementAtATime) {
  using List = std::vector<std::wstring>;
  EXPECT_EQ(DirectoryPrefixes(L"C:\\a\\b"), (List{L"C:\\a", L"C:\\a\\b"}));
  EXPECT_EQ(DirectoryPrefixes(L"C:\\a\\\\b\\"), (List{L"C:\\a", L"C:\\a\\\\b"}));
  EXPECT_EQ(DirectoryPrefixes(L"C:/a/b"), (List{L"C:/a", L"C:/a/b"}));
  EXPECT_EQ(DirectoryPrefixes(L"a\\b"), (List{L"a", L"a\\b"}));
  EXPECT_EQ(DirectoryPrefixes(L"\\\\server\\share\\a"), List{L"\\\\server\\share\\a"});
  EXPECT_EQ(DirectoryPrefixes(L"\\\\?\\C:\\a\\b"), (List{L"\\\\?\\C:\\a", L"\\\\?\\C:\\a\\b"}));
  EXPECT_EQ(DirectoryPrefixes(L"C:\\"), List{L"C:\\"});
  EXPECT_EQ(DirectoryPrefixes(L""), List{});
}

// A deep tree as Electron applications ship: `count` elements of 19 units.
std::wstring Deep(int count, const std::wstring& separator) {
  std::wstring path;
  for (int i = 0; i < count; ++i) {
    path += (i == 0 ? L"" : separator) + std::wstring(19, static_cast<wchar_t>(L'a' + i));
  }
  return path;
}

TEST(WidePath, LongPathsTakeTheExtendedFormAsWindowsWouldReadThem) {
  const std::wstring deep = Deep(17, L"\\"), drive = L"C:\\" + deep;  // 342 units
  const std::wstring edge = L"C:\\" + Deep(13, L"\\").substr(0, kLongPathFrom - 4);
  const std::pair<std::wstring, std::wstring> cases[] = {
      {edge, edge},  // 247 units
      {edge + L"x", L"\\\\?\\" + edge + L"x"},
      {L"c:/" + Deep(17, L"/"), L"\\\\?\\c:\\" + deep},
      {L"//srv/share//" + Deep(17, L"//"), L"\\\\?\\UNC\\srv\\share\\" + deep},
      {L"C:\\x\\.\\y\\..\\..\\..\\" + deep + L"\\", L"\\\\?\\" + drive + L"\\"},
      {L"\\\\?\\" + drive + L"\\..", L"\\\\?\\" + drive + L"\\.."},  // already a device path
      {deep, deep},  // relative: the system resolves it
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(ExtendedLengthPath(path), expected) << path.size();
  }
  EXPECT_EQ(DirectoryPrefixes(ExtendedLengthPath(drive)).size(), 17u);
}

TEST(WidePath, Utf8ForTheLog) {
  std::wstring path = L"C:\\Gr\u00FC\u00DFe\\\u2713";
  std::string expected =
      "C:\\Gr\xC3\xBC\xC3\x9F"
      "e\\\xE2\x9C\x93";
  // A character beyond the basic plane, spelled as the platform's wchar_t
  // holds it, and an unpaired surrogate.
  if (sizeof(wchar_t) == 2) {
    path +=
        {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00), static_cast<wchar_t>(0xDC00)};
  } else {
    path += {static_cast<wchar_t>(0x1F600), static_cast<wchar_t>(0xDC00)};
  }
  expected += "\xF0\x9F\x98\x80\xEF\xBF\xBD";
  EXPECT_EQ(WidePathToUtf8(path), expected);
}

}  // namespace
}  // namespace zevrino::desktop::installer
