#pragma once
// The transfer of one download into a file, apart from WinINet and the file
// API so that its rules hold (and are tested) on any platform:
//
//   - before every read: stop with 19 when the user cancelled, then wait
//     while the cancel question is on screen (pause hook); a read that fails
//     because the user cancelled while it waited also gives 19;
//   - each read asks for kDownloadReadSize bytes, or for as many as the
//     source says it can hand out without waiting for more of the body (at
//     most kDownloadReadCap): a fast connection is read in few large calls,
//     a slow one still updates the progress and sees a cancel as often as
//     with small reads; a failed read gives 50;
//   - the body's first two bytes, however the reads split them, must be
//     "MZ", otherwise the attempt ends at once: 59 for an HTML page (a
//     network's sign-in page in place of the download), else 54
//     (download_failure.h);
//   - the end (a read of 0 bytes) gives 0 when the bytes written equal the
//     announced length, else 54 (also when no length was announced);
//   - a failed or short write gives 11.
//
// Lengths are 64-bit: a server announcing 4 GiB + 10 bytes and sending 10
// ends in 54, never in a "complete" 10-byte file.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "base/result_code.h"
#include "ui/download_progress.h"

namespace zevrino::desktop::installer {

constexpr std::uint32_t kDownloadReadSize = 16384;
// The read buffer, the only memory a download holds.
constexpr std::uint32_t kDownloadReadCap = 1024 * 1024;

class DownloadSource {
 public:
  virtual ~DownloadSource() = default;
  // Reads up to `capacity` bytes; *count = 0 means the body has ended.
  virtual bool Read(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* count) = 0;
  // How many bytes one Read can take now without waiting longer than a read
  // of kDownloadReadSize bytes would: the bytes already received, or any
  // number for a source whose reads never wait to fill their buffer. 0 when
  // not known.
  virtual std::uint64_t ReadyBytes() { return 0; }
};

// The size of the next read: kDownloadReadSize, or up to kDownloadReadCap
// when that many bytes are ready.
std::uint32_t DownloadReadSize(std::uint64_t ready_bytes);

class DownloadSink {
 public:
  virtual ~DownloadSink() = default;
  // True only when all `count` bytes were written.
  virtual bool Write(const std::uint8_t* buffer, std::uint32_t count) = 0;
  // Empties what was written, for a download that starts its file over;
  // false when it cannot.
  virtual bool Restart() { return false; }
  // Before the first byte of a body of `bytes`: 0 when there is room for
  // it, 12 when its volume has too little free space.
  virtual ResultCode CheckRoomFor(std::uint64_t /*bytes*/) { return kSuccess; }
};

// How long a download waits for a server that sends nothing, before the
// headers or within the body.
constexpr std::uint32_t kDownloadStallTimeoutMs = 30000;

// What a download shares with the window that shows it.
struct DownloadShared {
  DownloadProgressState* progress = nullptr;
  const std::atomic<bool>* cancel_requested = nullptr;
  // Called before every read; returns once the cancel question is answered.
  std::function<void()> wait_for_cancel_question;
  std::uint32_t stall_timeout_ms = kDownloadStallTimeoutMs;
  // Waits one second of a wait before a reconnect.
  std::function<void()> sleep_one_second;
};

// The most bytes a body without an announced length may bring (4 GiB): a
// full installer is far smaller, and the download folder's volume is not
// for filling.
constexpr std::uint64_t kMaxBodySize = std::uint64_t{4} << 30;

// Copies the body of a response whose status was 200 and whose announced
// length is `content_length` (0: none) from `source` into `sink`. Sets
// bytes expected and resets bytes received first, then adds every written
// block to bytes received.
ResultCode CopyDownload(DownloadSource* source, DownloadSink* sink, std::uint64_t content_length,
                        const DownloadShared& shared);

// What copying one piece of a download came to.
struct CopyOutcome {
  ResultCode result = kSuccess;
  std::uint64_t written = 0;  // bytes of the file written so far, the piece's offset included
  // The body stopped before the announced length: a read failed (50, the
  // connection reset or went silent) or the body ended short (54). Asking
  // for the rest may complete it.
  bool stopped_short = false;
};

// As CopyDownload, for a body that continues the file at `offset` (0: the
// whole file) whose whole length is `length`: bytes expected become
// `length` and bytes received `offset`, so that the progress of a resumed
// download goes on from where it was. The first two bytes of the file are
// judged only in a piece that starts before them; `content_type` is the
// answer's Content-Type, which tells an HTML page from other bytes.
CopyOutcome CopyDownloadPiece(DownloadSource* source, DownloadSink* sink, std::uint64_t length,
                              std::uint64_t offset, const DownloadShared& shared,
                              const std::string& content_type = std::string());

// The announced length from a Content-Length header value: decimal digits,
// optionally surrounded by blanks, up to 2^64 - 1. Anything else (also an
// empty or overflowing value) reads as 0, "no length", which makes a
// non-empty download end in 54.
std::uint64_t ParseContentLength(const char* value);

// The decimal digits at *text as a 64-bit number, *text moved past them.
// False when there is no digit or the number does not fit.
bool ReadDecimal(const char** text, std::uint64_t* value);

}  // namespace zevrino::desktop::installer
