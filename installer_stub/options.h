#pragma once
// Options of one installer run, parsed from the command-line tokens, and the
// process-wide values that parsing fills for later steps.
//
//   token            effect
//   url ADDRESS      UrlOverride := copy of ADDRESS         (needs its value)
//   mu VALUE         MuSuffix := VALUE; both tokens forwarded (needs its value)
//   extract [DIR]    extract mode into DIR; parsing stops
//   update PATH      update mode on PATH; parsing stops      (alone: ignored)
//   webinstall       webinstall
//   silent           silent
//   skip-app-launch  skip_app_launch
//   log-file PATH    log_file_path := PATH                   (alone: ignored)
//   anything else    forwarded in ForwardedArgs
//
// Option names are matched with MatchOption. The token after url, mu,
// extract, update and log-file is their value whatever it looks like. `url`
// or `mu` as the last token is not recognised and is forwarded. An option
// given twice takes its last value.

namespace zevrino::desktop::installer {

struct Options {
  bool extract = false;
  bool update = false;
  // The directory of `extract` or the path of `update`; null when not given.
  const char* target_path = nullptr;
  bool webinstall = false;
  bool silent = false;
  bool skip_app_launch = false;
  const char* log_file_path = nullptr;
};

// Process-wide values of the command line. Written only by ParseOptions on the
// main thread before any other thread exists, read-only afterwards; each is a
// NUL-terminated UTF-8 string or null and stays valid until the process ends.
//
// UrlOverride: a heap copy of the value of `url`; replaces the address found
//   in a web installer's payload.
// MuSuffix: the value of `mu`, pointing into the command-line buffer;
//   appended after a "-" to the installation directory's name.
// ForwardedMuArgs: the `mu` token and its value as typed, each appended as
//   AppendQuotedArgument quotes it (e.g. ` "--mu" "beta"`).
// ForwardedArgs: every unrecognised token, in order, in the same form.
//
// The forwarded strings go into the command lines of the programs the
// installer starts, which read each token back exactly as it was given.
extern char* UrlOverride;
extern const char* MuSuffix;
extern char* ForwardedMuArgs;
extern char* ForwardedArgs;

// True when `suffix`, the value of `mu`, may name the installation
// directory "Zevrino-<suffix>": 1 to 32 characters of A-Z, a-z, 0-9, ".",
// "_" and "-", not starting with a dot. Anything else (separators, "..",
// quotes, a drive) could aim the installation at another folder.
bool IsValidMuSuffix(const char* suffix);

// Parses `count` tokens (which must outlive the result and MuSuffix) and
// updates the process-wide values above.
Options ParseOptions(char* const* tokens, int count);

}  // namespace zevrino::desktop::installer
