#include "i18n/catalog_reader.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "i18n/catalog_source.h"
#include "text/little_endian.h"

namespace zevrino::desktop::i18n::gettext {

namespace {

constexpr std::size_t header_size = 28;

// The catalog's bytes in memory.
class memory_source : public catalog_source {
 public:
  memory_source(const void* data, std::size_t size)
      : data_(static_cast<const unsigned char*>(data)), size_(data == nullptr ? 0 : size) {}

  bool read(std::uint64_t offset, std::uint64_t length, void* out) override {
    if (offset > size_ || length > size_ - offset) {
      return false;
    }
    if (length != 0) {
      std::memcpy(out, data_ + offset, static_cast<std::size_t>(length));
    }
    return true;
  }

 private:
  const unsigned char* data_;
  std::uint64_t size_;
};

bool read_string(catalog_source& source, std::uint32_t length, std::uint32_t offset,
                 std::string& out) {
  if (length > max_catalog_string) {
    return false;
  }
  out.resize(length);
  return source.read(offset, length, out.data());
}

struct string_ref {
  std::uint32_t length;
  std::uint32_t offset;
};

bool read_string_table(catalog_source& source, std::uint32_t table_offset, std::uint32_t count,
                       std::vector<string_ref>& out) {
  std::vector<unsigned char> raw(static_cast<std::size_t>(count) * 8);
  if (!source.read(table_offset, raw.size(), raw.data())) {
    return false;
  }
  out.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    out[i].length = text::LoadLittleEndian32(&raw[i * 8]);
    out[i].offset = text::LoadLittleEndian32(&raw[i * 8 + 4]);
  }
  return true;
}

std::vector<std::string> split_forms(const std::string& translation) {
  std::vector<std::string> forms;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t nul = translation.find('\0', begin);
    if (nul == std::string::npos) {
      forms.push_back(translation.substr(begin));
      return forms;
    }
    forms.push_back(translation.substr(begin, nul - begin));
    begin = nul + 1;
  }
}

}  // namespace

bool plural_rule_of_header(const std::string& header, std::string& rule) {
  constexpr char key[] = "plural=";
  constexpr std::size_t key_size = sizeof key - 1;
  const std::size_t at = header.find(key, 0, key_size);
  if (at == std::string::npos) {
    return false;
  }
  const std::size_t begin = at + key_size;
  // The rule ends at its ";". Headers are one field per line, so a rule
  // written without ";" ends with its line rather than taking the fields
  // that follow into the expression.
  const std::size_t end = header.find_first_of(";\n", begin);
  rule = header.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  return true;
}

bool load_catalog(const void* data, std::size_t size, translation_table& table,
                  plural_forms& rule) {
  memory_source source(data, size);
  return load_catalog(source, table, rule);
}

bool load_catalog(catalog_source& source, translation_table& table, plural_forms& rule) {
  unsigned char header[header_size];
  if (!source.read(0, header_size, header)) {
    return false;
  }
  if (text::LoadLittleEndian32(header) != catalog_magic) {
    return false;
  }
  const std::uint32_t count = text::LoadLittleEndian32(header + 8);
  if (count > max_catalog_entries) {
    return false;
  }
  std::vector<string_ref> sources;
  std::vector<string_ref> translations;
  if (!read_string_table(source, text::LoadLittleEndian32(header + 12), count, sources) ||
      !read_string_table(source, text::LoadLittleEndian32(header + 16), count, translations)) {
    return false;
  }

  // Everything is read into local state first, so that a catalog rejected
  // half-way leaves the caller's table and rule as they were.
  std::vector<std::pair<std::string, std::vector<std::string>>> entries;
  entries.reserve(count);
  plural_forms new_rule;
  bool has_rule = false;
  std::string source_text;
  std::string translation;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!read_string(source, sources[i].length, sources[i].offset, source_text) ||
        !read_string(source, translations[i].length, translations[i].offset, translation)) {
      return false;
    }
    if (!source_text.empty()) {
      entries.emplace_back(source_text, split_forms(translation));
      continue;
    }
    std::string rule_text;
    if (plural_rule_of_header(translation, rule_text)) {
      if (!new_rule.parse(rule_text)) {
        return false;
      }
      has_rule = true;
    }
  }

  for (auto& entry : entries) {
    table[std::move(entry.first)] = std::move(entry.second);
  }
  if (has_rule) {
    rule = std::move(new_rule);
  }
  return true;
}

}  // namespace zevrino::desktop::i18n::gettext
