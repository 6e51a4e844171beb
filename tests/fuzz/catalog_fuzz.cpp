// libFuzzer target: arbitrary bytes as a catalog. Loading must never crash,
// read outside the bytes or change the table when it fails, and reading the
// same bytes through a stream must give the same outcome; what loads is then
// looked up and formatted like the installer does.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "i18n/catalog_reader.h"
#include "i18n/count_format.h"
#include "i18n/memory_stream.h"

namespace gettext = zevrino::desktop::i18n::gettext;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gettext::translation_table table{{"sentinel", {"kept"}}};
  gettext::plural_forms rule;
  rule.parse("n != 1");
  const bool loaded = gettext::load_catalog(data, size, table, rule);

  gettext::translation_table streamed_table{{"sentinel", {"kept"}}};
  gettext::plural_forms streamed_rule;
  streamed_rule.parse("n != 1");
  gettext::memory_istream in(data, size);
  if (gettext::load_catalog(in, streamed_table, streamed_rule) != loaded ||
      streamed_table != table || streamed_rule.words() != rule.words()) {
    std::abort();  // the stream reader differs from the reader of bytes
  }

  if (!loaded && (table.size() != 1 || rule.evaluate(2) != 1)) {
    std::abort();  // a refused catalog changed the caller's state
  }
  for (const auto& [key, forms] : table) {
    if (forms.empty()) {
      std::abort();
    }
    for (const std::int64_t n : {std::int64_t{0}, std::int64_t{1}, std::int64_t{2},
                                 std::int64_t{-5}, std::int64_t{1000000001}}) {
      const std::uint32_t index = rule.evaluate(n);
      const std::string& text = index < forms.size() ? forms[index] : forms.front();
      gettext::format_count(text, n);
    }
  }
  return 0;
}
