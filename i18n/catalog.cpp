#include "i18n/catalog.h"

#include <utility>

#include "i18n/catalog_modes.h"
#include "i18n/count_format.h"
#include "i18n/text_direction.h"

namespace zevrino::desktop::i18n::gettext {

namespace {

constexpr char english_rule[] = "n == 1 ? 0 : 1";
constexpr char fallback_locale[] = "en";

// The one instance of the module's state. Written by the start-up calls
// only; read by lookups from any thread afterwards.
struct catalog_state {
  const embedded_catalog* catalogs = nullptr;
  std::size_t catalog_count = 0;
  std::string directory;
  catalog_file_reader read_file = nullptr;  // nullptr: the compiled-in table
  std::string locale;
  std::vector<std::string> preferred;
  std::vector<std::string> available;
  translation_table table;
  plural_forms rule;
  bool right_to_left = false;  // of the catalog in the table

  catalog_state() { rule.parse(english_rule); }
};

catalog_state& state() {
  static catalog_state instance;
  return instance;
}

bool load_embedded(catalog_state& s, const std::string& name) {
  std::vector<unsigned char> bytes;
  for (std::size_t i = 0; i < s.catalog_count; ++i) {
    const embedded_catalog& row = s.catalogs[i];
    if (name == row.name) {
      return read_embedded_catalog(row, bytes) &&
             load_catalog(bytes.data(), bytes.size(), s.table, s.rule);
    }
  }
  // No row reads as an empty catalog, which is refused.
  return load_catalog(nullptr, 0, s.table, s.rule);
}

bool load_named(catalog_state& s, const std::string& name) {
  return s.read_file == nullptr ? load_embedded(s, name)
                                : s.read_file(s.directory, name, s.table, s.rule);
}

}  // namespace

void set_embedded_catalogs(const embedded_catalog* catalogs, std::size_t count) {
  state().catalogs = catalogs;
  state().catalog_count = catalogs == nullptr ? 0 : count;
}

void init_catalogs(const std::string& directory, language_source& languages,
                   std::vector<std::string> available, catalog_file_reader read_file) {
  catalog_state& s = state();
  s.directory = directory;
  s.read_file = read_file;
  s.preferred = user_languages(languages);
  s.available = std::move(available);
  s.table.clear();
  s.rule.parse(english_rule);
}

void init_compiled_in(language_source& languages) {
  const catalog_state& s = state();
  std::vector<std::string> names;
  for (std::size_t i = 0; i < s.catalog_count; ++i) {
    names.emplace_back(s.catalogs[i].name);
  }
  init_catalogs(std::string(), languages, std::move(names), nullptr);
}

void init_compiled_in() {
  init_compiled_in(*system_language_source());
}

std::string choose_locale(const std::vector<std::string>& excluded) {
  const catalog_state& s = state();
  const auto matches = match_locales(s.preferred, s.available, excluded);
  return matches.empty() ? std::string(fallback_locale) : matches.front().second;
}

bool set_locale(const std::string& name) {
  catalog_state& s = state();
  s.locale = name;
  s.table.clear();
  s.rule.clear();
  const bool loaded = load_named(s, name) || load_named(s, fallback_locale);
  if (!loaded) {
    // Nothing could be read: every lookup answers with its English msgid,
    // so choose the English forms for it as well.
    s.rule.parse(english_rule);
  }
  s.right_to_left = written_right_to_left(s.table);
  return loaded;
}

std::string lookup(const std::string& context, const std::string& msgid,
                   const std::string& msgid_plural, std::int64_t n) {
  const catalog_state& s = state();
  const bool plural = !msgid_plural.empty();
  const std::uint32_t index = plural ? s.rule.evaluate(n) : 0;

  // A plain message is its own key; only context and plural forms need one
  // built.
  std::string composed_key;
  if (!context.empty() || plural) {
    composed_key.reserve(context.size() + msgid.size() + msgid_plural.size() + 2);
    if (!context.empty()) {
      composed_key += context;
      composed_key += '\x04';
    }
    composed_key += msgid;
    if (plural) {
      composed_key += '\0';
      composed_key += msgid_plural;
    }
  }
  const std::string& key = composed_key.empty() ? msgid : composed_key;

  const std::string* text;
  const auto found = s.table.find(key);
  if (found != s.table.end()) {
    const std::vector<std::string>& forms = found->second;
    text = index < forms.size() ? &forms[index] : &forms.front();
  } else {
    text = index == 0 ? &msgid : &msgid_plural;
  }
  return plural ? format_count(*text, n) : *text;
}

std::string translate(const std::string& msgid) {
  return lookup(std::string(), msgid, {}, 0);
}

std::string translate_plural(const std::string& msgid, const std::string& msgid_plural,
                             std::int64_t n) {
  return lookup(std::string(), msgid, msgid_plural, n);
}

std::string current_locale() {
  return state().locale;
}

bool right_to_left() {
  return state().right_to_left;
}

const std::vector<std::string>& available_locales() {
  return state().available;
}

const std::vector<std::string>& preferred_locales() {
  return state().preferred;
}

}  // namespace zevrino::desktop::i18n::gettext
