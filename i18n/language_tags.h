#pragma once
// From the user's BCP-47 language tags to the names of catalogs to try.
//
// A tag is expanded into candidate names from the most specific to the
// least: language-script-region, language-region, then the Latin American
// fallbacks for Spanish-style regions, language-script, language. Chinese
// regions imply their script (HK, MO, TW: Hant; CN, MY, SG: Hans), so that
// zh-HK can find a "zh-Hant-HK" catalog; Macao falls back to Hong Kong
// (zh-MO finds "zh-Hant-HK" too), and the simplified script to the catalog
// of mainland China (zh-SG and zh-Hans find "zh-CN").
// Example: es-CO with the script Latn gives
//   es-Latn-CO, es-CO, es-Latn-419, es-419, es-LA, es-Latn, es
// All comparisons are exact and case-sensitive.

#include <string>
#include <utility>
#include <vector>

namespace zevrino::desktop::i18n::gettext {

// Appends the candidates for `tag` to `out`. `scripts` are the scripts the
// system reports for the tag's locale; empty entries are ignored.
void expand_language_tag(const std::string& tag, std::vector<std::string> scripts,
                         std::vector<std::string>& out);

// Every (preferred entry, candidate) pair, in preference order, whose
// candidate is available and not excluded. Each preferred entry is expanded
// again without scripts.
std::vector<std::pair<std::string, std::string>> match_locales(
    const std::vector<std::string>& preferred, const std::vector<std::string>& available,
    const std::vector<std::string>& excluded);

}  // namespace zevrino::desktop::i18n::gettext
