#pragma once
// The reading order of a catalog, judged from the script its translations are
// written in rather than from its name: a catalog for any language and
// region whose letters are Arabic, Hebrew or another right-to-left script
// reads right to left, whatever it is called (Punjabi in Shahmukhi, pa-PK,
// as well as Arabic or Urdu).

#include "i18n/catalog_reader.h"

namespace zevrino::desktop::i18n::gettext {

// True when the letters of right-to-left scripts in the translations of
// `table` outnumber all other letters. Names kept in Latin letters (the
// product's, "Windows") and digits do not tip a catalog whose sentences are
// written right to left. An empty table reads left to right.
bool written_right_to_left(const translation_table& table);

}  // namespace zevrino::desktop::i18n::gettext
