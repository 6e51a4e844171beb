#include "i18n/count_format.h"

#include <gtest/gtest.h>

#include <climits>

namespace zevrino::desktop::i18n::gettext {
namespace {

TEST(CountFormat, FormatsTheCountConversions) {
  struct format_case {
    const char* format;
    std::int64_t count;
    const char* expected;
  };
  const format_case cases[] = {
      {"  %d seconds left", 5, "  5 seconds left"},
      {"  noch %1$d Sekunde", 1, "  noch 1 Sekunde"},
      {"%1$d:%d", 7, "7:7"},
      {"%i", -12, "-12"},
      {"100%% in %d", 3, "100% in 3"},
      {"[%5d]", 42, "[   42]"},
      {"[%-5d]", 42, "[42   ]"},
      {"[%-05d]", 42, "[42   ]"},  // left alignment wins over zeros
      {"[%05d]", -42, "[-0042]"},
      {"[%+d|% d]", 42, "[+42| 42]"},
      {"%d", INT64_MIN, "-9223372036854775808"},
      {"%d", 4294967296, "4294967296"},
      // Conversions other than the count's are left as they stand.
      {"%s and %2$d and %f", 1, "%s and %2$d and %f"},
      {"50%", 1, "50%"},
      {"%1$", 1, "%1$"},
      {"%99999d", 1, "%99999d"},
      {"no conversion", 9, "no conversion"},
      {"", 9, ""},
  };
  for (const format_case& c : cases) {
    EXPECT_EQ(format_count(c.format, c.count), c.expected) << c.format;
  }
}

TEST(CountFormat, OutputIsNotLimitedByTheFormatLength) {
  // Wider than the format's length plus 17.
  const std::string text = format_count("%1$40d", 1);
  EXPECT_EQ(text, std::string(39, ' ') + "1");
}

}  // namespace
}  // namespace zevrino::desktop::i18n::gettext
