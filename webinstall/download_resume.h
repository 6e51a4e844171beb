#pragma once
// A download whose body stops before its announced length resumes within
// the same attempt, apart from WinINet so that the rule is tested natively:
//
//   - what counts as a drop: a read that fails (50: the connection reset or
//     went silent) or a body that ends short (54), with a length announced
//     and past the first two bytes, which are judged together; a cancel, a
//     body that is no executable, a failed write or a body without length
//     is no drop;
//   - the download then reconnects and asks for the rest, "Range: bytes=N-",
//     at most kMaxResumes times per download; a reconnect that cannot open
//     counts as one of them;
//   - an answer 206 whose Content-Range is "bytes N-(L-1)/L", with N where
//     the file stands and L the length announced at first, continues the
//     file; 200 is the whole file again and starts the file over with it;
//     anything else starts the file over (emptied, the next reconnect asks
//     for all of it);
//   - the progress goes on from N, so the bar and the time left continue.
//
// Nothing here proves that the pieces belong to one file beyond the length:
// the signature check of the finished file does (download_trust.h).

#include <cstdint>
#include <string>

#include "installer/result_code.h"
#include "webinstall/download_loop.h"

namespace zevrino::desktop::installer {

constexpr int kMaxResumes = 5;

// A Content-Range header value: "bytes first-last/total".
struct ContentRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::uint64_t total = 0;
};

// False for anything but "bytes first-last/total" with first <= last <
// total (blanks around it and more than one blank after "bytes" allowed),
// "bytes */total" of a range not satisfiable included.
bool ParseContentRange(const std::string& value, ContentRange* range);

// The request header that asks for the file from byte `from` on:
// "Range: bytes=<from>-\r\n".
std::string RangeRequestHeader(std::uint64_t from);

// What an answer to a request says about the body that follows.
struct DownloadAnswer {
  unsigned status = 0;
  std::uint64_t content_length = 0;  // 0: none announced
  std::string content_range;         // empty: none
};

enum class ResumeAnswer {
  kRest,       // the body continues the file at `from`
  kWholeFile,  // the body is the whole file
  kNothing,    // nothing usable: start the file over
};

// What the answer to a request for the file from `from` on (0: all of it)
// brings, for a file announced with `length` bytes.
ResumeAnswer JudgeResumeAnswer(const DownloadAnswer& answer, std::uint64_t from,
                               std::uint64_t length);

// The requests of one download.
class DownloadConnection {
 public:
  virtual ~DownloadConnection() = default;
  // Asks for the file from byte `from` on (0: all of it, without a Range
  // header). 0 with *answer filled and Body() ready to read; 19 when the
  // user cancelled; 52 when it could not be opened.
  virtual ResultCode Open(std::uint64_t from, DownloadAnswer* answer) = 0;
  // The body of the answer Open last brought.
  virtual DownloadSource* Body() = 0;
};

// The whole download into `sink`: the first answer must be 200 (else 51),
// then its body, resumed by the rules above. 0, or the code of the last
// failure: 11, 19, 50, 51, 52 or 54.
ResultCode DownloadWithResume(DownloadConnection* connection, DownloadSink* sink,
                              const DownloadShared& shared);

}  // namespace zevrino::desktop::installer
