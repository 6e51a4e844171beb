#pragma once
// Command line of pack_installer:
//
//   pack_installer pack --stub STUB --output OUT BODY-SOURCE [options]
//   pack_installer list INSTALLER
//   pack_installer verify INSTALLER
//   pack_installer --help | help [COMMAND] | COMMAND --help
//
// The body of a payload comes from exactly one body source: --app-dir DIR
// (the package archive of an application folder, which must hold
// Zevrino.exe unless --allow-missing-exe), --web-url URL, given once or more
// (the download description of a web-install build, which also sets the
// WebInstaller flag; https only unless --allow-http) or --body FILE (bytes
// prepared elsewhere, as they are). Options take their value as the next
// argument or after "=".

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/pack_installer/body_encoder.h"
#include "tools/pack_installer/payload_writer.h"

namespace zevrino::desktop::packer {

struct BodySource {
  enum class Kind { kNone, kFile, kAppDir, kWebUrl };
  BodySource() = default;
  BodySource(Kind source_kind, std::string path) : kind(source_kind), value(std::move(path)) {}
  Kind kind = Kind::kNone;
  std::string value;                   // kFile, kAppDir: the path or folder
  std::vector<std::string> addresses;  // kWebUrl: in the order given
};

struct PackRequest {
  std::string stub_path;
  std::string output_path;
  BodySource body;
  BodyOptions encoding;
  PayloadOptions payload;
  // An application folder without Zevrino.exe packs an installer that
  // installs nothing the user can start; only a test or a special build
  // asks for one.
  bool allow_missing_exe = false;
};

struct Command {
  enum class Kind { kHelp, kPack, kList, kVerify };
  Kind kind = Kind::kHelp;
  std::string help_topic;      // kHelp: "" or a command name
  PackRequest pack;            // kPack
  std::string installer_path;  // kList, kVerify
};

// Parses the arguments after the program name. On a usage error returns
// false with a one-line message in *error.
bool ParseCommandLine(const std::vector<std::string>& args, Command* command, std::string* error);

// `text` with control characters written as \xNN, so that an echoed
// argument or path cannot break a one-line message.
std::string Printable(const std::string& text);

// Help text for "" (overview) or a command name.
std::string HelpText(const std::string& topic);

}  // namespace zevrino::desktop::packer
