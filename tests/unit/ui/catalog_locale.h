#pragma once
// Loads one of the compiled-in catalogs for a test, as the installer's
// start-up would after choosing it.

#include "i18n/catalog.h"
#include "i18n/embedded_catalogs.h"

namespace zevrino::desktop::installer::testing {

inline bool UseCatalog(const char* name) {
  i18n::gettext::set_embedded_catalogs(i18n::embedded_catalog_table, i18n::embedded_catalog_count);
  return i18n::gettext::set_locale(name);
}

}  // namespace zevrino::desktop::installer::testing
