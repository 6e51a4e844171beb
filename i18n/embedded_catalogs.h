#pragma once
// The catalogs compiled into the program: one row per locale, sorted
// bytewise by the name followed by ".mo" (so "ar-EG" comes before "ar").

#include <cstddef>

#include "i18n/catalog.h"

namespace zevrino::desktop::i18n {

extern const gettext::embedded_catalog embedded_catalog_table[];
extern const std::size_t embedded_catalog_count;

}  // namespace zevrino::desktop::i18n
