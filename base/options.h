#pragma once
// The command line of one installer run: parsed once at start-up
// (ParseOptions, installer_stub/parse_options.h) into one value that the flows are
// handed read-only. Nothing below the top-level flow reads the command line
// any other way.

#include <optional>
#include <string>

namespace zevrino::desktop::installer {

// What the installer passes on to the programs it starts (the installed
// application, a downloaded full installer): each token appended as
// AppendQuotedArgument quotes it (e.g. ` "--mu" "beta"`), so that the
// program reads every token back exactly as it was given. Empty when there
// is nothing to pass on.
struct ForwardedArguments {
  std::string mu;      // the `mu` token and its value, as typed
  std::string others;  // every token that is no option, in order
};

// The pointers point into the command-line buffer, which lives until the
// process ends; each is null when its option was not given.
struct Options {
  bool extract = false;
  bool update = false;
  // The directory of `extract` or the path of `update`.
  const char* target_path = nullptr;
  bool webinstall = false;
  bool silent = false;
  bool skip_app_launch = false;
  const char* log_file_path = nullptr;
  // The value of `url`, copied: replaces the address found in a web
  // installer's payload.
  std::optional<std::string> url;
  // The value of `mu`: appended after a "-" to the installation directory's
  // name.
  const char* mu_suffix = nullptr;
  ForwardedArguments forwarded;
};

}  // namespace zevrino::desktop::installer
