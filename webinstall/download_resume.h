#pragma once
// A download whose body stops before its announced length resumes, apart
// from WinINet so that the rule is tested natively:
//
//   - what counts as a drop: a read that fails (50: the connection reset or
//     went silent) or a body that ends short (54), with a length announced
//     and past the first two bytes, which are judged together; a cancel, a
//     body that is no executable, a failed write or a body without length
//     is no drop;
//   - the download then waits 1, 2, 4, 8 and 16 s (cancellable, the
//     progress window keeping its bar and showing the wait) and reconnects,
//     asking for the rest: "Range: bytes=N-", with "If-Range:" and the
//     validator of the answer that brought the file (its strong ETag, else
//     its Last-Modified) when it had one; at most kMaxResumes reconnects per
//     attempt, one that cannot open counting as one of them;
//   - an answer 206 whose Content-Range is "bytes N-(L-1)/L", with N where
//     the file stands and L the length announced at first, continues the
//     file; 200 (the file changed, or the server ignores ranges) starts the
//     file over with it; 416 ends the attempt with 54; anything else starts
//     the file over (emptied, the next reconnect asks for all of it);
//   - a reconnect is worth making only while the file gets further: a body
//     that stops again at the same offset or before it ends the attempt with
//     54, and so does a second start from zero within one attempt, so that a
//     server that always sends one byte too few costs two requests, and one
//     pass never receives twice the file's size;
//   - the file is kept across the attempts of one pass (DownloadPass): the
//     next attempt asks for the rest with If-Range when it has a validator,
//     else starts over;
//   - before the first byte of a body that starts the file, the sink is
//     asked whether its volume has room for the announced length (12 when
//     not); an announced length, or a body without one, past
//     kMaxBodySize ends the attempt with 54;
//   - the progress goes on from N, so the bar and the time left continue.
//
// Nothing here proves that the pieces belong to one file beyond the length
// and the validator: the signature check of the finished file does
// (download_trust.h).

#include <cstdint>
#include <string>

#include "base/result_code.h"
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

// The request headers that ask for the file from byte `from` on:
// "Range: bytes=<from>-\r\n", and "If-Range: <validator>\r\n" when a
// validator is given.
std::string RangeRequestHeaders(std::uint64_t from, const std::string& validator);

// What an answer to a request says about the body that follows.
struct DownloadAnswer {
  unsigned status = 0;
  std::uint64_t content_length = 0;  // 0: none announced
  std::string content_range;         // empty: none
  std::string etag;                  // empty: none
  std::string last_modified;         // empty: none
  std::string content_type;          // empty: none
};

// What If-Range may carry for the body of `answer`: its ETag unless that is
// weak ("W/..."), else its Last-Modified; empty when neither.
std::string ResumeValidator(const DownloadAnswer& answer);

// What one pass of a web install keeps across its download attempts.
struct DownloadPass {
  std::uint64_t written = 0;  // bytes of the file in the sink
  std::uint64_t length = 0;   // the file's announced length
  std::string validator;      // of the answer that brought them; empty: none
  bool answered = false;      // a request of the pass got an answer
  bool started_over = false;  // the file was emptied once to start over
};

// Seconds to wait before reconnect number `reconnect` (1...): 1, 2, 4...
std::uint32_t ReconnectWaitSeconds(int reconnect);

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
  // header), sending If-Range with `validator` when it is not empty. 0 with
  // *answer filled and Body() ready to read; 19 when the user cancelled; 52
  // when it could not be opened.
  virtual ResultCode Open(std::uint64_t from, const std::string& validator,
                          DownloadAnswer* answer) = 0;
  // The body of the answer Open last brought.
  virtual DownloadSource* Body() = 0;
};

// One attempt of the download into `sink`, which holds pass->written bytes
// of the file from earlier attempts of the pass: the first answer must be
// 200 (else StatusFailureCode: 51, 58 or 59; 416 to the request for the
// rest gives 54), then its body, resumed by the rules above. *pass is kept
// up to date. 0, or the code of the last failure: 11, 12, 19, 50, 51, 52,
// 54, 58, 59 or 60.
ResultCode DownloadWithResume(DownloadConnection* connection, DownloadSink* sink,
                              const DownloadShared& shared, DownloadPass* pass);

}  // namespace zevrino::desktop::installer
