#pragma once
// Where the catalog reader takes a catalog's bytes from: bytes in memory
// (catalog_reader.cpp) or a seekable stream (catalog_stream_reader.cpp).
// Internal to the two load_catalog functions of catalog_reader.h.

#include <cstdint>

#include "i18n/catalog_reader.h"

namespace zevrino::desktop::i18n::gettext {

class catalog_source {
 public:
  virtual ~catalog_source() = default;
  // Copies exactly `length` bytes from `offset` (counted from the catalog's
  // first byte) to `out`; false, with `out` undefined, when they do not all
  // lie within the catalog or cannot be read.
  virtual bool read(std::uint64_t offset, std::uint64_t length, void* out) = 0;
};

// The reader behind both load_catalog functions, with their contract.
bool load_catalog(catalog_source& source, translation_table& table, plural_forms& rule);

}  // namespace zevrino::desktop::i18n::gettext
