#include "tools/pack_installer/pack_installer_app.h"

#include <cstdint>
#include <cstdio>

#include "payload/archive_reader.h"
#include "payload/payload_container.h"
#include "payload/payload_decoder.h"
#include "tools/pack_installer/command_line.h"
#include "tools/pack_installer/download_description.h"
#include "tools/pack_installer/file_io.h"
#include "tools/pack_installer/installer_info.h"
#include "tools/pack_installer/packer.h"
#include "tools/pack_installer/progress_line.h"
#include "tools/pack_installer/signature_check.h"

namespace zevrino::desktop::packer {

namespace {

constexpr const char kPrefix[] = "pack_installer: ";
// Where the values of list's and verify's labelled lines start.
constexpr std::size_t kListColumn = 16;
constexpr std::size_t kVerifyColumn = 12;

std::string Hex16(std::uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04x", static_cast<unsigned>(value));
  return text;
}

std::string FlagNames(std::uint16_t flags) {
  std::string names;
  auto add = [&](const char* name) {
    names += names.empty() ? "" : ", ";
    names += name;
  };
  if (flags & installer::kWebInstaller) {
    add("WebInstaller");
  }
  if (flags & installer::kNoReplacePrompt) {
    add("NoReplacePrompt");
  }
  if (flags & ~(installer::kWebInstaller | installer::kNoReplacePrompt)) {
    add("unknown bits");
  }
  return names.empty() ? "none" : names;
}

std::string DescribeEncoding(const BodyInfo& body) {
  if (!body.readable) {
    return "unreadable";
  }
  if (body.declared_size == 0) {
    return "stored";
  }
  std::string text = "LZMA1";
  text += body.filter == 0   ? ", no filter"
          : body.filter == 1 ? ", x86 filter"
                             : ", unknown filter " + std::to_string(body.filter);
  if (body.has_properties) {
    text += ", lc " + std::to_string(body.lc) + " lp " + std::to_string(body.lp) + " pb " +
            std::to_string(body.pb) + ", dictionary " + std::to_string(body.dictionary_size);
  } else {
    text += ", properties missing";
  }
  return text;
}

void PrintInfo(const std::string& path, const InstallerInfo& info, std::ostream& out) {
  out << "installer:      " << path << "\n"
      << "file size:      " << info.file_size << "\n"
      << "payload offset: " << info.payload_offset << "\n"
      << "payload size:   " << info.payload_size << "\n"
      << "signature:      " << DescribeSignature(info) << "\n"
      << "header size:    " << info.header_size << "\n"
      << "flags:          " << Hex16(info.flags) << " (" << FlagNames(info.flags) << ")\n"
      << "digest:         " << (info.digest_valid ? "valid" : "INVALID") << "\n"
      << "body encoding:  " << DescribeEncoding(info.body) << "\n";
  if (info.body.readable) {
    out << "encoded size:   " << info.body.encoded_size << "\n"
        << "decoded size:   " << info.body.decoded_size() << "\n";
  }
}

// The addresses of a web installer's download description, the one the
// installer downloads from marked, each value at `column`.
void PrintAddresses(const std::vector<std::uint8_t>& body, std::size_t column, std::ostream& out) {
  std::vector<std::string> addresses;
  if (!ReadDownloadAddresses(body.data(), body.size(), &addresses)) {
    out << "addresses:" << std::string(column - 10, ' ')
        << "none (the body is not a download description)\n";
    return;
  }
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    const std::string label = "address " + std::to_string(i + 1) + ":";
    out << label << std::string(label.size() < column ? column - label.size() : 1, ' ')
        << Printable(addresses[i])
        << (i == UsedAddressIndex(addresses.size()) ? " (downloaded)" : "") << "\n";
  }
}

// The entries of a full installer's archive with their sizes. Names are
// printed as stored (UTF-8); a body packed from a plain file may hold no
// archive.
void PrintArchiveEntries(const std::vector<std::uint8_t>& body, std::ostream& out) {
  installer::PayloadReader archive(body.data(), body.data() + body.size());
  std::uint32_t version = 0;
  if (!archive.ReadVarint(&version) || version != installer::kArchiveVersion ||
      !archive.Skip(installer::kArchiveDigestSize)) {
    out << "archive:        none (the body is not a package archive)\n";
    return;
  }
  out << "archive:        version " << version << "\n";
  std::uint64_t count = 0;
  std::uint64_t total = 0;
  while (archive.Remaining() != 0) {
    std::uint32_t name_length = 0;
    std::uint32_t size = 0;
    installer::PayloadReader name;
    if (!archive.ReadVarint(&name_length) || !archive.Take(name_length, &name) ||
        !archive.ReadVarint(&size) || !archive.Skip(size)) {
      out << "  (malformed entry after " << count << " entries)\n";
      return;
    }
    char size_text[24];
    std::snprintf(size_text, sizeof size_text, "%12lu  ", static_cast<unsigned long>(size));
    out << "  " << size_text
        << Printable(std::string(reinterpret_cast<const char*>(name.position()), name_length))
        << "\n";
    ++count;
    total += size;
  }
  out << "entries:        " << count << " files, " << total << " bytes\n";
}

// What the body holds: a web installer's addresses or a full installer's
// archive entries; values start at `column`.
void PrintBodyContents(const std::vector<std::uint8_t>& file, std::size_t column,
                       std::ostream& out) {
  installer::PayloadReader reader(file.data(), file.data() + file.size());
  std::uint16_t flags = 0;
  installer::ErrorCode error;
  if (!installer::OpenPayload(&reader, &flags, error)) {
    return;
  }
  std::vector<std::uint8_t> body;
  if (!installer::DecodePayloadBody(reader, &body, error)) {
    out << "body:           does not decode (code " << error.value() << ")\n";
    return;
  }
  if (flags & installer::kWebInstaller) {
    PrintAddresses(body, column, out);
  } else {
    PrintArchiveEntries(body, out);
  }
}

bool ReadInstaller(const std::string& path, std::vector<std::uint8_t>* file, std::ostream& err) {
  std::string reason;
  if (!ReadWholeFile(path, file, &reason)) {
    err << kPrefix << Printable(path) << ": " << reason << "\n";
    return false;
  }
  return true;
}

int RunList(const std::string& path, std::ostream& out, std::ostream& err) {
  std::vector<std::uint8_t> file;
  if (!ReadInstaller(path, &file, err)) {
    return kExitFailure;
  }
  InstallerInfo info;
  installer::ErrorCode error;
  if (!InspectInstaller(file.data(), file.size(), &info, error)) {
    const installer::ResultCode code = installer::ToResultCode(error, installer::kPayloadNotFound);
    err << kPrefix << Printable(path) << ": " << PayloadErrorText(code) << " (code "
        << installer::ResultNumber(code) << "); " << DescribeSignature(info) << "\n";
    return kExitFailure;
  }
  PrintInfo(path, info, out);
  if (info.digest_valid) {
    PrintBodyContents(file, kListColumn, out);
  }
  return kExitSuccess;
}

// The signature's line, and whether it lets verify succeed.
std::string DescribeSignatureCheck(const SignatureReport& report, bool* acceptable) {
  *acceptable = false;
  std::string text;
  switch (report.state) {
    case SignatureState::kUnsigned:
      *acceptable = true;
      return "none (the file is not signed)";
    case SignatureState::kIntact:
      *acceptable = report.appended_size == 0;
      text = "intact: the file's " + report.digest_algorithm +
             " image digest equals the signed one, and the signer's signature over it holds";
      break;
    case SignatureState::kImageChanged:
      text = "BROKEN: the file's " + report.digest_algorithm +
             " image digest differs from the signed one: signed bytes were changed after "
             "signing";
      break;
    case SignatureState::kUnreadable:
      text = "UNREADABLE: " + report.problem;
      break;
    case SignatureState::kNotChecked:
      text = "NOT CHECKED: " + report.problem;
      break;
  }
  if (report.appended_size != 0) {
    return "BROKEN: " + std::to_string(report.appended_size) +
           " bytes were appended after the signature, so Windows sees no valid signature "
           "(before them: " +
           text + ")";
  }
  return text;
}

int RunVerify(const std::string& path, std::ostream& out, std::ostream& err) {
  std::vector<std::uint8_t> file;
  if (!ReadInstaller(path, &file, err)) {
    return kExitFailure;
  }
  InstallerInfo info;
  std::uint64_t decoded_size = 0;
  const installer::ResultCode code =
      VerifyInstaller(file.data(), file.size(), &info, &decoded_size);
  const SignatureReport signature = CheckSignature(file.data(), file.size());
  std::vector<std::string> failures;

  out << "installer:  " << Printable(path) << "\n";
  if (code == installer::kSuccess) {
    out << "payload:    valid, " << decoded_size << " bytes decoded, ends at " << info.payload_end
        << "\n";
    if (info.flags & installer::kWebInstaller) {
      PrintBodyContents(file, kVerifyColumn, out);
    }
  } else {
    failures.push_back(std::string(PayloadErrorText(code)) + " (code " +
                       std::to_string(installer::ResultNumber(code)) + ")");
    out << "payload:    " << failures.back() << "\n";
  }
  bool acceptable = false;
  const std::string verdict = DescribeSignatureCheck(signature, &acceptable);
  out << "signature:  " << verdict << "\n";
  if (!acceptable) {
    failures.push_back("signature " + verdict);
  }
  if (signature.state != SignatureState::kUnsigned) {
    if (info.payload_end != 0 && signature.signed_end != 0) {
      out << "signed:     bytes 0 to " << signature.signed_end << "; the payload (ending at "
          << info.payload_end << ") lies "
          << (info.payload_end <= signature.signed_end ? "inside them" : "OUTSIDE them") << "\n";
    }
    if (!signature.subject.empty()) {
      out << "signer:     " << Printable(signature.subject) << "\n"
          << "issuer:     " << Printable(signature.issuer) << "\n"
          << "timestamp:  "
          << (signature.timestamp.empty() ? "none" : Printable(signature.timestamp)) << "\n";
    }
    if (signature.timestamp_broken) {
      failures.push_back("timestamp " + signature.timestamp);
    }
    out << "trust:      not decided here: Windows decides it when the file starts, from the "
           "certificate chain\n";
  }
  if (!failures.empty()) {
    std::string joined;
    for (const std::string& failure : failures) {
      joined += (joined.empty() ? "" : "; ") + failure;
    }
    err << kPrefix << Printable(path) << ": " << joined << "\n";
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace

int RunPackInstaller(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     bool show_progress) {
  Command command;
  std::string error;
  if (!ParseCommandLine(args, &command, &error)) {
    err << kPrefix << error << " (see pack_installer --help)\n";
    return kExitUsage;
  }
  switch (command.kind) {
    case Command::Kind::kHelp:
      out << HelpText(command.help_topic);
      return kExitSuccess;
    case Command::Kind::kList:
      return RunList(command.installer_path, out, err);
    case Command::Kind::kVerify:
      return RunVerify(command.installer_path, out, err);
    case Command::Kind::kPack: {
      bool line_open = false;
      if (show_progress) {
        command.pack.encoding.progress = [&](std::uint64_t done, std::uint64_t total) {
          err << FormatProgressLine(done, total) << std::flush;
          line_open = true;
        };
      }
      PackSummary summary;
      const bool packed = Pack(command.pack, &error, &summary);
      if (line_open) {
        err << "\n";
      }
      if (!packed) {
        err << kPrefix << error << "\n";
        return kExitFailure;
      }
      out << DescribePackSummary(command.pack, summary) << "\n";
      return kExitSuccess;
    }
  }
  return kExitFailure;
}

}  // namespace zevrino::desktop::packer
