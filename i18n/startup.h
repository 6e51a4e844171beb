#pragma once
// The catalogs' part of the program's start-up: registers the compiled-in
// catalogs, reads the user's languages and loads the catalog that fits them
// best (or "en"). Call once on the main thread before any other thread runs
// and before any text is translated.
//
// Returns whether a catalog could be loaded. A false result needs no action:
// every text then shows in English.

namespace zevrino::desktop::i18n {

bool InitCatalogs();

}  // namespace zevrino::desktop::i18n
