#include "payload/extract_archive.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>

#include "files/disk_space.h"
#include "payload/archive_reader.h"
#include "payload/body_decoding_thread.h"
#include "payload/payload_decoder.h"

namespace zevrino::desktop::installer {
namespace {

// The most bytes NextArchiveEntry reads before an entry's content: name
// length, name, content length.
constexpr std::size_t kMaxEntryHeaderSize = kMaxVarintSize + kMaxArchiveNameLength + kMaxVarintSize;

// Below this size the decoded body is freed about as fast as a thread starts.
constexpr std::size_t kReleaseOnThreadFrom = 2 << 20;

// True once the archive's bytes before `end` may be read (waiting for them if
// they are still being decoded); false when they never will be.
using AvailableFunction = std::function<bool(const std::uint8_t* end)>;

bool Available(const PayloadReader& reader, std::size_t count, const AvailableFunction& available) {
  return available(reader.position() + std::min(count, reader.Remaining()));
}

// The decoder and the archive reader report result codes; anything else is
// taken for a body that did not decode.
ResultCode ToResult(const ErrorCode& error) {
  return ToResultCode(error, kPayloadDecodeFailed);
}

// Stages every entry once its last byte is available. Stops at the first
// malformed entry (8) or failed AddFile, and before an entry once the user
// has cancelled (19). When bytes never become available it returns 3, which
// the caller replaces by the decoding's own code.
ResultCode StageEntries(PayloadReader archive, TransactedFileInstaller& installer,
                        const AvailableFunction& available, const CancelPoints& cancel) {
  for (;;) {
    if (cancel.Requested()) {
      return kCancelled;
    }
    if (!Available(archive, kMaxEntryHeaderSize, available)) {
      return kPayloadDecodeFailed;
    }
    std::wstring name;
    PayloadReader content;
    ErrorCode error;
    if (!NextArchiveEntry(&archive, &name, &content, error)) {
      return error ? ToResult(error) : kSuccess;
    }
    if (!available(content.end())) {
      return kPayloadDecodeFailed;
    }
    const ResultCode result =
        installer.AddFile(name, ByteRange{content.position(), content.Remaining()});
    if (result != kSuccess) {
      return result;
    }
  }
}

ResultCode CommitStaged(TransactedFileInstaller& installer) {
  const ResultCode result = installer.ScheduleObsoleteFileRemoval();
  if (result != kSuccess) {
    return result;
  }
  return installer.Commit();
}

// Checks the archive's version and digest, then prepares the installer and
// stages the entries as they become available. The installer is made only
// for an archive of the right version, as a failed check changes nothing.
ResultCode StageArchive(PayloadReader archive, const AvailableFunction& available,
                        const std::wstring& target, FileSystem& file_system,
                        const ExtractOptions& options,
                        std::optional<TransactedFileInstaller>& installer) {
  std::uint32_t version = 0;
  std::uint8_t digest[kArchiveDigestSize];
  if (!Available(archive, kMaxVarintSize + kArchiveDigestSize, available)) {
    return kPayloadDecodeFailed;
  }
  if (!archive.ReadVarint(&version) || !archive.ReadBytes(digest, sizeof digest)) {
    return kPayloadHeaderUnreadable;
  }
  if (version != kArchiveVersion) {
    return kPayloadNotFound;
  }
  installer.emplace(file_system, target);
  if (options.parked_files != nullptr) {
    installer->DeferBackupDeletion();
  }
  for (const std::wstring& name : options.guarded_names) {
    installer->GuardName(name);
  }
  const ResultCode result = installer->Prepare();
  if (result != kSuccess) {
    return result;
  }
  return StageEntries(archive, *installer, available, options.cancel);
}

}  // namespace

// The body is decoded on a second thread while this one stages each entry
// as soon as its bytes are final, so writing the files overlaps decoding.
// Nothing is committed before the whole body has decoded, and a decoding
// failure wins over whatever staging found while the decoding went on, so
// every outcome on disk is that of decoding first and installing
// afterwards. Once staging has failed, the decoding stops at once: an
// archive refused at its first bytes, or a full disk, is not worth hundreds
// of megabytes of decoding (the body's digest has matched, so what it
// decodes to is what the packer wrote).
ResultCode ExtractArchive(const std::wstring& target, const PayloadReader& payload_body,
                          FileSystem& file_system, const ExtractOptions& options) {
  PayloadBodyHeader header;
  ErrorCode error;
  if (!ReadPayloadBodyHeader(payload_body, &header, error)) {
    return ToResult(error);
  }
  const CancelPoints& cancel = options.cancel;
  // A cancel the user confirmed before the install began (while the running
  // application was being closed, say) wins over whatever comes next.
  if (cancel.Requested()) {
    return kCancelled;
  }
  // Before anything is written, the target's directory included.
  const ResultCode space = CheckFreeSpace(file_system, target, header.OutputSize());
  if (space != kSuccess) {
    return space;
  }
  std::atomic<bool> staging_failed{false};
  BodyDecodingThread body;
  if (!body.Start(header, error, [&cancel, &staging_failed] {
        return cancel.Requested() || staging_failed.load(std::memory_order_relaxed);
      })) {
    return ToResult(error);
  }
  const std::uint8_t* const begin = body.data();
  const AvailableFunction available = [&body, begin](const std::uint8_t* end) {
    return body.WaitFor(static_cast<std::size_t>(end - begin));
  };
  // Declared after the body, so it is destroyed (rolling back whatever is
  // not committed) before the decoded bytes are freed.
  std::optional<TransactedFileInstaller> installer;
  const ResultCode staged = StageArchive(PayloadReader(begin, begin + body.size()), available,
                                         target, file_system, options, installer);
  // Bytes that never became available mean the decoding failed: its own
  // code is the one to give.
  const bool stop_decoding = staged != kSuccess && staged != kPayloadDecodeFailed;
  staging_failed.store(stop_decoding, std::memory_order_relaxed);
  const bool decoded = body.Finish(error);
  // A user who cancelled is not shown why the install could not have gone
  // on anyway.
  if (cancel.Requested()) {
    return kCancelled;
  }
  if (stop_decoding) {
    return staged;
  }
  if (!decoded) {
    return ToResult(error);
  }
  if (staged != kSuccess) {
    return staged;
  }
  // Nothing in the installation has changed yet; from here on it will.
  if (!cancel.MayCommit()) {
    return kCancelled;
  }
  // Every entry is on disk under its staged name, so the decoded bytes are
  // no longer needed; giving hundreds of megabytes back to the system takes
  // a while, done meanwhile on another thread.
  std::thread releasing;
  if (body.size() >= kReleaseOnThreadFrom) {
    try {
      releasing = std::thread([&body] { body.ReleaseOutput(); });
    } catch (const std::system_error&) {
      // Freed by the body's destructor.
    }
  }
  const ResultCode result = CommitStaged(*installer);
  if (releasing.joinable()) {
    releasing.join();
  }
  if (result == kSuccess && options.parked_files != nullptr) {
    const std::vector<std::wstring>& parked = installer->ParkedFiles();
    options.parked_files->insert(options.parked_files->end(), parked.begin(), parked.end());
  }
  if (result == kSuccess && options.installed_bytes != nullptr) {
    *options.installed_bytes = installer->StagedBytes();
  }
  return result;
}

ResultCode InstallArchiveEntries(PayloadReader archive, TransactedFileInstaller& installer) {
  ResultCode result = installer.Prepare();
  if (result != kSuccess) {
    return result;
  }
  result = StageEntries(archive, installer, [](const std::uint8_t*) { return true; }, {});
  if (result != kSuccess) {
    return result;
  }
  return CommitStaged(installer);
}

}  // namespace zevrino::desktop::installer
