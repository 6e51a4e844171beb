#include "i18n/startup.h"

#include "i18n/catalog.h"
#include "i18n/embedded_catalogs.h"

namespace zevrino::desktop::i18n {

bool InitCatalogs() {
  gettext::set_embedded_catalogs(embedded_catalog_table, embedded_catalog_count);
  gettext::init_compiled_in();
  return gettext::set_locale(gettext::choose_locale({}));
}

}  // namespace zevrino::desktop::i18n
