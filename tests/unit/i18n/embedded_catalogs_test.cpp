// Checks every compiled-in catalog: complete, well-formed translations whose
// placeholders agree with their msgids, plural rules that select the forms
// their language needs, and the reading order of its script.

#include "i18n/embedded_catalogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "fake_language_source.h"
#include "i18n/catalog.h"
#include "tests/support/little_endian.h"

namespace zevrino::desktop::i18n {
namespace {

using gettext::embedded_catalog;

const char* const catalog_names[] = {
    "af",      "am",    "ar-EG", "ar-MA", "ar-SA", "ar", "az",    "bg",    "bho",
    "bn",      "bs",    "ca",    "cs",    "da",    "de", "el",    "en-GB", "en",
    "es-419",  "es-AR", "es-MX", "es",    "et",    "eu", "fa",    "fi",    "fil",
    "fr-CA",   "fr",    "gl",    "gu",    "he",    "hi", "hr",    "hu",    "id",
    "is",      "it",    "ja",    "kn",    "ko",    "lt", "lv",    "mk",    "ml",
    "mr",      "ms",    "nb",    "ne",    "nl",    "or", "pa-IN", "pa-PK", "pl",
    "pt-BR",   "pt-PT", "ro",    "ru",    "sk",    "sl", "sr",    "sv",    "sw",
    "ta",      "te",    "th",    "tr",    "uk",    "ur", "vi",    "zh-CN", "zh-Hant-HK",
    "zh-Hant", "zh-TW", "zu"};

const std::pair<const char*, const char*> plural_messages[] = {
    {"  %d second left", "  %d seconds left"},
    {"  about %d minute left", "  about %d minutes left"},
    {"Unable to download Zevrino... will try again in %d second",
     "Unable to download Zevrino... will try again in %d seconds"},
};

const char* const singular_messages[] = {
    "Aborting...",
    "Automatic download failed. Press OK to download the installer from your browser.",
    "Do you want to close Zevrino and proceed with the installation?",
    "Downloading Zevrino...",
    "Error code: ",
    "Installing Zevrino...",
    "It looks like you have already installed Zevrino. Do you want to replace it?",
    "Please install Zevrino using a normal account instead of an Administrator account.",
    "Zevrino",
    "Zevrino Installer",
    "Zevrino could not be started.",
    "Zevrino is already installed. Would you like to open it?",
    "Zevrino requires Windows 10 or later. The installer is unable to continue.",
    "The Zevrino installation is already in progress.",
    "The computer has not enough free memory and disk space. Please close some programs and "
    "delete some files from the disk and retry.\n\n",
    "The installation of Zevrino is not complete. Do you want to cancel?",
    "The installer encountered an unknown error.",
    "The installer is corrupt. Please download it from the web site again and retry.",
    "The installer is unable to get administrator privileges.",
    "The installer is unable to install Zevrino because the files to be written are in use by "
    "another process. Please make sure Zevrino is not running and retry.",
    "The installer is unable to install Zevrino because the neccessary files could not be "
    "created.",
    "The installer was unable to connect to the Internet. Please make sure the computer is "
    "connected to the Internet and that no firewall is blocking the connection and try again.",
    "The installer is unable to download Zevrino because the proxy server asks for a user name "
    "and password. Please sign in to the proxy server, or ask your network administrator for "
    "help, and try again.",
    "The network you are connected to asks you to sign in before you can use the Internet. Press "
    "Continue to open your browser and sign in, then press Try Again.",
    "The installer is unable to verify the secure connection to the download server. Please make "
    "sure the computer's date and time are correct and that no security software or network is "
    "inspecting the connection, and try again.",
    "The downloaded installer is not genuine and has been deleted. Please download the Zevrino "
    "installer from the web site.",
};

// The printf conversions of a text, "%1$d" counted as "%d"; "%%" is none.
std::multiset<std::string> conversions(const std::string& text) {
  std::multiset<std::string> found;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '%') {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    if (text.compare(end, 2, "1$") == 0) {
      end += 2;
    }
    while (end < text.size() &&
           std::string("-+ #0123456789.lh").find(text[end]) != std::string::npos) {
      ++end;
    }
    found.insert("%" + text.substr(end, 1));
    i = end;
  }
  return found;
}

using bytes = std::vector<unsigned char>;

using installer::testing::GetLe32;

// The header is entry 0 of a catalog written by msgfmt.
std::string header_of(const bytes& c) {
  const std::uint32_t translations = GetLe32(c, 16);
  const std::uint32_t length = GetLe32(c, translations);
  const std::uint32_t offset = GetLe32(c, translations + 4);
  if (GetLe32(c, GetLe32(c, 12)) != 0 || std::uint64_t{offset} + length > c.size()) {
    return "";
  }
  return std::string(reinterpret_cast<const char*>(c.data()) + offset, length);
}

// The catalog of a row, which the build stores compressed.
bytes catalog_bytes(const embedded_catalog& row) {
  bytes catalog;
  EXPECT_NE(row.compressed_size, 0u) << row.name;
  EXPECT_TRUE(gettext::read_embedded_catalog(row, catalog)) << row.name;
  return catalog;
}

std::uint32_t plural_count_of(const std::string& header) {
  const std::size_t at = header.find("nplurals=");
  return at == std::string::npos ? 0 : std::stoul(header.substr(at + 9));
}

// How many of the counts 0 to 1000 the rule gives form `k`.
int counts_selecting(const gettext::plural_forms& rule, std::uint32_t k) {
  int counts = 0;
  for (std::int64_t n = 0; n <= 1000; ++n) {
    counts += rule.evaluate(n) == k ? 1 : 0;
  }
  return counts;
}

TEST(EmbeddedCatalogs, TableNamesEveryCatalogInByteOrder) {
  ASSERT_EQ(embedded_catalog_count, std::size(catalog_names));
  for (std::size_t i = 0; i < embedded_catalog_count; ++i) {
    EXPECT_STREQ(embedded_catalog_table[i].name, catalog_names[i]);
    if (i > 0) {
      EXPECT_LT(std::string(catalog_names[i - 1]) + ".mo", std::string(catalog_names[i]) + ".mo");
    }
  }
}

TEST(EmbeddedCatalogs, EveryCatalogTranslatesEveryMessage) {
  for (std::size_t i = 0; i < embedded_catalog_count; ++i) {
    const embedded_catalog& catalog = embedded_catalog_table[i];
    SCOPED_TRACE(catalog.name);
    gettext::translation_table table;
    gettext::plural_forms rule;
    const bytes mo = catalog_bytes(catalog);
    ASSERT_TRUE(gettext::load_catalog(mo.data(), mo.size(), table, rule));

    const std::string header = header_of(mo);
    EXPECT_NE(header.find("charset=UTF-8"), std::string::npos);
    const std::uint32_t plural_count = plural_count_of(header);
    ASSERT_GE(plural_count, 1u);
    EXPECT_EQ(table.size(), std::size(singular_messages) + std::size(plural_messages));

    for (const char* msgid : singular_messages) {
      const auto found = table.find(msgid);
      ASSERT_NE(found, table.end()) << msgid;
      ASSERT_EQ(found->second.size(), 1u) << msgid;
      EXPECT_FALSE(found->second[0].empty()) << msgid;
      EXPECT_EQ(conversions(found->second[0]), conversions(msgid)) << found->second[0];
    }
    for (const auto& [msgid, msgid_plural] : plural_messages) {
      const auto found = table.find(std::string(msgid) + '\0' + msgid_plural);
      ASSERT_NE(found, table.end()) << msgid;
      EXPECT_EQ(found->second.size(), plural_count) << msgid;
      for (std::uint32_t k = 0; k < found->second.size(); ++k) {
        const std::string& form = found->second[k];
        EXPECT_FALSE(form.empty()) << msgid;
        // A form the rule selects for one count only may leave the count to
        // its words, as the Arabic dual does.
        if (!conversions(form).empty() || counts_selecting(rule, k) != 1) {
          EXPECT_EQ(conversions(form), conversions(msgid)) << form;
        }
      }
    }

    // The rule selects every form and nothing beyond them.
    std::set<std::uint32_t> selected;
    for (std::int64_t n = 0; n <= 1000; ++n) {
      selected.insert(rule.evaluate(n));
    }
    EXPECT_EQ(selected.size(), plural_count);
    EXPECT_LT(*selected.rbegin(), plural_count);
  }
}

TEST(EmbeddedCatalogs, PluralRulesSelectTheLanguagesForms) {
  using forms = std::vector<std::uint32_t>;
  const forms one_other = {1, 0, 1, 1, 1, 1, 1, 1};
  std::map<std::string, forms> expected;
  for (const char* name : {"am", "fil", "fr", "fr-CA", "pt-BR", "zu"}) {
    expected[name] = {0, 0, 1, 1, 1, 1, 1, 1};
  }
  for (const char* name :
       {"id", "ja", "ko", "ms", "th", "vi", "zh-CN", "zh-Hant", "zh-Hant-HK", "zh-TW"}) {
    expected[name] = {0, 0, 0, 0, 0, 0, 0, 0};
  }
  for (const char* name : {"ar", "ar-EG", "ar-MA", "ar-SA"}) {
    expected[name] = {0, 1, 2, 3, 4, 4, 4, 5};
  }
  for (const char* name : {"bs", "hr", "ru", "sr", "uk"}) {
    expected[name] = {2, 0, 1, 2, 2, 0, 1, 0};
  }
  // Icelandic as CLDR has it: 21, 31 and 101 take the singular.
  expected["is"] = {1, 0, 1, 1, 1, 0, 1, 0};
  // Rules of their own, checked for completeness above.
  const std::set<std::string> own_rules = {"cs", "sk", "fa", "he", "lt",
                                           "lv", "mk", "pl", "ro", "sl"};

  for (std::size_t i = 0; i < embedded_catalog_count; ++i) {
    const embedded_catalog& catalog = embedded_catalog_table[i];
    if (own_rules.count(catalog.name) != 0) {
      continue;
    }
    gettext::translation_table table;
    gettext::plural_forms rule;
    const bytes mo = catalog_bytes(catalog);
    ASSERT_TRUE(gettext::load_catalog(mo.data(), mo.size(), table, rule)) << catalog.name;
    forms actual;
    for (const std::int64_t n : {0, 1, 2, 5, 11, 21, 22, 101}) {
      actual.push_back(rule.evaluate(n));
    }
    const auto found = expected.find(catalog.name);
    EXPECT_EQ(actual, found == expected.end() ? one_other : found->second) << catalog.name;
  }
}

// Every catalog reads in the direction of its script: those written in
// Arabic or Hebrew letters right to left, Punjabi in Shahmukhi included.
TEST(EmbeddedCatalogs, ReadingOrderFollowsTheScript) {
  const std::set<std::string> right_to_left = {"ar", "ar-EG", "ar-MA", "ar-SA",
                                               "fa", "he",    "pa-PK", "ur"};
  gettext::set_embedded_catalogs(embedded_catalog_table, embedded_catalog_count);
  gettext::testing::fake_language_source english(gettext::testing::language_list{{"en", "Latn;"}});
  gettext::init("", english);
  for (const char* name : catalog_names) {
    gettext::set_locale(name);
    EXPECT_EQ(gettext::right_to_left(), right_to_left.count(name) == 1) << name;
  }
}

const embedded_catalog& row_named(const std::string& name) {
  const auto* end = embedded_catalog_table + embedded_catalog_count;
  return *std::find_if(embedded_catalog_table, end,
                       [&name](const embedded_catalog& row) { return name == row.name; });
}

TEST(EmbeddedCatalogs, DamagedRowsAreRefusedAndFallBackToEnglish) {
  const embedded_catalog& de = row_named("de");
  embedded_catalog cut = de;
  cut.compressed_size -= 8;
  embedded_catalog longer = de;
  longer.size += 1;
  embedded_catalog without_dictionary = de;
  without_dictionary.dictionary = nullptr;
  without_dictionary.dictionary_size = 0;
  bytes catalog;
  for (const embedded_catalog& row : {cut, longer, without_dictionary}) {
    EXPECT_FALSE(gettext::read_embedded_catalog(row, catalog))
        << row.size << " " << row.compressed_size;
  }

  embedded_catalog cut_english = row_named("en");
  cut_english.compressed_size /= 2;
  gettext::testing::fake_language_source german(gettext::testing::language_list{{"de", "Latn;"}});
  const embedded_catalog only_de_damaged[] = {cut, row_named("en")};
  gettext::set_embedded_catalogs(only_de_damaged, 2);
  gettext::init_compiled_in(german);
  EXPECT_TRUE(gettext::set_locale("de"));
  const embedded_catalog both_damaged[] = {cut, cut_english};
  gettext::set_embedded_catalogs(both_damaged, 2);
  EXPECT_FALSE(gettext::set_locale("de"));
  gettext::set_embedded_catalogs(embedded_catalog_table, embedded_catalog_count);
}

}  // namespace
}  // namespace zevrino::desktop::i18n
