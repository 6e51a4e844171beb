#pragma once
// Parsing the command-line tokens of one installer run into its Options.
//
//   token            effect
//   url ADDRESS      url := copy of ADDRESS                  (needs its value)
//   mu VALUE         mu_suffix := VALUE; both tokens forwarded (needs its value)
//   extract [DIR]    extract mode into DIR; parsing stops
//   update PATH      update mode on PATH; parsing stops      (alone: ignored)
//   webinstall       webinstall
//   silent           silent
//   skip-app-launch  skip_app_launch
//   log-file PATH    log_file_path := PATH                   (alone: ignored)
//   anything else    forwarded in forwarded.others
//
// Option names are matched with MatchOption. The token after url, mu,
// extract, update and log-file is their value whatever it looks like. `url`
// or `mu` as the last token is not recognised and is forwarded. An option
// given twice takes its last value.

#include "base/options.h"

namespace zevrino::desktop::installer {

// True when `suffix`, the value of `mu`, may name the installation
// directory "Zevrino-<suffix>": 1 to 32 characters of A-Z, a-z, 0-9, ".",
// "_" and "-", not starting or ending with a dot. Anything else (separators, "..",
// quotes, a drive) could aim the installation at another folder.
bool IsValidMuSuffix(const char* suffix);

// Parses `count` tokens, which must outlive the result (its pointers point
// into them).
Options ParseOptions(char* const* tokens, int count);

}  // namespace zevrino::desktop::installer
