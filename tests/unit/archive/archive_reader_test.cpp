#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/result_code.h"
#include "payload/archive_name.h"
#include "payload/archive_reader.h"
#include "tests/support/archive_builder.h"

namespace zevrino::desktop::installer {
namespace {

using testing::AddEntry;
using testing::ArchiveHeader;
using testing::PutVarint;

#if defined(_WIN32)
const wchar_t kSep = L'\\';
#else
const wchar_t kSep = L'/';
#endif

TEST(ArchiveName, AcceptsOrdinaryNamesAndConvertsThem) {
  struct Case {
    std::string name;
    std::wstring path;
  } cases[] = {
      {"Zevrino.exe", L"Zevrino.exe"},
      {"locales/de.pak", std::wstring(L"locales") + kSep + L"de.pak"},
      {"a/b/c/.hidden", std::wstring(L"a") + kSep + L"b" + kSep + L"c" + kSep + L".hidden"},
      {"..x", L"..x"},
      {"console.log", L"console.log"},  // only the exact device names are reserved
      {"COM0", L"COM0"},
      {"\xC3\xA9t\xC3\xA9.txt", L"\u00e9t\u00e9.txt"},                  // été.txt
      {"\xE6\x97\xA5\xE6\x9C\xAC", L"\u65e5\u672c"},                    // 日本
      {"\xF0\x9F\x98\x80.png", std::wstring(L"\U0001F600") + L".png"},  // beyond the BMP
  };
  for (const Case& c : cases) {
    std::wstring path;
    EXPECT_TRUE(ArchiveNameToRelativePath(c.name.data(), c.name.size(), &path)) << c.name;
    EXPECT_EQ(path, c.path) << c.name;
  }
}

TEST(ArchiveName, RefusesNamesThatCouldLeaveOrAliasTheTarget) {
  const std::string refused[] = {
      "/etc/passwd", "/abs", "a//b", "a/", "", ".", "..", "../up", "a/../../up", "a/./b",
      "C:", "C:/Windows/x.dll", "C:x", "file.txt:stream", "file.txt::$DATA", "a\\b",
      "\\\\server\\share\\x", "..\\up", "CON", "con", "nul.txt", "locales/AUX", "COM1", "lpt9.log",
      "NUL .txt", "CONOUT$", "trailing.", "trailing ", std::string("nul\0byte", 8), "tab\there",
      "del\x7F",
      // Overlong "/", a surrogate, above U+10FFFF, truncated, a stray continuation byte.
      "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE6\x97", "\x80"};
  for (const std::string& name : refused) {
    std::wstring path;
    EXPECT_FALSE(ArchiveNameToRelativePath(name.data(), name.size(), &path))
        << "accepted: " << name;
  }
}

// Reads every entry of `archive` after its header; returns the error code of
// the last call and the names seen.
struct ReadResult {
  std::vector<std::wstring> names;
  std::vector<std::string> contents;
  ErrorCode error;
  bool last = false;
};

ReadResult ReadAll(const std::vector<std::uint8_t>& archive) {
  ReadResult result;
  PayloadReader reader = testing::ReaderOver(archive);
  std::uint32_t version;
  std::uint8_t digest[20];
  EXPECT_TRUE(reader.ReadVarint(&version));
  EXPECT_TRUE(reader.ReadBytes(digest, sizeof digest));
  std::wstring name;
  PayloadReader content;
  while ((result.last = NextArchiveEntry(&reader, &name, &content, result.error))) {
    result.names.push_back(name);
    result.contents.emplace_back(reinterpret_cast<const char*>(content.position()),
                                 content.Remaining());
  }
  return result;
}

TEST(NextArchiveEntry, ReadsEntriesAsViewsUntilTheEnd) {
  std::vector<std::uint8_t> archive = ArchiveHeader();
  AddEntry("Zevrino.exe", "MZ binary", &archive);
  AddEntry("empty.txt", "", &archive);
  AddEntry(std::string(255, 'n'), "longest name", &archive);
  const ReadResult result = ReadAll(archive);
  EXPECT_EQ(result.error, ErrorCode());
  EXPECT_EQ(result.names,
            (std::vector<std::wstring>{L"Zevrino.exe", L"empty.txt", std::wstring(255, L'n')}));
  EXPECT_EQ(result.contents, (std::vector<std::string>{"MZ binary", "", "longest name"}));
}

TEST(NextArchiveEntry, MalformedEntriesGiveEight) {
  const ErrorCode malformed = ErrorCode::Installer(kArchiveEntryMalformed);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> tail;  // bytes after one good entry
  };
  auto bytes = [](std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values)
      out.push_back(static_cast<std::uint8_t>(v));
    return out;
  };
  std::vector<std::uint8_t> name256;
  PutVarint(256, &name256);
  name256.insert(name256.end(), 256, 'x');
  PutVarint(0, &name256);
  std::vector<std::uint8_t> content_beyond = bytes({1, 'a'});
  PutVarint(100, &content_beyond);
  content_beyond.insert(content_beyond.end(), 99, 'z');

  const Case cases[] = {
      {"name length 0", bytes({0, 0})},
      {"name length 256", name256},
      {"name cut short", bytes({5, 'a', 'b'})},
      {"varint cut short", bytes({0x81})},
      {"content length missing", bytes({1, 'a'})},
      {"content beyond the end", content_beyond},
      {"invalid UTF-8 name", bytes({2, 0xC3, 0x28, 0})},
      {"hostile name", bytes({5, '.', '.', '/', 'u', 'p', 0})},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> archive = ArchiveHeader();
    AddEntry("good.txt", "ok", &archive);
    archive.insert(archive.end(), c.tail.begin(), c.tail.end());
    const ReadResult result = ReadAll(archive);
    EXPECT_FALSE(result.last) << c.what;
    EXPECT_EQ(result.error, malformed) << c.what;
    EXPECT_EQ(result.names.size(), 1u) << c.what;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
