#include "tools/pack_installer/packer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/product_settings.h"
#include "payload/archive_writer.h"
#include "tools/pack_installer/download_description.h"
#include "tools/pack_installer/file_io.h"

namespace zevrino::desktop::packer {

namespace {

bool Fail(const std::string& file, const std::string& reason, std::string* error) {
  *error = Printable(file) + ": " + Printable(reason);
  return false;
}

// Windows compares names without regard to case, and so does the installer
// when it starts the application.
bool HoldsApplication(const std::vector<installer::ArchiveFile>& files) {
  const std::string expected = installer::kApplicationFileName;
  for (const installer::ArchiveFile& file : files) {
    if (file.name.size() == expected.size() &&
        std::equal(expected.begin(), expected.end(), file.name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string DescribePackSummary(const PackRequest& request, const PackSummary& summary) {
  const bool web = request.body.kind == BodySource::Kind::kWebUrl;
  const char* noun = web ? (summary.items == 1 ? "address" : "addresses")
                         : (summary.items == 1 ? "file" : "files");
  char ratio[32] = "";
  if (summary.bytes_in != 0) {
    std::snprintf(
        ratio, sizeof ratio, " (%.1f%%)",
        100.0 * static_cast<double>(summary.bytes_out) / static_cast<double>(summary.bytes_in));
  }
  return Printable(request.output_path) + ": " + std::to_string(summary.items) + " " + noun + ", " +
         std::to_string(summary.bytes_in) + " bytes in, " + std::to_string(summary.bytes_out) +
         " bytes out" + ratio + ", installer " + std::to_string(summary.installer_size) + " bytes";
}

bool Pack(const PackRequest& request, std::string* error, PackSummary* summary) {
  std::string reason;
  PackSummary made;
  // Reading everything before the output is created also makes "--output"
  // naming an input harmless, but it is refused anyway: it would destroy
  // the input.
  if (SameFile(request.output_path, request.stub_path) ||
      (request.body.kind == BodySource::Kind::kFile &&
       SameFile(request.output_path, request.body.value))) {
    return Fail(request.output_path, "output would overwrite an input", error);
  }
  // An installer written into the folder it packs would be packed by the
  // next run.
  if (request.body.kind == BodySource::Kind::kAppDir &&
      IsInside(request.output_path, request.body.value)) {
    return Fail(request.output_path, "output lies inside the application folder", error);
  }

  std::vector<std::uint8_t> stub;
  if (!ReadWholeFile(request.stub_path, &stub, &reason) || !CheckStub(stub, &reason)) {
    return Fail(request.stub_path, reason, error);
  }

  std::vector<std::uint8_t> content;
  switch (request.body.kind) {
    case BodySource::Kind::kFile:
      if (!ReadWholeFile(request.body.value, &content, &reason)) {
        return Fail(request.body.value, reason, error);
      }
      made.items = 1;
      break;
    case BodySource::Kind::kAppDir: {
      // The archive writer's reasons already name the file concerned.
      std::vector<installer::ArchiveFile> files;
      if (!installer::CollectArchiveFiles(request.body.value, &files, &reason)) {
        *error = Printable(reason);
        return false;
      }
      if (!request.allow_missing_exe && !HoldsApplication(files)) {
        return Fail(request.body.value,
                    std::string("holds no ") + installer::kApplicationFileName +
                        " at its top, so the installer would install nothing to start "
                        "(--allow-missing-exe packs it all the same)",
                    error);
      }
      if (!installer::WriteArchive(files, &content, &reason)) {
        *error = Printable(reason);
        return false;
      }
      made.items = files.size();
      break;
    }
    case BodySource::Kind::kWebUrl:
      if (request.body.addresses.empty()) {
        *error = "no download address given";
        return false;
      }
      content = BuildDownloadDescription(request.body.addresses);
      made.items = request.body.addresses.size();
      break;
    case BodySource::Kind::kNone:
      *error = "no body source given";
      return false;
  }

  std::vector<std::uint8_t> body;
  if (!EncodeBody(content.data(), content.size(), request.encoding, &body, &reason)) {
    return Fail(request.body.kind == BodySource::Kind::kWebUrl ? "--web-url" : request.body.value,
                reason, error);
  }
  made.bytes_in = content.size();
  made.bytes_out = body.size();
  content = std::vector<std::uint8_t>();  // release before the output is written

  PayloadFrame frame;
  if (!FramePayload(body.data(), body.size(), request.payload, &frame, &reason) ||
      !WriteInstaller(request.output_path, stub, frame, body.data(), body.size(), &reason)) {
    return Fail(request.output_path, reason, error);
  }
  made.installer_size = stub.size() + frame.head.size() + body.size() + frame.tail.size();
  if (summary != nullptr) {
    *summary = made;
  }
  return true;
}

}  // namespace zevrino::desktop::packer
