#include "i18n/user_languages.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>

#include "i18n/language_tags.h"

namespace zevrino::desktop::i18n::gettext {

std::vector<std::string> user_languages(language_source& source) {
  std::vector<std::string> tags;
  if (!source.preferred_languages(tags) || tags.empty()) {
    return {"en"};
  }
  std::vector<std::string> result;
  for (const std::string& tag : tags) {
    std::string scripts_text;
    if (!source.locale_scripts(tag, scripts_text)) {
      scripts_text = "Latn";
    }
    boost::algorithm::trim_if(scripts_text, boost::algorithm::is_any_of(";"));
    std::vector<std::string> scripts;
    boost::algorithm::split(scripts, scripts_text, boost::algorithm::is_any_of(";"));
    expand_language_tag(tag, scripts, result);
  }
  return result;
}

}  // namespace zevrino::desktop::i18n::gettext
