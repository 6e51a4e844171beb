#pragma once
// A language_source that answers what a test tells it.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "i18n/user_languages.h"

namespace zevrino::desktop::i18n::gettext::testing {

using language_list = std::vector<std::pair<std::string, std::string>>;

class fake_language_source : public language_source {
 public:
  // Each language is (tag, scripts as the system writes them); scripts
  // "FAIL" make the script lookup fail for that tag.
  explicit fake_language_source(language_list languages, bool fails = false)
      : languages_(std::move(languages)), fails_(fails) {}

  bool preferred_languages(std::vector<std::string>& tags) override {
    if (fails_) {
      tags.push_back("de-DE");  // partial output must not be used
      return false;
    }
    for (const auto& language : languages_) {
      tags.push_back(language.first);
    }
    return true;
  }

  bool locale_scripts(const std::string& tag, std::string& scripts) override {
    for (const auto& language : languages_) {
      if (language.first == tag && language.second != "FAIL") {
        scripts = language.second;
        return true;
      }
    }
    return false;
  }

 private:
  language_list languages_;
  bool fails_;
};

}  // namespace zevrino::desktop::i18n::gettext::testing
