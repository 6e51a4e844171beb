// The choice of catalog from the user's languages, against the compiled-in
// catalog table.

#include <gtest/gtest.h>

#include "fake_language_source.h"
#include "i18n/catalog.h"
#include "i18n/embedded_catalogs.h"

namespace zevrino::desktop::i18n::gettext {
namespace {

using testing::fake_language_source;

std::vector<std::string> expand(const std::string& tag, std::vector<std::string> scripts) {
  std::vector<std::string> out;
  expand_language_tag(tag, std::move(scripts), out);
  return out;
}

TEST(LanguageTags, ExpandsFromMostToLeastSpecific) {
  using list = std::vector<std::string>;
  EXPECT_EQ(expand("es-CO", {"Latn"}),
            (list{"es-Latn-CO", "es-CO", "es-Latn-419", "es-419", "es-LA", "es-Latn", "es"}));
  EXPECT_EQ(expand("es-419", {"Latn"}), (list{"es-Latn-419", "es-419", "es-LA", "es-Latn", "es"}));
  EXPECT_EQ(expand("es_LA", {}), (list{"es-LA", "es-419", "es"}));
  EXPECT_EQ(expand("zh-HK", {"Hani", "Hant"}),
            (list{"zh-Hani-HK", "zh-Hant-HK", "zh-HK", "zh-Hani", "zh-Hant", "zh"}));
  EXPECT_EQ(expand("zh-SG", {}), (list{"zh-Hans-SG", "zh-SG", "zh-Hans", "zh-CN", "zh"}));
  EXPECT_EQ(expand("zh-MO", {}),
            (list{"zh-Hant-MO", "zh-MO", "zh-Hant-HK", "zh-HK", "zh-Hant", "zh"}));
  EXPECT_EQ(expand("zh-MY", {"Latn"}),
            (list{"zh-Latn-MY", "zh-Hans-MY", "zh-MY", "zh-Latn", "zh-Hans", "zh-CN", "zh"}));
  EXPECT_EQ(expand("zh-Hans-HK", {}),
            (list{"zh-Hans-HK", "zh-Hant-HK", "zh-HK", "zh-Hans", "zh-CN", "zh-Hant", "zh"}));
  EXPECT_EQ(expand("yue-HK", {}), (list{"yue-HK", "yue"}));
  EXPECT_EQ(expand("sr-Latn", {""}), (list{"sr-Latn", "sr"}));
  EXPECT_EQ(expand("pa-Arab-PK", {"Arab"}), (list{"pa-Arab-PK", "pa-PK", "pa-Arab", "pa"}));
  EXPECT_EQ(expand("en-US-posix", {"Latn"}), (list{"en-Latn", "en"}));
  EXPECT_EQ(expand("de-", {}), (list{"de"}));
  EXPECT_EQ(expand("", {"Latn"}), list{});
}

TEST(LanguageChoice, PicksTheBestCompiledInCatalog) {
  struct choice_case {
    std::vector<std::pair<std::string, std::string>> languages;  // tag, scripts
    const char* expected;
  };
  const choice_case cases[] = {
      {{{"de-AT", "Latn;"}}, "de"},
      {{{"pt-BR", "Latn;"}}, "pt-BR"},
      {{{"en-US", "Latn;"}}, "en"},
      {{{"sr-Latn-RS", "Latn;"}}, "sr"},
      {{{"es-CO", "Latn;"}}, "es-419"},
      {{{"es-MX", "Latn;"}}, "es-MX"},
      {{{"es-ES", "Latn;"}}, "es"},
      {{{"zh-HK", "Hani;Hant;"}}, "zh-Hant-HK"},
      {{{"zh-TW", "Hani;Hant;"}}, "zh-TW"},
      {{{"zh-Hant-TW", "Hani;Hant;"}}, "zh-TW"},
      {{{"zh-MO", "Hant;"}}, "zh-Hant-HK"},
      {{{"zh-Hant-MO", "Hani;Hant;"}}, "zh-Hant-HK"},
      {{{"zh-CN", "Hans;"}}, "zh-CN"},
      {{{"zh-SG", "Hans;"}}, "zh-CN"},
      {{{"zh-Hans", "Hani;Hans;"}}, "zh-CN"},
      {{{"zh-Hans-SG", "Hani;Hans;"}}, "zh-CN"},
      {{{"pt-AO", "Latn;"}}, "en"},
      {{{"nn-NO", "Latn;"}}, "en"},
      {{{"fr-CH", "Latn;"}, {"de-CH", "Latn;"}}, "fr"},
      {{{"xx", "Latn;"}, {"fr", "Latn;"}}, "fr"},
      {{{"nn-NO", "Latn;"}, {"de-CH", "Latn;"}}, "de"},
      {{{"pa-Guru-IN", "Guru;"}}, "pa-IN"},
      {{{"pa-Arab-PK", "Arab;"}}, "pa-PK"},
      {{{"ar-EG", "FAIL"}}, "ar-EG"},  // scripts unreadable: Latn is assumed
      {{}, "en"},
  };
  set_embedded_catalogs(embedded_catalog_table, embedded_catalog_count);
  for (const choice_case& c : cases) {
    fake_language_source source(c.languages);
    init("", source);
    const std::string tag = c.languages.empty() ? "(none)" : c.languages.front().first;
    EXPECT_EQ(choose_locale({}), c.expected) << tag;
  }

  // A failing Windows Runtime call means English alone.
  fake_language_source failing(testing::language_list{{"de-DE", "Latn;"}}, true);
  init("", failing);
  EXPECT_EQ(preferred_locales(), std::vector<std::string>{"en"});
  EXPECT_EQ(choose_locale({}), "en");

  // Excluded names are skipped, down to the language's next candidate or the
  // next language.
  fake_language_source swiss(testing::language_list{{"es-MX", "Latn;"}, {"de-CH", "Latn;"}});
  init("", swiss);
  EXPECT_EQ(choose_locale({"es-MX"}), "es-419");
  EXPECT_EQ(choose_locale({"es-MX", "es-419", "es"}), "de");
  EXPECT_EQ(choose_locale({"es-MX", "es-419", "es", "de"}), "en");
}

}  // namespace
}  // namespace zevrino::desktop::i18n::gettext
