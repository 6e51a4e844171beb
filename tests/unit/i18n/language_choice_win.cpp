// Start-up language choice through the real Windows Runtime call. Under Wine
// the user's languages follow LANG / LC_ALL, so the test runs this program
// once per language:
//
//   language_choice_win.exe <expected first tag> <expected catalog>
//
// Exit code 0 when the system reported the tag first and InitCatalogs chose
// and loaded the catalog; 1 otherwise; 2 on wrong usage.

#include <cstdio>
#include <string>
#include <vector>

#include "i18n/catalog.h"
#include "i18n/startup.h"

namespace gettext = zevrino::desktop::i18n::gettext;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <expected first tag> <expected catalog>\n", argv[0]);
    return 2;
  }
  std::vector<std::string> tags;
  const bool asked = gettext::system_language_source()->preferred_languages(tags);
  std::printf("system languages (%s):", asked ? "ok" : "failed");
  for (const std::string& tag : tags) {
    std::printf(" %s", tag.c_str());
  }

  const bool loaded = zevrino::desktop::i18n::InitCatalogs();
  std::printf("\ncatalog: %s (%s)\n", gettext::current_locale().c_str(),
              loaded ? "loaded" : "not loaded");

  const bool tag_ok = asked && !tags.empty() && tags.front() == argv[1];
  const bool catalog_ok = loaded && gettext::current_locale() == argv[2];
  if (!tag_ok || !catalog_ok) {
    std::printf("expected %s first and catalog %s\n", argv[1], argv[2]);
    return 1;
  }
  return 0;
}
