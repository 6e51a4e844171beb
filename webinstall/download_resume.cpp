#include "webinstall/download_resume.h"

#include <optional>

#include "logging/log.h"
#include "webinstall/download_address.h"
#include "webinstall/download_failure.h"
#include "webinstall/log_lines.h"

namespace zevrino::desktop::installer {
namespace {

constexpr unsigned kPartialContent = 206;

void SkipBlanks(const char** p) {
  while (**p == ' ' || **p == '\t') {
    ++*p;
  }
}

}  // namespace

bool ParseContentRange(const std::string& value, ContentRange* range) {
  const char* p = value.c_str();
  SkipBlanks(&p);
  if (value.compare(static_cast<std::size_t>(p - value.c_str()), 5, "bytes") != 0) {
    return false;
  }
  p += 5;
  const char* after_unit = p;
  SkipBlanks(&p);
  ContentRange parsed;
  if (p == after_unit || !ReadDecimal(&p, &parsed.first) || *p++ != '-' ||
      !ReadDecimal(&p, &parsed.last) || *p++ != '/' || !ReadDecimal(&p, &parsed.total)) {
    return false;
  }
  SkipBlanks(&p);
  if (*p != '\0' || parsed.first > parsed.last || parsed.last >= parsed.total) {
    return false;
  }
  *range = parsed;
  return true;
}

std::string RangeRequestHeaders(std::uint64_t from, const std::string& validator) {
  std::string headers = "Range: bytes=" + std::to_string(from) + "-\r\n";
  if (!validator.empty()) {
    headers += "If-Range: " + validator + "\r\n";
  }
  return headers;
}

std::string ResumeValidator(const DownloadAnswer& answer) {
  if (!answer.etag.empty() && answer.etag.compare(0, 2, "W/") != 0) {
    return answer.etag;
  }
  return answer.last_modified;
}

std::uint32_t ReconnectWaitSeconds(int reconnect) {
  return std::uint32_t{1} << (reconnect - 1);
}

ResumeAnswer JudgeResumeAnswer(const DownloadAnswer& answer, std::uint64_t from,
                               std::uint64_t length) {
  if (ActionForStatus(answer.status) == StatusAction::kBody) {
    return ResumeAnswer::kWholeFile;
  }
  ContentRange range;
  if (from != 0 && answer.status == kPartialContent &&
      ParseContentRange(answer.content_range, &range) && range.first == from &&
      range.total == length && range.last + 1 == length) {
    return ResumeAnswer::kRest;
  }
  return ResumeAnswer::kNothing;
}

namespace {

constexpr unsigned kRangeNotSatisfiable = 416;

// One attempt of a download, by the rules of download_resume.h.
class ResumingDownload {
 public:
  ResumingDownload(DownloadConnection* connection, DownloadSink* sink, const DownloadShared& shared,
                   DownloadPass* pass)
      : connection_(*connection), sink_(*sink), shared_(shared), pass_(*pass) {}

  ResultCode Run() {
    ResultCode result = OpenFirst();
    while (result == kSuccess) {
      const CopyOutcome piece = Copy();
      if (!piece.stopped_short) {
        return piece.result;
      }
      // A body that gets no further than the one before it will not get
      // further next time either.
      if (stopped_at_ && piece.written <= *stopped_at_) {
        Log("The download stopped again after %llu of %llu bytes (%d); not asking again.",
            piece.result);
        return kDownloadInvalid;
      }
      stopped_at_ = piece.written;
      Log("The download stopped after %llu of %llu bytes (%d); asking for the rest.", piece.result);
      result = Reconnect(piece.result);
    }
    return result;
  }

 private:
  // The first request of the attempt: for the rest of what earlier attempts
  // of the pass brought, else for all of it.
  ResultCode OpenFirst() {
    const std::uint64_t from = pass_.written;
    DownloadAnswer answer;
    const ResultCode opened = connection_.Open(from, from != 0 ? pass_.validator : "", &answer);
    if (opened != kSuccess) {
      return opened;
    }
    pass_.answered = true;
    return TakeAnswer(answer, from);
  }

  // Waits, then asks for the rest, up to kMaxResumes times while a request
  // cannot be opened. `still` is the code the attempt ends with when no
  // reconnect is left.
  ResultCode Reconnect(ResultCode still) {
    for (;;) {
      if (reconnects_ == kMaxResumes) {
        return still;
      }
      ++reconnects_;
      if (!WaitToReconnect(ReconnectWaitSeconds(reconnects_))) {
        return kCancelled;
      }
      // The first two bytes are judged together: a file that has fewer
      // starts over.
      if (pass_.written == 1) {
        const ResultCode emptied = StartOver();
        if (emptied != kSuccess) {
          return emptied;
        }
      }
      const std::uint64_t from = pass_.written;
      DownloadAnswer answer;
      const ResultCode reopened = connection_.Open(from, from != 0 ? pass_.validator : "", &answer);
      if (reopened == kCancelled) {
        return reopened;
      }
      if (reopened != kSuccess) {
        still = reopened;  // still short; the next reconnect tries again
        continue;
      }
      pass_.answered = true;
      const ResultCode taken = TakeAnswer(answer, from);
      if (taken != kHttpStatusNotOk) {
        return taken;
      }
      still = taken;  // nothing usable; the next reconnect asks for all
    }
  }

  // What the answer to a request from `from` on brings: 0 with its body to
  // copy, 51 when it brings nothing (the file then stands at 0), or the
  // code that ends the attempt.
  ResultCode TakeAnswer(const DownloadAnswer& answer, std::uint64_t from) {
    if (from != 0) {
      return TakeAnswerForRest(answer, from);
    }
    if (ActionForStatus(answer.status) != StatusAction::kBody) {
      return StatusFailureCode(answer.status);
    }
    return TakeWholeFile(answer);
  }

  // What the answer to a request for the rest from `from` on brings.
  ResultCode TakeAnswerForRest(const DownloadAnswer& answer, std::uint64_t from) {
    switch (JudgeResumeAnswer(answer, from, pass_.length)) {
      case ResumeAnswer::kRest:
        body_from_ = from;
        content_type_ = answer.content_type;
        return kSuccess;
      case ResumeAnswer::kWholeFile: {
        const ResultCode emptied = StartOver();
        return emptied == kSuccess ? TakeWholeFile(answer) : emptied;
      }
      case ResumeAnswer::kNothing:
        break;
    }
    if (answer.status == kRangeNotSatisfiable || answer.status == kPartialContent) {
      return kDownloadInvalid;
    }
    const ResultCode emptied = StartOver();
    return emptied == kSuccess ? kHttpStatusNotOk : emptied;
  }

  // The answer's body is the whole file, into the emptied sink.
  ResultCode TakeWholeFile(const DownloadAnswer& answer) {
    if (answer.content_length > kMaxBodySize) {
      logging::log_message(logging::kLevelError, "", kLineDownloadTooLarge,
                           "Zevrino Installer - The server announced %llu bytes, more than a "
                           "download may take.",
                           static_cast<unsigned long long>(answer.content_length));
      return kDownloadInvalid;
    }
    const ResultCode room = sink_.CheckRoomFor(answer.content_length);
    if (room != kSuccess) {
      return room;
    }
    pass_.length = answer.content_length;
    pass_.validator = ResumeValidator(answer);
    body_from_ = 0;
    content_type_ = answer.content_type;
    return kSuccess;
  }

  CopyOutcome Copy() {
    const CopyOutcome piece = CopyDownloadPiece(connection_.Body(), &sink_, pass_.length,
                                                body_from_, shared_, content_type_);
    pass_.written = piece.written;
    return piece;
  }

  // Empties the file: 0, 11 when it cannot be, or 54 when the pass has
  // started over once already (a server that keeps changing the file, or
  // that never sends the rest, would have it downloaded again and again).
  ResultCode StartOver() {
    if (pass_.written == 0) {
      return kSuccess;
    }
    if (pass_.started_over) {
      logging::log_message(logging::kLevelError, "", kLineDownloadNotRestarted,
                           "Zevrino Installer - The download would start over a second time; "
                           "giving up.");
      return kDownloadInvalid;
    }
    if (!sink_.Restart()) {
      return kOutOfMemory;
    }
    pass_.started_over = true;
    pass_.written = 0;
    return kSuccess;
  }

  // The wait before a reconnect, shown in the progress window beside the
  // bar; false when the user cancelled.
  bool WaitToReconnect(std::uint32_t seconds) {
    DownloadProgressState& progress = *shared_.progress;
    for (std::uint32_t left = seconds; left != 0; --left) {
      progress.retry_countdown.store(left, std::memory_order_relaxed);
      if (shared_.cancel_requested->load(std::memory_order_relaxed)) {
        progress.retry_countdown.store(0, std::memory_order_relaxed);
        return false;
      }
      if (shared_.sleep_one_second) {
        shared_.sleep_one_second();
      }
    }
    progress.retry_countdown.store(0, std::memory_order_relaxed);
    return !shared_.cancel_requested->load(std::memory_order_relaxed);
  }

  void Log(const char* format, ResultCode code) const {
    logging::log_message(logging::kLevelWarning, "", kLineDownloadResumed,
                         (std::string("Zevrino Installer - ") + format).c_str(),
                         static_cast<unsigned long long>(pass_.written),
                         static_cast<unsigned long long>(pass_.length), ResultNumber(code));
  }

  DownloadConnection& connection_;
  DownloadSink& sink_;
  const DownloadShared& shared_;
  DownloadPass& pass_;
  std::uint64_t body_from_ = 0;  // where the body of the open request starts in the file
  std::string content_type_;     // of the open request's answer
  std::optional<std::uint64_t> stopped_at_;  // where the last body stopped short
  int reconnects_ = 0;
};

}  // namespace

ResultCode DownloadWithResume(DownloadConnection* connection, DownloadSink* sink,
                              const DownloadShared& shared, DownloadPass* pass) {
  return ResumingDownload(connection, sink, shared, pass).Run();
}

}  // namespace zevrino::desktop::installer
