#include "webinstall/download_resume.h"

#include "logging/log.h"
#include "webinstall/download_address.h"
#include "webinstall/log_lines.h"

namespace zevrino::desktop::installer {
namespace {

constexpr unsigned kPartialContent = 206;

void SkipBlanks(const char** p) {
  while (**p == ' ' || **p == '\t') {
    ++*p;
  }
}

// Where the file stands once it has started over.
bool StartOver(DownloadSink* sink, CopyOutcome* piece) {
  const bool emptied = piece->written == 0 || sink->Restart();
  piece->written = 0;
  return emptied;
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

std::string RangeRequestHeader(std::uint64_t from) {
  return "Range: bytes=" + std::to_string(from) + "-\r\n";
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

ResultCode DownloadWithResume(DownloadConnection* connection, DownloadSink* sink,
                              const DownloadShared& shared) {
  DownloadAnswer answer;
  const ResultCode opened = connection->Open(0, &answer);
  if (opened != kSuccess) {
    return opened;
  }
  if (ActionForStatus(answer.status) != StatusAction::kBody) {
    return kHttpStatusNotOk;
  }
  std::uint64_t length = answer.content_length;
  CopyOutcome piece = CopyDownloadPiece(connection->Body(), sink, length, 0, shared);
  for (int resumes = 0; piece.stopped_short && resumes < kMaxResumes; ++resumes) {
    logging::log_message(3, "", kLineDownloadResumed,
                         "Zevrino Installer - The download stopped after %llu of %llu bytes "
                         "(%d); asking for the rest.",
                         static_cast<unsigned long long>(piece.written),
                         static_cast<unsigned long long>(length), static_cast<int>(piece.result));
    // The first two bytes are judged together: a file that has fewer
    // starts over.
    if (piece.written < 2 && !StartOver(sink, &piece)) {
      return kOutOfMemory;
    }
    const std::uint64_t from = piece.written;
    const ResultCode reopened = connection->Open(from, &answer);
    if (reopened == kCancelled) {
      return reopened;
    }
    if (reopened != kSuccess) {
      piece.result = reopened;  // still short; the next reconnect tries again
      continue;
    }
    const ResumeAnswer brings = JudgeResumeAnswer(answer, from, length);
    if (brings == ResumeAnswer::kRest) {
      piece = CopyDownloadPiece(connection->Body(), sink, length, from, shared);
      continue;
    }
    if (!StartOver(sink, &piece)) {
      return kOutOfMemory;
    }
    if (brings == ResumeAnswer::kWholeFile) {
      length = answer.content_length;
      piece = CopyDownloadPiece(connection->Body(), sink, length, 0, shared);
    } else {
      piece.result = answer.status == kPartialContent ? kDownloadInvalid : kHttpStatusNotOk;
    }
  }
  return piece.result;
}

}  // namespace zevrino::desktop::installer
