#pragma once
// The user's preferred languages as catalog candidates.
//
// The system is reached through language_source so that the algorithm runs
// (and is tested) the same way on every build: the Windows build asks the
// Windows Runtime and GetLocaleInfoEx, tests pass their own source.

#include <memory>
#include <string>
#include <vector>

namespace zevrino::desktop::i18n::gettext {

class language_source {
 public:
  virtual ~language_source() = default;

  // The user's preferred languages as BCP-47 tags, most preferred first.
  // False when the system could not be asked.
  virtual bool preferred_languages(std::vector<std::string>& tags) = 0;

  // The scripts of the locale named by `tag`, as the system writes them:
  // script codes each followed by ";" ("Hani;Hant;"). False on failure.
  virtual bool locale_scripts(const std::string& tag, std::string& scripts) = 0;
};

// The source of the platform the program runs on. Windows: the Windows
// Runtime's GlobalizationPreferences and GetLocaleInfoEx. Elsewhere: the
// language of the LANG / LC_ALL environment, as Wine reports it. A new
// source per call: it holds nothing between calls.
std::unique_ptr<language_source> system_language_source();

// Candidate catalog names for all preferred languages, in order. No
// languages, or a failing source: the single entry "en". A tag whose scripts
// cannot be read is taken as written in "Latn".
std::vector<std::string> user_languages(language_source& source);

}  // namespace zevrino::desktop::i18n::gettext
