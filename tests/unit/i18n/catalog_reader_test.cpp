#include "i18n/catalog_reader.h"

#include <gtest/gtest.h>

#include <fstream>

#include "i18n/memory_stream.h"
#include "i18n/text_direction.h"
#include "tests/support/mo_builder.h"
#include "tests/support/scratch_directory.h"

namespace zevrino::desktop::i18n::gettext {
namespace {

using installer::testing::build_mo;
using installer::testing::header_with_rule;
using installer::testing::mo_entry;
using installer::testing::PutLe32;

bool load(const std::string& bytes, translation_table& table, plural_forms& rule) {
  memory_istream in(bytes.data(), bytes.size());
  return load_catalog(in, table, rule);
}

TEST(CatalogReader, ReadsEntriesFormsContextAndRule) {
  const std::string mo = build_mo({
      header_with_rule("n%10==1 && n%100!=11 ? 0 : 1;"),
      {"Aborting...", "Abbruch..."},
      {std::string("%d file\0%d files", 16), std::string("%d Datei\0\0%d Dateien", 20)},
      {std::string("menu\x04Open", 9), "Öffnen"},
  });
  translation_table table{{"Aborting...", {"old"}}, {"kept", {"kept"}}};
  plural_forms rule;
  ASSERT_TRUE(load(mo, table, rule));

  EXPECT_EQ(table, (translation_table{
                       {"Aborting...", {"Abbruch..."}},
                       {"kept", {"kept"}},
                       {std::string("%d file\0%d files", 16), {"%d Datei", "", "%d Dateien"}},
                       {std::string("menu\x04Open", 9), {"Öffnen"}}}));
  EXPECT_EQ(rule.evaluate(21), 0u);
  EXPECT_EQ(rule.evaluate(11), 1u);
}

TEST(CatalogReader, TakesThePluralRuleFromTheHeader) {
  struct header_case {
    std::string header;
    bool loads;
    std::uint32_t form_of_1;  // what the resulting rule gives for 1
  };
  const header_case cases[] = {
      // Rule ending with its line and no ";", with further fields after it.
      {"Plural-Forms: nplurals=2; plural=(n > 1)\nX-Generator: x\n", true, 0},
      {"Plural-Forms: nplurals=2; plural=(n > 1)", true, 0},
      {"Plural-Forms: nplurals=2; plural=n == 1 ? 7 : 1;", true, 7},
      // No rule: the caller's rule stays ("n" gives 1 for 1).
      {"Content-Type: text/plain; charset=UTF-8\n", true, 1},
      {"Plural-Forms: nplurals=2; plural=n ==;", false, 1},
  };
  for (const header_case& c : cases) {
    plural_forms rule;
    ASSERT_TRUE(rule.parse("n"));
    translation_table table;
    EXPECT_EQ(load(build_mo({{"", c.header}, {"a", "b"}}), table, rule), c.loads) << c.header;
    EXPECT_EQ(rule.evaluate(1), c.form_of_1) << c.header;
  }
}

TEST(CatalogReader, RefusesDamagedCatalogsWithoutChangingAnything) {
  const std::string good = build_mo({header_with_rule("n != 1;"), {"a", "A"}, {"b", "B"}});
  auto damaged = [&good](auto change) {
    std::string bytes = good;
    change(bytes);
    return bytes;
  };
  std::vector<mo_entry> many(10001, mo_entry{"x", "y"});
  for (std::size_t i = 0; i < many.size(); ++i) {
    many[i].source = std::to_string(i);
  }
  const std::string big_endian = damaged([](std::string& b) { PutLe32(&b, 0, 0xDE120495); });
  const std::pair<const char*, std::string> cases[] = {
      {"big-endian magic", big_endian},
      {"no magic", damaged([](std::string& b) { PutLe32(&b, 0, 0); })},
      {"10,001 entries", build_mo(many)},
      {"4,097-byte string", build_mo({{"a", std::string(4097, 'x')}})},
      {"source table beyond the data",
       damaged([](std::string& b) { PutLe32(&b, 12, 0xFFFFFFF0); })},
      {"table running past the end",
       damaged([](std::string& b) { PutLe32(&b, 16, b.size() - 8); })},
      {"string offset beyond the data",
       damaged([](std::string& b) { PutLe32(&b, 28 + 8 + 4, b.size() + 1); })},
      {"string running past the end",
       damaged([](std::string& b) { PutLe32(&b, 28 + 16 + 8, b.size()); })},
      {"empty string beyond the data", damaged([](std::string& b) {
         PutLe32(&b, 28 + 8, 0);
         PutLe32(&b, 28 + 8 + 4, b.size() + 1);
       })},
      {"truncated header", good.substr(0, 27)},
      {"truncated strings", good.substr(0, good.size() - 2)},
      {"empty", ""},
  };
  for (const auto& [what, bytes] : cases) {
    translation_table table{{"a", {"before"}}};
    plural_forms rule;
    ASSERT_TRUE(rule.parse("n"));
    EXPECT_FALSE(load(bytes, table, rule)) << what;
    EXPECT_EQ(table, (translation_table{{"a", {"before"}}})) << what;
    EXPECT_EQ(rule.evaluate(3), 3u) << what;
  }

  // The limits themselves are accepted.
  translation_table table;
  plural_forms rule;
  EXPECT_TRUE(load(build_mo({{"a", std::string(4096, 'x')}}), table, rule));
  many.pop_back();
  EXPECT_TRUE(load(build_mo(many), table, rule));
  EXPECT_EQ(table.size(), 10001u);  // 10,000 new entries and "a"
}

TEST(CatalogReader, ReadsFilesOpenedForBinaryReading) {
  const std::string mo = build_mo({header_with_rule("0;"), {"line\r\n", "Zeile\r\n\x1A"}});
  const installer::testing::ScratchDirectory dir;
  installer::testing::WriteText(dir / "catalog.mo", mo);
  std::ifstream in(dir / "catalog.mo", std::ios::binary);
  translation_table table;
  plural_forms rule;
  EXPECT_TRUE(load_catalog(in, table, rule));
  EXPECT_EQ(table["line\r\n"], std::vector<std::string>{"Zeile\r\n\x1A"});
  in.close();  // or the directory's removal fails
}

// A catalog reads right to left only when such letters are the majority.
TEST(CatalogReader, ReadingOrderFollowsTheMajorityOfLetters) {
  EXPECT_FALSE(written_right_to_left({}));
  EXPECT_FALSE(written_right_to_left({{"id", {"\u0627b"}}}));                 // one of each
  EXPECT_TRUE(written_right_to_left({{"id", {"\u0627\u0628\u062a Zv 1"}}}));  // 3 to 2
}

}  // namespace
}  // namespace zevrino::desktop::i18n::gettext
