// Outside Windows the user's language is the one of the POSIX locale
// environment, which is also what Wine hands to the Windows Runtime:
// "de_AT.UTF-8" is the tag "de-AT". Scripts are not known here, so every
// tag takes the "Latn" fallback.

#include <cstdlib>

#include "i18n/user_languages.h"

namespace zevrino::desktop::i18n::gettext {

namespace {

class environment_language_source : public language_source {
 public:
  bool preferred_languages(std::vector<std::string>& tags) override {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* value = std::getenv(variable);
      if (value == nullptr || *value == '\0') {
        continue;
      }
      std::string tag(value);
      tag = tag.substr(0, tag.find_first_of(".@"));
      if (tag.empty() || tag == "C" || tag == "POSIX") {
        return false;
      }
      for (char& c : tag) {
        if (c == '_') {
          c = '-';
        }
      }
      tags.push_back(tag);
      return true;
    }
    return false;
  }

  bool locale_scripts(const std::string&, std::string&) override { return false; }
};

}  // namespace

std::unique_ptr<language_source> system_language_source() {
  return std::make_unique<environment_language_source>();
}

}  // namespace zevrino::desktop::i18n::gettext
