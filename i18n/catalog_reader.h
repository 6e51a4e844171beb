#pragma once
// Reader of GNU gettext binary catalogs (".mo"), little-endian only.
//
// All integers are unsigned 32-bit little-endian.
//
//   offset  field
//   0       magic 0x950412DE (anything else, the big-endian 0xDE120495 too, is refused)
//   4       revision (ignored)
//   8       N, number of entries (at most 10,000)
//   12      O, offset of the source-string table
//   16      T, offset of the translated-string table
//   20, 24  hash table size and offset (not used: the table is loaded whole)
//   O, T    N pairs (length, offset) each; length excludes the trailing NUL
//
// Strings are at most 4,096 bytes. A source string is the msgid; a plural
// entry's source is msgid NUL msgid_plural and its translation the forms
// separated by NUL; an entry with context is context 0x04 msgid. The entry
// with the empty source string is the header, from which only the plural
// rule ("plural=" up to ";" or the end of its line) is taken.
//
// Every table and string must lie wholly inside the catalog's bytes; anything
// that reaches past their end makes the catalog unreadable.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <unordered_map>
#include <vector>

#include "i18n/plural_forms.h"

namespace zevrino::desktop::i18n::gettext {

// Source string (context and plural msgid included) to its translated forms;
// every value holds at least one form.
using translation_table = std::unordered_map<std::string, std::vector<std::string>>;

constexpr std::uint32_t catalog_magic = 0x950412DE;
constexpr std::uint32_t max_catalog_entries = 10000;
constexpr std::uint32_t max_catalog_string = 4096;

// Reads the whole catalog held in the `size` bytes at `data` and merges it
// into `table`, replacing entries with the same source string. A header with a
// plural rule replaces `rule`; one without leaves it as it is. True when every
// entry was read and the rule compiled. On false, neither `table` nor `rule`
// has been changed: a rejected catalog contributes nothing.
bool load_catalog(const void* data, std::size_t size, translation_table& table, plural_forms& rule);

// The same for a catalog read from `in`, which must be seekable and positioned
// at the catalog's first byte; only the tables and strings are read from it.
// (Defined in catalog_stream_reader.cpp, so that a program that never reads a
// stream links no stream code.)
bool load_catalog(std::istream& in, translation_table& table, plural_forms& rule);

// The plural rule text of a catalog header, or false when it has none.
bool plural_rule_of_header(const std::string& header, std::string& rule);

}  // namespace zevrino::desktop::i18n::gettext
