#include "i18n/language_tags.h"

#include <algorithm>
#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>

#include "text/format.h"

namespace zevrino::desktop::i18n::gettext {

namespace {

const char* const traditional_chinese_regions[] = {"HK", "MO", "TW"};
const char* const simplified_chinese_regions[] = {"CN", "MY", "SG"};
// Chinese catalogs carry the name of the region whose written standard they
// follow: Macao reads Hong Kong's traditional Chinese, and the simplified
// script is that of the catalog for mainland China.
constexpr char macao_region[] = "MO";
constexpr char macao_standard_region[] = "HK";
constexpr char simplified_script[] = "Hans";
constexpr char simplified_catalog[] = "zh-CN";
// Regions whose Spanish falls back to "419" (Latin America).
const char* const latin_american_regions[] = {"AR", "BO", "CL", "CO", "CR", "DO", "EC", "SV", "GT",
                                              "HN", "MX", "NI", "PA", "PY", "PE", "PR", "UY", "VE"};

template <std::size_t N>
bool is_in(const char* const (&table)[N], const std::string& value) {
  return std::find(std::begin(table), std::end(table), value) != std::end(table);
}

bool contains(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

void add_script(std::vector<std::string>& scripts, const std::string& script) {
  if (!contains(scripts, script)) {
    scripts.push_back(script);
  }
}

// language-script-region for each script, then language-region.
void append_region_candidates(const std::string& language, const std::vector<std::string>& scripts,
                              const std::string& region, std::vector<std::string>& out) {
  for (const std::string& script : scripts) {
    if (!script.empty()) {
      out.push_back(text::format("%s-%s-%s", language.c_str(), script.c_str(), region.c_str()));
    }
  }
  out.push_back(text::format("%s-%s", language.c_str(), region.c_str()));
}

}  // namespace

void expand_language_tag(const std::string& tag, std::vector<std::string> scripts,
                         std::vector<std::string>& out) {
  if (tag.empty()) {
    return;
  }
  std::vector<std::string> pieces;
  boost::algorithm::split(pieces, tag, boost::algorithm::is_any_of("-_"));

  const std::string& language = pieces[0];
  std::string region;
  if (pieces.size() == 3 && pieces[1].size() == 4 &&
      (pieces[2].size() == 2 || pieces[2].size() == 3)) {
    add_script(scripts, pieces[1]);
    region = pieces[2];
  } else if (pieces.size() == 2 && (pieces[1].size() == 2 || pieces[1].size() == 3)) {
    region = pieces[1];
  } else if (pieces.size() == 2 && pieces[1].size() == 4) {
    add_script(scripts, pieces[1]);
  }

  if (language == "zh") {
    if (is_in(traditional_chinese_regions, region)) {
      add_script(scripts, "Hant");
    }
    if (is_in(simplified_chinese_regions, region)) {
      add_script(scripts, "Hans");
    }
  }

  if (!region.empty()) {
    append_region_candidates(language, scripts, region, out);
    if (language == "zh" && region == macao_region) {
      append_region_candidates(language, scripts, macao_standard_region, out);
    }
  }

  if (is_in(latin_american_regions, region) || region == "419" || region == "LA") {
    if (region != "419") {
      for (const std::string& script : scripts) {
        if (!script.empty()) {
          out.push_back(text::format("%s-%s-419", language.c_str(), script.c_str()));
        }
      }
      out.push_back(text::format("%s-419", language.c_str()));
    }
    if (region != "LA") {
      out.push_back(text::format("%s-LA", language.c_str()));
    }
  }

  for (const std::string& script : scripts) {
    if (!script.empty()) {
      out.push_back(text::format("%s-%s", language.c_str(), script.c_str()));
      if (language == "zh" && script == simplified_script) {
        out.push_back(simplified_catalog);
      }
    }
  }
  out.push_back(language);
}

std::vector<std::pair<std::string, std::string>> match_locales(
    const std::vector<std::string>& preferred, const std::vector<std::string>& available,
    const std::vector<std::string>& excluded) {
  std::vector<std::pair<std::string, std::string>> matches;
  std::vector<std::string> candidates;
  for (const std::string& entry : preferred) {
    candidates.clear();
    expand_language_tag(entry, {}, candidates);
    for (const std::string& candidate : candidates) {
      if (contains(available, candidate) && !contains(excluded, candidate)) {
        matches.emplace_back(entry, candidate);
      }
    }
  }
  return matches;
}

}  // namespace zevrino::desktop::i18n::gettext
