// libFuzzer target: arbitrary text as a plural rule. Parsing and evaluation
// must never crash; the parser must accept what the reference grammar
// accepts (tests/fuzz/spirit_plural_grammar.h) and compile it to the same
// program; an accepted rule must compile to the same program when
// parenthesised or followed by white space.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "i18n/plural_forms.h"
#include "tests/fuzz/spirit_plural_grammar.h"

namespace gettext = zevrino::desktop::i18n::gettext;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  gettext::plural_forms rule;
  const bool parsed = rule.parse(text);
  for (const std::int64_t n : {std::int64_t{0}, std::int64_t{1}, std::int64_t{2}, std::int64_t{11},
                               std::int64_t{-1}, std::int64_t{268435456}, INT64_MIN}) {
    rule.evaluate(n);
  }
  // Texts this short stay within the parser's nesting limit and the
  // reference's stack.
  if (size <= gettext::plural_forms::max_nesting) {
    gettext::plural_forms reference;
    if (gettext::reference::parse(text, reference) != parsed ||
        (parsed && reference.words() != rule.words())) {
      std::abort();
    }
  }
  if (!parsed) {
    return 0;
  }
  gettext::plural_forms variant;
  // A parenthesis adds one level of nesting, which may cross the limit.
  if (variant.parse("(" + text + ")") && variant.words() != rule.words()) {
    std::abort();
  }
  if (!variant.parse(text + " \n") || variant.words() != rule.words()) {
    std::abort();
  }
  return 0;
}
