#pragma once
// Builds little-endian gettext catalogs in memory for the tests, with hooks
// to damage them in the ways the reader must refuse.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/little_endian.h"

namespace zevrino::desktop::installer::testing {

struct mo_entry {
  std::string source;       // "" for the header
  std::string translation;  // forms separated by '\0'
};

// Layout: 28-byte header, source table, translation table, then the strings
// each followed by a NUL.
inline std::string build_mo(const std::vector<mo_entry>& entries) {
  const std::uint32_t n = static_cast<std::uint32_t>(entries.size());
  const std::uint32_t source_table = 28;
  const std::uint32_t translation_table = source_table + 8 * n;
  std::string out(translation_table + 8 * n, '\0');
  PutLe32(&out, 0, 0x950412DE);
  PutLe32(&out, 8, n);
  PutLe32(&out, 12, source_table);
  PutLe32(&out, 16, translation_table);
  auto add_string = [&out](std::size_t slot, const std::string& text) {
    PutLe32(&out, slot, static_cast<std::uint32_t>(text.size()));
    PutLe32(&out, slot + 4, static_cast<std::uint32_t>(out.size()));
    out += text;
    out += '\0';
  };
  for (std::uint32_t i = 0; i < n; ++i) {
    add_string(source_table + 8 * i, entries[i].source);
    add_string(translation_table + 8 * i, entries[i].translation);
  }
  return out;
}

inline mo_entry header_with_rule(const std::string& rule) {
  return {"", "Content-Type: text/plain; charset=UTF-8\nPlural-Forms: nplurals=2; plural=" + rule +
                  "\n"};
}

}  // namespace zevrino::desktop::installer::testing
