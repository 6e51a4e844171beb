// The catalog directory mode: catalogs read from "<name>.mo" files of a
// directory instead of the compiled-in table, and init, which chooses the
// mode. The installer never uses it and does not link this file (it calls
// init_compiled_in), so its file streams and std::filesystem stay out of the
// executable.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "i18n/catalog.h"
#include "i18n/catalog_modes.h"

namespace zevrino::desktop::i18n::gettext {

namespace {

constexpr char english_locale[] = "en";

std::filesystem::path utf8_path(const std::string& text) {
  // u8path keeps non-ASCII directory names intact on Windows, where the
  // narrow path constructor would use the ANSI code page.
  return std::filesystem::u8path(text);
}

bool read_catalog_file(const std::string& directory, const std::string& name,
                       translation_table& table, plural_forms& rule) {
  std::ifstream in(utf8_path(directory) / utf8_path(name + ".mo"), std::ios::binary);
  if (!in) {
    return false;
  }
  return load_catalog(in, table, rule);
}

}  // namespace

std::vector<std::string> list_catalog_directory(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator it(utf8_path(directory), error);
  const std::filesystem::directory_iterator end;
  for (; !error && it != end; it.increment(error)) {
    const std::filesystem::path& path = it->path();
    const std::string extension = path.extension().u8string();
    std::error_code type_error;
    const bool is_catalog = (extension == ".mo" && it->is_regular_file(type_error)) ||
                            (extension == ".lproj" && it->is_directory(type_error));
    if (is_catalog) {
      names.push_back(path.stem().u8string());
    }
  }
  // The msgids are English, so English needs no file to be a valid choice.
  if (std::find(names.begin(), names.end(), english_locale) == names.end()) {
    names.push_back(english_locale);
  }
  return names;
}

void init(const std::string& directory, language_source& languages) {
  if (directory.empty()) {
    init_compiled_in(languages);
    return;
  }
  init_catalogs(directory, languages, list_catalog_directory(directory), read_catalog_file);
}

void init(const std::string& directory) {
  init(directory, *system_language_source());
}

}  // namespace zevrino::desktop::i18n::gettext
