// set_locale, its fallback to "en", and the lookups, with catalog tables and
// directories made by the tests.

#include "i18n/catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "fake_language_source.h"
#include "tests/support/mo_builder.h"
#include "tests/support/scratch_directory.h"

namespace zevrino::desktop::i18n::gettext {
namespace {

using installer::testing::build_mo;
using installer::testing::header_with_rule;
using installer::testing::mo_entry;
using installer::testing::PutLe32;
using installer::testing::WriteText;
using testing::fake_language_source;

const std::string seconds_key = std::string("%d second\0%d seconds", 20);

std::string english_catalog() {
  return build_mo({header_with_rule("(n != 1);"),
                   {"Aborting...", "EN Aborting"},
                   {seconds_key, std::string("EN %d second\0EN %d seconds", 26)}});
}

// A catalog whose first entries are readable and whose last is refused.
std::string catalog_failing_after(const std::string& failure) {
  std::vector<mo_entry> entries = {header_with_rule("0;"),
                                   {"Aborting...", "XX Abbruch"},
                                   {"only in xx", "XX only"},
                                   {"last", "x"}};
  if (failure == "long string") {
    entries.back().translation = std::string(4097, 'x');
  }
  std::string mo = build_mo(entries);
  if (failure == "big-endian") {
    PutLe32(&mo, 0, 0xDE120495);
  } else if (failure == "offset beyond") {
    PutLe32(&mo, 28 + 3 * 8 + 4, static_cast<std::uint32_t>(mo.size() + 100));
  }
  return mo;
}

class CatalogTest : public ::testing::Test {
 protected:
  void use_table(const std::vector<std::pair<std::string, std::string>>& catalogs) {
    storage_ = catalogs;
    rows_.clear();
    for (const auto& [name, bytes] : storage_) {
      rows_.push_back(
          {name.c_str(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
    }
    set_embedded_catalogs(rows_.data(), rows_.size());
    fake_language_source source(testing::language_list{{"xx", "Latn;"}});
    init("", source);
  }

  std::vector<std::pair<std::string, std::string>> storage_;
  std::vector<embedded_catalog> rows_;
};

TEST_F(CatalogTest, RefusedCatalogsFallBackToEnglish) {
  std::vector<std::string> catalog_names;
  std::vector<std::pair<std::string, std::string>> table = {{"en", english_catalog()}};
  for (const char* failure : {"big-endian", "long string", "offset beyond"}) {
    table.emplace_back(failure, catalog_failing_after(failure));
  }
  std::vector<mo_entry> too_many(10001, mo_entry{"k", "v"});
  table.emplace_back("10,001 entries", build_mo(too_many));
  table.emplace_back("missing", "");
  use_table(table);

  for (std::size_t i = 1; i < table.size(); ++i) {
    const std::string& name = table[i].first;
    EXPECT_TRUE(set_locale(name)) << name;
    EXPECT_EQ(current_locale(), name);
    EXPECT_EQ(translate("Aborting..."), "EN Aborting") << name;
    EXPECT_EQ(translate("only in xx"), "only in xx") << name;
    EXPECT_EQ(translate_plural("%d second", "%d seconds", 2), "EN 2 seconds") << name;
  }
  EXPECT_TRUE(set_locale("not in the table"));
  EXPECT_EQ(translate("Aborting..."), "EN Aborting");

  // A good catalog is used as it is.
  table.emplace_back("xx", build_mo({header_with_rule("0;"), {"Aborting...", "XX Abbruch"}}));
  use_table(table);
  EXPECT_EQ(choose_locale({}), "xx");
  EXPECT_TRUE(set_locale("xx"));
  EXPECT_EQ(translate("Aborting..."), "XX Abbruch");
}

TEST_F(CatalogTest, WithoutAnyReadableCatalogTextsAreEnglish) {
  use_table({{"en", catalog_failing_after("big-endian")}});
  EXPECT_FALSE(set_locale("de"));
  EXPECT_EQ(current_locale(), "de");
  EXPECT_EQ(translate("Aborting..."), "Aborting...");
  EXPECT_EQ(translate_plural("%d second", "%d seconds", 1), "1 second");
  EXPECT_EQ(translate_plural("%d second", "%d seconds", 5), "5 seconds");
}

TEST_F(CatalogTest, LooksUpFormsAndFormatsTheCount) {
  const std::string forms = std::string("A %1$d\0B %1$d\0C %d%%\0two, no count", 34);
  use_table({{"en", english_catalog()},
             {"xx", build_mo({header_with_rule("n % 10;"),
                              {seconds_key, forms},
                              {std::string("menu\x04Open", 9), "Offnen"},
                              {"empty", ""}})}});
  // Before set_locale: English texts, English plural choice.
  EXPECT_EQ(translate_plural("%d second", "%d seconds", 1), "1 second");
  EXPECT_EQ(translate_plural("%d second", "%d seconds", 0), "0 seconds");

  ASSERT_TRUE(set_locale("xx"));
  EXPECT_EQ(translate_plural("%d second", "%d seconds", 10), "A 10");
  EXPECT_EQ(translate_plural("%d second", "%d seconds", 21), "B 21");
  EXPECT_EQ(translate_plural("%d second", "%d seconds", -12), "C -12%");
  // A form may leave the count to its words (the Arabic dual does).
  EXPECT_EQ(translate_plural("%d second", "%d seconds", 3), "two, no count");
  // Index beyond the four forms: the first form.
  EXPECT_EQ(translate_plural("%d second", "%d seconds", 7), "A 7");
  // Missing plural message: msgid for index 0, plural msgid otherwise.
  EXPECT_EQ(translate_plural("%d minute", "%d minutes", 20), "20 minute");
  EXPECT_EQ(translate_plural("%d minute", "%d minutes", 3), "3 minutes");
  EXPECT_EQ(lookup("menu", "Open", "", 0), "Offnen");
  EXPECT_EQ(translate("Open"), "Open");
  EXPECT_EQ(translate("unknown"), "unknown");
  EXPECT_EQ(translate("empty"), "");
}

TEST_F(CatalogTest, ReadsCatalogsFromADirectory) {
  namespace fs = std::filesystem;
  const installer::testing::ScratchDirectory scratch("i18n catalog dir \xc3\xa9");
  const fs::path& dir = scratch.path();
  fs::create_directories(dir / "fr.lproj");
  fs::create_directories(dir / "sub.mo");
  WriteText(dir / "readme.txt", "not a catalog");
  WriteText(dir / "de.mo", build_mo({header_with_rule("n != 1;"), {"Aborting...", "Abbruch"}}));
  WriteText(dir / "it.mo", catalog_failing_after("big-endian"));

  fake_language_source source(testing::language_list{{"de-AT", "Latn;"}});
  init(dir.u8string(), source);
  std::vector<std::string> available = available_locales();
  std::sort(available.begin(), available.end());
  EXPECT_EQ(available, (std::vector<std::string>{"de", "en", "fr", "it"}));
  ASSERT_EQ(choose_locale({}), "de");
  EXPECT_TRUE(set_locale("de"));
  EXPECT_EQ(translate("Aborting..."), "Abbruch");

  // Neither it.mo nor en.mo can be read.
  EXPECT_FALSE(set_locale("it"));
  EXPECT_EQ(translate("Aborting..."), "Aborting...");
  WriteText(dir / "en.mo", english_catalog());
  EXPECT_TRUE(set_locale("it"));
  EXPECT_EQ(translate("Aborting..."), "EN Aborting");

  EXPECT_EQ(list_catalog_directory((dir / "missing").u8string()), std::vector<std::string>{"en"});
}

}  // namespace
}  // namespace zevrino::desktop::i18n::gettext
