#include "tools/pack_installer/packer.h"

#include <cstdint>
#include <vector>

#include "payload/archive_writer.h"
#include "tools/pack_installer/download_description.h"
#include "tools/pack_installer/file_io.h"

namespace zevrino::desktop::packer {

namespace {

bool Fail(const std::string& file, const std::string& reason, std::string* error) {
  *error = Printable(file) + ": " + Printable(reason);
  return false;
}

}  // namespace

bool Pack(const PackRequest& request, std::string* error) {
  std::string reason;
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
      break;
    case BodySource::Kind::kAppDir: {
      // The archive writer's reasons already name the file concerned.
      std::vector<installer::ArchiveFile> files;
      if (!installer::CollectArchiveFiles(request.body.value, &files, &reason) ||
          !installer::WriteArchive(files, &content, &reason)) {
        *error = Printable(reason);
        return false;
      }
      break;
    }
    case BodySource::Kind::kWebUrl:
      content = BuildDownloadDescription(request.body.value);
      break;
    case BodySource::Kind::kNone:
      *error = "no body source given";
      return false;
  }

  std::vector<std::uint8_t> body;
  if (!EncodeBody(content.data(), content.size(), request.encoding, &body, &reason)) {
    return Fail(request.body.value, reason, error);
  }
  content = std::vector<std::uint8_t>();  // release before the output is written

  PayloadFrame frame;
  if (!FramePayload(body.data(), body.size(), request.payload, &frame, &reason) ||
      !WriteInstaller(request.output_path, stub, frame, body.data(), body.size(), &reason)) {
    return Fail(request.output_path, reason, error);
  }
  return true;
}

}  // namespace zevrino::desktop::packer
