#include "tools/pack_installer/command_line.h"

#include "payload/payload_container.h"
#include "tools/pack_installer/download_description.h"

namespace zevrino::desktop::packer {

namespace {

bool IsHelpFlag(const std::string& arg) {
  return arg == "--help" || arg == "-h";
}

// Splits "--name=value" into name and value; other arguments stay whole.
void SplitInlineValue(const std::string& arg, std::string* name, std::string* value,
                      bool* has_value) {
  const std::size_t equals = arg.find('=');
  if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
    *name = arg.substr(0, equals);
    *value = arg.substr(equals + 1);
    *has_value = true;
  } else {
    *name = arg;
    value->clear();
    *has_value = false;
  }
}

bool ParseUnsigned(const std::string& text, std::uint64_t max, std::uint64_t* out) {
  if (text.empty() || text.size() > 10) {
    return false;
  }
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > max) {
    return false;
  }
  *out = value;
  return true;
}

// "0" to "9", optionally followed by "e".
bool ParsePreset(const std::string& text, BodyOptions* options) {
  if (text.empty() || text.size() > 2 || text[0] < '0' || text[0] > '9') {
    return false;
  }
  if (text.size() == 2 && text[1] != 'e') {
    return false;
  }
  options->preset = static_cast<std::uint32_t>(text[0] - '0');
  options->extreme = text.size() == 2;
  return true;
}

bool ParsePack(const std::vector<std::string>& args, std::size_t first, PackRequest* request,
               std::string* error) {
  bool stored = false;
  bool allow_http = false;
  bool preset_given = false;
  bool filter_given = false;
  for (std::size_t i = first; i < args.size(); ++i) {
    std::string name, value;
    bool has_value = false;
    SplitInlineValue(args[i], &name, &value, &has_value);
    auto take_value = [&]() -> bool {
      if (has_value) {
        return true;
      }
      if (i + 1 >= args.size()) {
        *error = Printable(name) + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    auto no_value = [&]() -> bool {
      if (has_value) {
        *error = Printable(name) + " takes no value";
        return false;
      }
      return true;
    };

    if (name == "--stub" || name == "--output") {
      if (!take_value()) {
        return false;
      }
      if (value.empty()) {
        *error = Printable(name) + " needs a non-empty path";
        return false;
      }
      (name == "--stub" ? request->stub_path : request->output_path) = value;
    } else if (name == "--body" || name == "--app-dir" || name == "--web-url") {
      if (!take_value()) {
        return false;
      }
      if (value.empty()) {
        *error = Printable(name) + " needs a non-empty value";
        return false;
      }
      const BodySource::Kind kind = name == "--body"      ? BodySource::Kind::kFile
                                    : name == "--app-dir" ? BodySource::Kind::kAppDir
                                                          : BodySource::Kind::kWebUrl;
      // Addresses may be repeated; any other source only stands alone.
      if (request->body.kind != BodySource::Kind::kNone &&
          (kind != BodySource::Kind::kWebUrl || request->body.kind != kind)) {
        *error = "more than one body source given";
        return false;
      }
      request->body.kind = kind;
      if (kind != BodySource::Kind::kWebUrl) {
        request->body.value = value;
      } else if (!IsDownloadAddress(value)) {
        *error = "--web-url must be an https:// address (http:// with --allow-http): " +
                 Printable(value);
        return false;
      } else {
        request->body.addresses.push_back(value);
      }
    } else if (name == "--allow-http" || name == "--allow-missing-exe") {
      if (!no_value()) {
        return false;
      }
      (name == "--allow-http" ? allow_http : request->allow_missing_exe) = true;
    } else if (name == "--stored") {
      if (!no_value()) {
        return false;
      }
      stored = true;
      request->encoding.compression = Compression::kStored;
    } else if (name == "--preset") {
      if (!take_value()) {
        return false;
      }
      if (!ParsePreset(value, &request->encoding)) {
        *error = "--preset must be 0 to 9, optionally followed by e: " + Printable(value);
        return false;
      }
      preset_given = true;
    } else if (name == "--filter") {
      if (!take_value()) {
        return false;
      }
      if (value == "x86") {
        request->encoding.filter = BranchFilter::kX86;
      } else if (value == "none") {
        request->encoding.filter = BranchFilter::kNone;
      } else {
        *error = "--filter must be x86 or none: " + Printable(value);
        return false;
      }
      filter_given = true;
    } else if (name == "--web-installer") {
      if (!no_value()) {
        return false;
      }
      request->payload.flags |= installer::kWebInstaller;
    } else if (name == "--no-replace-prompt") {
      if (!no_value()) {
        return false;
      }
      request->payload.flags |= installer::kNoReplacePrompt;
    } else if (name == "--header-size") {
      if (!take_value()) {
        return false;
      }
      std::uint64_t size = 0;
      if (!ParseUnsigned(value, 65535, &size) || size < kMinHeaderSize) {
        *error = "--header-size must be 4 to 65535: " + Printable(value);
        return false;
      }
      request->payload.header_size = static_cast<std::uint16_t>(size);
    } else {
      *error = "unknown option for pack: " + Printable(args[i]);
      return false;
    }
  }

  if (stored && (preset_given || filter_given)) {
    *error = "--stored cannot be combined with --preset or --filter";
    return false;
  }
  if (request->stub_path.empty()) {
    *error = "pack needs --stub STUB";
    return false;
  }
  if (request->output_path.empty()) {
    *error = "pack needs --output OUT";
    return false;
  }
  if (request->body.kind == BodySource::Kind::kNone) {
    *error = "pack needs a body source: --app-dir DIR, --web-url URL or --body FILE";
    return false;
  }
  // Users' machines fetch the address on networks nobody vouches for, where
  // plain http can be read and answered by anyone on the way.
  for (const std::string& address : request->body.addresses) {
    if (!allow_http && !IsHttpsAddress(address)) {
      *error =
          "--web-url must be https: users' machines fetch it on untrusted networks "
          "(--allow-http for a test server): " +
          Printable(address);
      return false;
    }
  }
  // The flag tells the installer how to read the body, so the two must agree.
  if (request->body.kind == BodySource::Kind::kWebUrl) {
    request->payload.flags |= installer::kWebInstaller;
  } else if (request->body.kind == BodySource::Kind::kAppDir &&
             (request->payload.flags & installer::kWebInstaller)) {
    *error = "--web-installer needs a download description, not --app-dir";
    return false;
  }
  return true;
}

}  // namespace

std::string Printable(const std::string& text) {
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      const char* digits = "0123456789ABCDEF";
      out += "\\x";
      out += digits[byte >> 4];
      out += digits[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

bool ParseCommandLine(const std::vector<std::string>& args, Command* command, std::string* error) {
  *command = Command();
  if (args.empty()) {
    *error = "no command given";
    return false;
  }
  const std::string& verb = args[0];
  if (IsHelpFlag(verb) || verb == "help") {
    if (args.size() > 2) {
      *error = "help takes at most one command name";
      return false;
    }
    command->kind = Command::Kind::kHelp;
    if (args.size() == 2) {
      const std::string& topic = args[1];
      if (topic != "pack" && topic != "list" && topic != "verify") {
        *error = "no help for unknown command: " + Printable(topic);
        return false;
      }
      command->help_topic = topic;
    }
    return true;
  }
  if (verb != "pack" && verb != "list" && verb != "verify") {
    *error = "unknown command: " + Printable(verb);
    return false;
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (IsHelpFlag(args[i])) {
      command->kind = Command::Kind::kHelp;
      command->help_topic = verb;
      return true;
    }
  }
  if (verb == "pack") {
    command->kind = Command::Kind::kPack;
    return ParsePack(args, 1, &command->pack, error);
  }
  command->kind = verb == "list" ? Command::Kind::kList : Command::Kind::kVerify;
  if (args.size() != 2 || args[1].empty()) {
    *error = verb + " needs exactly one installer path";
    return false;
  }
  command->installer_path = args[1];
  return true;
}

std::string HelpText(const std::string& topic) {
  if (topic == "pack") {
    return "usage: pack_installer pack --stub STUB --output OUT BODY-SOURCE [options]\n"
           "\n"
           "Appends a payload to the installer stub STUB and writes the installer to OUT.\n"
           "OUT is written under a temporary name beside it and renamed when complete.\n"
           "On success prints one line: OUT, the files (or addresses) packed, the bytes\n"
           "in and out of the encoding with their ratio, and the installer's size.\n"
           "STUB must be unsigned: sign the packed installer, never the stub before it.\n"
           "\n"
           "Body source (exactly one):\n"
           "  --app-dir DIR         package archive of the application folder DIR, which\n"
           "                        must hold Zevrino.exe at its top\n"
           "  --web-url URL         web installer downloading the full installer from URL\n"
           "                        (https; [ARCH] is replaced by the machine's\n"
           "                        architecture); sets the WebInstaller flag. Given twice\n"
           "                        or more, every address is stored in order and the\n"
           "                        installer downloads from the second\n"
           "  --body FILE           the body's bytes, packed as they are\n"
           "\n"
           "Checks:\n"
           "  --allow-missing-exe   pack an application folder without Zevrino.exe\n"
           "  --allow-http          accept http:// download addresses (a test server only:\n"
           "                        users' machines fetch the address on untrusted networks)\n"
           "\n"
           "Encoding:\n"
           "  --preset 0-9[e]       LZMA1 preset, e for the extreme variant (default 6);\n"
           "                        the dictionary is always 32 MiB\n"
           "  --filter x86|none     branch filter before compression (default x86)\n"
           "  --stored              store the body without compression\n"
           "\n"
           "Payload header:\n"
           "  --web-installer       the body is a download description (flag bit 0);\n"
           "                        implied by --web-url\n"
           "  --no-replace-prompt   never ask before replacing an installation (flag bit 1)\n"
           "  --header-size N       header size in bytes, 4 to 65535 (default 4)\n";
  }
  if (topic == "list") {
    return "usage: pack_installer list INSTALLER\n"
           "\n"
           "Shows where the payload lies, its header size and flags, whether its digest\n"
           "holds, how the body is encoded and the size it decodes to, where a\n"
           "certificate table lies (list does not check it), and the body's contents:\n"
           "a full installer's files or a web installer's download addresses.\n";
  }
  if (topic == "verify") {
    return "usage: pack_installer verify INSTALLER\n"
           "\n"
           "Opens the payload as the installer does, checks its digest and decodes the\n"
           "whole body; shows a web installer's download addresses. Then checks the\n"
           "Authenticode signature, if any: recomputes the image digest with the\n"
           "signature's algorithm and compares it with the signed one, checks the\n"
           "signer's signature over it and the timestamp's, shows the signer's subject\n"
           "and issuer, the timestamp, and whether the payload lies inside the signed\n"
           "bytes. Whether the signer is trusted is not decided here: Windows decides\n"
           "it from the certificate chain when the file starts.\n"
           "\n"
           "Exits with 0 when the payload is valid and the file is unsigned or its\n"
           "signature intact; 1 otherwise (a changed byte, bytes appended after the\n"
           "signature, an unreadable signature, or one this build cannot check).\n";
  }
  return "usage: pack_installer COMMAND [ARGS]\n"
         "\n"
         "Commands:\n"
         "  pack      append a payload to an unsigned installer stub\n"
         "  list      describe the payload of an installer\n"
         "  verify    check the payload and the signature of an installer\n"
         "  help      show this text, or help COMMAND for one command\n"
         "\n"
         "Release order: pack, then sign the packed installer (osslsigncode or\n"
         "signtool), then verify it.\n"
         "\n"
         "Exit codes: 0 success, 1 failure, 2 usage error.\n";
}

}  // namespace zevrino::desktop::packer
