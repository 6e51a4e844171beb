// Localization benchmark: the start-up cost of choosing and loading a catalog
// (with the system's real language lookup), and the cost of one translate and
// one translate_plural afterwards.
//
//   i18n_bench [iterations]
//
// Run it from a Release tree without sanitizers, natively and under Wine
// (where the language lookup goes through the Windows Runtime).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "i18n/catalog.h"
#include "i18n/embedded_catalogs.h"
#include "i18n/startup.h"

namespace gettext = zevrino::desktop::i18n::gettext;
using zevrino::desktop::i18n::embedded_catalog_count;
using zevrino::desktop::i18n::embedded_catalog_table;

namespace {

using clock_type = std::chrono::steady_clock;

double microseconds_since(clock_type::time_point start) {
  return std::chrono::duration<double, std::micro>(clock_type::now() - start).count();
}

// Keeps the optimiser from dropping the lookups.
std::size_t sink = 0;

}  // namespace

int main(int argc, char** argv) {
  const int iterations = argc > 1 ? std::atoi(argv[1]) : 200;
  if (iterations <= 0) {
    std::fprintf(stderr, "usage: %s [iterations]\n", argv[0]);
    return 2;
  }

  // The first start-up also pays for loading the Windows Runtime's DLLs, as
  // the installer does; it is reported on its own.
  clock_type::time_point start = clock_type::now();
  zevrino::desktop::i18n::InitCatalogs();
  const double first = microseconds_since(start);
  std::printf("catalog chosen: %s\n", gettext::current_locale().c_str());
  std::printf("first start-up (register, languages, choose, load): %10.1f us\n", first);

  double languages = 0;
  double choose_and_load = 0;
  for (int i = 0; i < iterations; ++i) {
    start = clock_type::now();
    gettext::set_embedded_catalogs(embedded_catalog_table, embedded_catalog_count);
    gettext::init("");
    languages += microseconds_since(start);
    start = clock_type::now();
    gettext::set_locale(gettext::choose_locale({}));
    choose_and_load += microseconds_since(start);
  }
  std::printf("later start-ups, mean of %d:\n", iterations);
  std::printf("  init (user languages, available list):          %10.1f us\n",
              languages / iterations);
  std::printf("  choose_locale + set_locale:                       %10.1f us\n",
              choose_and_load / iterations);

  // Lookups against the German catalog, which uses positional conversions.
  gettext::set_locale("de");
  const std::string msgid = "The installer is unable to get administrator privileges.";
  const std::string singular = "  %d second left";
  const std::string plural = "  %d seconds left";
  const int lookups = iterations * 5000;

  start = clock_type::now();
  for (int i = 0; i < lookups; ++i) {
    sink += gettext::translate(msgid).size();
  }
  const double translate_ns = microseconds_since(start) * 1000 / lookups;

  start = clock_type::now();
  for (int i = 0; i < lookups; ++i) {
    sink += gettext::translate_plural(singular, plural, i % 120).size();
  }
  const double plural_ns = microseconds_since(start) * 1000 / lookups;

  std::printf("translate (de), mean of %d:                 %10.1f ns\n", lookups, translate_ns);
  std::printf("translate_plural (de, \"%%1$d\"), mean of %d:  %10.1f ns\n", lookups, plural_ns);
  std::printf("(%zu)\n", sink);
  return 0;
}
