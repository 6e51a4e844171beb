#pragma once
// The message catalogs: choice of the user's language, loading of its
// catalog, and lookup of translated texts by their English msgid.
//
// Order of use, all on the main thread during start-up:
//   set_embedded_catalogs(table, count);
//   init_compiled_in();            // user's languages, available catalogs
//   set_locale(choose_locale({}));
// and then translate / translate_plural from any thread. The module state is
// written only by those start-up calls; lookups only read it, without a lock.
// Before set_locale, lookups answer in English with the English plural rule.
//
// Nothing here throws or fails loudly: a missing message is its English
// msgid, a catalog that cannot be read is replaced by "en".

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "i18n/catalog_reader.h"
#include "i18n/catalog_storage.h"
#include "i18n/language_tags.h"
#include "i18n/plural_forms.h"
#include "i18n/user_languages.h"

namespace zevrino::desktop::i18n::gettext {

// Registers the compiled-in catalog table (not copied: it must outlive the
// module).
void set_embedded_catalogs(const embedded_catalog* catalogs, std::size_t count);

// Stores the catalog directory ("" selects the compiled-in table), reads the
// user's languages from `languages`, lists the available catalogs, empties
// the translation table and sets the English plural rule.
void init(const std::string& directory, language_source& languages);
// The same with the system's languages.
void init(const std::string& directory);
// init("", ...): the compiled-in table. The installer calls this one, so that
// the directory mode's file and directory reading (catalog_directory.cpp,
// with libstdc++'s file streams and std::filesystem) is not linked into it.
void init_compiled_in(language_source& languages);
void init_compiled_in();

// The name of the catalog that fits the user's languages best, skipping
// `excluded`; "en" when none fits.
std::string choose_locale(const std::vector<std::string>& excluded);

// Loads the catalog `name`, or "en" when it cannot be read. True when one of
// the two was loaded. The current locale is `name` in any case.
bool set_locale(const std::string& name);

std::string translate(const std::string& msgid);

// The form that `n` needs, with `n` formatted into its "%d" or "%1$d".
std::string translate_plural(const std::string& msgid, const std::string& msgid_plural,
                             std::int64_t n);

// The core of both: an empty context and an empty msgid_plural select a plain
// message.
std::string lookup(const std::string& context, const std::string& msgid,
                   const std::string& msgid_plural, std::int64_t n);

// The name last passed to set_locale.
std::string current_locale();

// Whether the catalog set_locale loaded is written in a right-to-left script
// (i18n/text_direction.h); false before set_locale and for English.
bool right_to_left();

// The catalog names init found, in table or directory order.
const std::vector<std::string>& available_locales();
// The candidate names init built from the user's languages.
const std::vector<std::string>& preferred_locales();

// Directory mode: the catalogs of `directory`, that is every "*.mo" file and
// every "*.lproj" directory, by name without the extension. "en", the
// language of the msgids, is always included. An unreadable directory gives
// just "en".
std::vector<std::string> list_catalog_directory(const std::string& directory);

}  // namespace zevrino::desktop::i18n::gettext
