#include "webinstall/download_to_file_win.h"

#include <cstdint>

#include "installer/scoped_handle_win.h"
#include "webinstall/wininet_api_win.h"

namespace zevrino::desktop::installer {
namespace {

// Always from the server, never from the cache; never a WinINet dialog
// (certificate or authentication questions would appear behind our window).
// Nor into the cache: WinINet would otherwise keep a second copy of the
// whole full installer (hundreds of MB) in the user's Internet cache,
// written beside the file we write, which halves the download's speed.
constexpr DWORD kOpenUrlFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_CACHE_WRITE;

constexpr DWORD kHttpOk = 200;

// The download's session is asynchronous: only then does WinINet hand out
// what has arrived without waiting to fill the whole buffer (IRF_NO_WAIT; a
// synchronous read waits until the buffer is full or the body ends). The
// probe's session is synchronous.
ScopedInternetHandle OpenSession(const WinInetApi& api, DWORD flags) {
  return ScopedInternetHandle(
      api.InternetOpenA(kDownloadUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, flags));
}

// Completion of the pending asynchronous call of one request, reported by
// WinINet's status callback on one of its own threads. Outlives the request
// handle (declared before it); the callback reads it only for
// INTERNET_STATUS_REQUEST_COMPLETE, which comes only for calls waited for.
class AsyncCompletion {
 public:
  AsyncCompletion() : event_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

  bool valid() const { return event_.valid(); }
  DWORD_PTR context() { return reinterpret_cast<DWORD_PTR>(this); }

  // Waits for the pending call; its result (0 when it failed). A read that
  // completes at once signals nothing, so the event belongs to the one
  // call that returned ERROR_IO_PENDING.
  DWORD_PTR Wait() {
    ::WaitForSingleObject(event_.get(), INFINITE);
    return result_;
  }

  static void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info,
                                DWORD info_size) {
    if (status != INTERNET_STATUS_REQUEST_COMPLETE || context == 0 ||
        info_size < sizeof(INTERNET_ASYNC_RESULT)) {
      return;
    }
    auto* completion = reinterpret_cast<AsyncCompletion*>(context);
    completion->result_ = static_cast<const INTERNET_ASYNC_RESULT*>(info)->dwResult;
    ::SetEvent(completion->event_.get());
  }

 private:
  ScopedKernelHandle event_;
  DWORD_PTR result_ = 0;
};

ScopedInternetHandle OpenUrl(const WinInetApi& api, const ScopedInternetHandle& session,
                             const char* url, AsyncCompletion* completion) {
  HINTERNET request = api.InternetOpenUrlA(session.get(), url, nullptr, 0, kOpenUrlFlags,
                                           completion != nullptr ? completion->context() : 0);
  if (request == nullptr && completion != nullptr && ::GetLastError() == ERROR_IO_PENDING) {
    request = reinterpret_cast<HINTERNET>(completion->Wait());
  }
  return ScopedInternetHandle(request);
}

// The announced length read as text: HTTP_QUERY_FLAG_NUMBER would give only
// 32 bits and wrap lengths of 4 GiB and more. 0 when none was announced.
std::uint64_t QueryContentLength(const WinInetApi& api, const ScopedInternetHandle& request) {
  wchar_t value[32] = {};
  DWORD size = sizeof(value) - sizeof(wchar_t);
  if (!api.HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH, value, &size, nullptr)) {
    return 0;
  }
  char ascii[32] = {};
  for (std::size_t i = 0; i + 1 < sizeof(ascii) && value[i] != L'\0'; ++i) {
    ascii[i] = value[i] < 0x80 ? static_cast<char>(value[i]) : '?';
  }
  return ParseContentLength(ascii);
}

DWORD QueryStatus(const WinInetApi& api, const ScopedInternetHandle& request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!api.HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr)) {
    return 0;
  }
  return status;
}

// Reads what has arrived, up to the capacity, without waiting for more;
// when nothing has, waits until something has (or the body ended).
class InternetSource : public DownloadSource {
 public:
  InternetSource(const WinInetApi& api, HINTERNET request, AsyncCompletion* completion)
      : api_(api), request_(request), completion_(completion) {}

  bool Read(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* count) override {
    for (;;) {
      INTERNET_BUFFERSA block = Block(buffer, capacity);
      if (api_.InternetReadFileExA(request_, &block, IRF_NO_WAIT, completion_->context())) {
        *count = block.dwBufferLength;
        // Empty means the end, but only a read that may wait says so for
        // sure: one byte, which never waits longer than a larger read.
        return *count != 0 || ReadWaiting(buffer, 1, count);
      }
      // Pending: WinINet fills its own buffer; the next read takes it.
      if (::GetLastError() != ERROR_IO_PENDING || completion_->Wait() == 0) {
        return false;
      }
    }
  }

  // A read never waits to fill its buffer, so any size is safe.
  std::uint64_t ReadyBytes() override { return kDownloadReadCap; }

 private:
  static INTERNET_BUFFERSA Block(std::uint8_t* buffer, std::uint32_t capacity) {
    INTERNET_BUFFERSA block = {};
    block.dwStructSize = sizeof(block);
    block.lpvBuffer = buffer;
    block.dwBufferLength = capacity;
    return block;
  }

  // A read that completes only with `capacity` bytes or the end; when it is
  // pending, WinINet writes into `buffer` and the block before completing.
  bool ReadWaiting(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* count) {
    INTERNET_BUFFERSA block = Block(buffer, capacity);
    if (!api_.InternetReadFileExA(request_, &block, 0, completion_->context()) &&
        (::GetLastError() != ERROR_IO_PENDING || completion_->Wait() == 0)) {
      return false;
    }
    *count = block.dwBufferLength;
    return true;
  }

  const WinInetApi& api_;
  HINTERNET request_;
  AsyncCompletion* completion_;
};

class FileSink : public DownloadSink {
 public:
  explicit FileSink(HANDLE file) : file_(file) {}
  bool Write(const std::uint8_t* buffer, std::uint32_t count) override {
    DWORD written = 0;
    return ::WriteFile(file_, buffer, count, &written, nullptr) && written == count;
  }

 private:
  HANDLE file_;
};

}  // namespace

ResultCode DownloadToFile(const char* url, HANDLE file, const DownloadShared& shared) {
  shared.progress->downloading.store(true, std::memory_order_relaxed);
  const WinInetApi* api = GetWinInetApi();
  if (api == nullptr) {
    return kInternetFailed;
  }
  AsyncCompletion completion;
  const ScopedInternetHandle session = OpenSession(*api, INTERNET_FLAG_ASYNC);
  if (!completion.valid() || !session.valid()) {
    return kInternetFailed;
  }
  // Every handle opened from the session reports to this callback.
  if (api->InternetSetStatusCallbackA(session.get(), &AsyncCompletion::OnStatus) ==
      INTERNET_INVALID_STATUS_CALLBACK) {
    return kInternetFailed;
  }
  const ScopedInternetHandle request = OpenUrl(*api, session, url, &completion);
  if (!request.valid()) {
    return kUrlOpenFailed;
  }
  const std::uint64_t content_length = QueryContentLength(*api, request);
  if (QueryStatus(*api, request) != kHttpOk) {
    return kHttpStatusNotOk;
  }
  InternetSource source(*api, request.get(), &completion);
  FileSink sink(file);
  return CopyDownload(&source, &sink, content_length, shared);
}

bool CanOpenAddress(const char* url) {
  const WinInetApi* api = GetWinInetApi();
  if (api == nullptr) {
    return false;
  }
  const ScopedInternetHandle session = OpenSession(*api, 0);
  return session.valid() && OpenUrl(*api, session, url, nullptr).valid();
}

}  // namespace zevrino::desktop::installer
