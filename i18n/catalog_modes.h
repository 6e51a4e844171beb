#pragma once
// Where the catalog directory mode (catalog_directory.cpp) meets the module's
// state (catalog.cpp). Internal to the catalog module: the public calls are
// init and init_compiled_in of catalog.h.

#include <string>
#include <vector>

#include "i18n/catalog_reader.h"
#include "i18n/user_languages.h"

namespace zevrino::desktop::i18n::gettext {

// Reads the catalog `name` of `directory` into `table` and `rule`, with
// load_catalog's contract; false also when it cannot be opened.
using catalog_file_reader = bool (*)(const std::string& directory, const std::string& name,
                                     translation_table& table, plural_forms& rule);

// What both init calls do: stores the directory, the candidates of the
// user's `languages` and the `available` catalog names, empties the
// translation table and sets the English plural rule. From then on set_locale
// reads catalogs with `read_file`, or from the compiled-in table when it is
// nullptr.
void init_catalogs(const std::string& directory, language_source& languages,
                   std::vector<std::string> available, catalog_file_reader read_file);

}  // namespace zevrino::desktop::i18n::gettext
