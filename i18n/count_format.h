#pragma once
// Puts the count of a plural lookup into its translated text.
//
// Translations are printf formats with the count as their only argument,
// written either as "%d" or, where the word order of a language needs it, as
// the positional "%1$d". MinGW's printf family prints positional conversions
// literally, so the conversions the catalogs use are handled here, for both
// builds alike:
//
//   %[1$][flags][width]d   or the same with i  -> the count in decimal
//   %%                                         -> "%"
//
// flags are any of "-+ 0". Anything else after a "%" (another argument
// position, a string or floating conversion, a "%" at the end) is copied as
// it stands: a catalog cannot make the lookup read arguments that were never
// passed. The output is as long as the formatted text needs; nothing is cut.

#include <cstdint>
#include <string>

namespace zevrino::desktop::i18n::gettext {

std::string format_count(const std::string& format, std::int64_t count);

}  // namespace zevrino::desktop::i18n::gettext
