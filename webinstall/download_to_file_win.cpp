#include "webinstall/download_to_file_win.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "logging/log.h"
#include "webinstall/download_address.h"
#include "webinstall/download_failure.h"
#include "webinstall/download_resume.h"
#include "webinstall/log_lines.h"
#include "webinstall/wininet_api_win.h"
#include "windows/scoped_handle_win.h"

namespace zevrino::desktop::installer {
namespace {

// Always from the server, never from the cache; never a WinINet dialog of
// its own (certificate or authentication questions would appear behind our
// window): a proxy's sign-in is asked for by the installer (ProxySignIn).
// Nor into the cache: WinINet would otherwise keep a second copy of the
// whole full installer (hundreds of MB) in the user's Internet cache,
// written beside the file we write, which halves the download's speed.
// Redirects are followed here, not by WinINet, which would follow a loop
// without end and from https down to plain http.
constexpr DWORD kOpenUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;

// How often a wait for WinINet looks at the user's cancel and the clock.
constexpr DWORD kPollMilliseconds = 100;

constexpr DWORD kProxyAuthenticationRequired = 407;
// Sign-ins offered for one request: a proxy that refuses every one ends it.
constexpr int kMaxProxySignIns = 5;

// The platform-free rules name WinINet's certificate errors by number.
static_assert(kWinInetCertDateInvalid == ERROR_INTERNET_SEC_CERT_DATE_INVALID &&
              kWinInetCertNameInvalid == ERROR_INTERNET_SEC_CERT_CN_INVALID &&
              kWinInetInvalidCa == ERROR_INTERNET_INVALID_CA &&
              kWinInetCertErrors == ERROR_INTERNET_SEC_CERT_ERRORS &&
              kWinInetCertNoRevocation == ERROR_INTERNET_SEC_CERT_NO_REV &&
              kWinInetCertRevocationFailed == ERROR_INTERNET_SEC_CERT_REV_FAILED &&
              kWinInetInvalidCert == ERROR_INTERNET_SEC_INVALID_CERT &&
              kWinInetCertRevoked == ERROR_INTERNET_SEC_CERT_REVOKED);

// One request's pending asynchronous calls, as WinINet's status callback
// reports them on one of its own threads. WinINet may report to it after
// the download gave up on a call (a cancel, a server that went silent), so
// it lives on the heap with two references: the download's, and WinINet's,
// which goes with the request handle's last notification
// (INTERNET_STATUS_HANDLE_CLOSING). Where that notification never comes, as
// under Wine for a call still waiting on its socket, the object stays until
// the process ends: a few dozen bytes per abandoned attempt.
class AsyncCall {
 public:
  static AsyncCall* Create() {
    auto* call = new AsyncCall();
    if (!call->event_.valid()) {
      delete call;
      return nullptr;
    }
    return call;
  }

  DWORD_PTR context() { return reinterpret_cast<DWORD_PTR>(this); }
  // The download is done with it; WinINet's reference may outlive this.
  void ReleaseDownload() { Release(); }

  enum class Outcome { kCompleted, kCancelled, kStalled };

  // Waits for the call that returned ERROR_IO_PENDING, at most until
  // nothing has happened for `shared.stall_timeout_ms`, and only as long as
  // the user has not cancelled.
  Outcome Wait(const DownloadShared& shared) {
    const ULONGLONG deadline = ::GetTickCount64() + shared.stall_timeout_ms;
    for (;;) {
      if (::WaitForSingleObject(event_.get(), kPollMilliseconds) == WAIT_OBJECT_0) {
        return Outcome::kCompleted;
      }
      if (shared.cancel_requested->load(std::memory_order_relaxed)) {
        return Outcome::kCancelled;
      }
      if (::GetTickCount64() >= deadline) {
        return Outcome::kStalled;
      }
    }
  }

  // The completed call's result (0 when it failed) and its error.
  DWORD_PTR result() const { return result_.load(); }
  DWORD error() const { return error_.load(); }

  // WinINet writes a pending read's length here; it must outlive the call.
  INTERNET_BUFFERSA* Block(void* buffer, std::uint32_t capacity) {
    block_ = {};
    block_.dwStructSize = sizeof(block_);
    block_.lpvBuffer = buffer;
    block_.dwBufferLength = capacity;
    return &block_;
  }
  // Where a read that waits for its byte puts it.
  std::uint8_t* WaitingByte() { return &waiting_byte_; }

  static void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info,
                                DWORD info_size) {
    if (context == 0) {
      return;  // the session's own notifications
    }
    auto* call = reinterpret_cast<AsyncCall*>(context);
    if (status == INTERNET_STATUS_REQUEST_COMPLETE && info_size >= sizeof(INTERNET_ASYNC_RESULT)) {
      call->error_.store(static_cast<const INTERNET_ASYNC_RESULT*>(info)->dwError);
      call->result_.store(static_cast<const INTERNET_ASYNC_RESULT*>(info)->dwResult);
      ::SetEvent(call->event_.get());
    } else if (status == INTERNET_STATUS_HANDLE_CLOSING) {
      call->Release();
    }
  }

 private:
  AsyncCall() : event_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  void Release() {
    if (references_.fetch_sub(1) == 1) {
      delete this;
    }
  }

  ScopedKernelHandle event_;
  std::atomic<DWORD_PTR> result_{0};
  std::atomic<DWORD> error_{0};
  std::atomic<int> references_{2};
  INTERNET_BUFFERSA block_ = {};
  std::uint8_t waiting_byte_ = 0;
};

// A request handle with its AsyncCall; closing the handle is what lets
// WinINet end a call the download gave up on.
class Request {
 public:
  Request() = default;
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;
  ~Request() { Reset(); }

  bool valid() const { return handle_.valid(); }
  HINTERNET get() const { return handle_.get(); }
  AsyncCall* call() const { return call_; }

  // WinINet's error of the last call that failed (0: none).
  DWORD error() const { return error_; }

  // Opens `url` in `session`, sending `headers` (CRLF-terminated lines,
  // may be empty) with the request: 0 with the request open, 19 when the
  // user cancelled, 52 when it could not be opened or nothing came in time,
  // 60 when the server's certificate could not be verified.
  ResultCode Open(const WinInetApi& api, HINTERNET session, const char* url,
                  const std::string& headers, const DownloadShared& shared) {
    if (!Begin()) {
      return kUrlOpenFailed;
    }
    const HINTERNET request =
        api.InternetOpenUrlA(session, url, headers.empty() ? nullptr : headers.c_str(),
                             static_cast<DWORD>(headers.size()), kOpenUrlFlags, call_->context());
    DWORD_PTR result = reinterpret_cast<DWORD_PTR>(request);
    const ResultCode finished = Finish(request != nullptr, &result, shared);
    if (finished != kSuccess) {
      return finished;
    }
    handle_ = ScopedInternetHandle(reinterpret_cast<HINTERNET>(result));
    return handle_.valid() ? kSuccess : OpenFailureCode(error_);
  }

  // Asks for the headers of `url` alone (HEAD): no body comes. The same
  // codes as Open.
  ResultCode OpenHead(const WinInetApi& api, HINTERNET session, const char* url,
                      const DownloadShared& shared) {
    if (!Begin()) {
      return kUrlOpenFailed;
    }
    char host[INTERNET_MAX_HOST_NAME_LENGTH] = {};
    std::string path(std::strlen(url) + 1, '\0');
    std::string extra(path.size(), '\0');
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof(host);
    parts.lpszUrlPath = &path[0];
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = &extra[0];
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (!api.InternetCrackUrlA(url, 0, 0, &parts)) {
      return kUrlOpenFailed;
    }
    // The server's handle makes no connection of its own.
    server_ = ScopedInternetHandle(api.InternetConnectA(session, host, parts.nPort, nullptr,
                                                        nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    const std::string object = std::string(path.c_str()) + extra.c_str();
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0;
    handle_ = ScopedInternetHandle(
        server_.valid()
            ? api.HttpOpenRequestA(server_.get(), "HEAD", object.c_str(), nullptr, nullptr, nullptr,
                                   kOpenUrlFlags | secure, call_->context())
            : nullptr);
    if (!handle_.valid()) {
      return kUrlOpenFailed;
    }
    return Send(api, shared);
  }

  // Sends the open request: the one made by hand, or one that goes again
  // with what a proxy's sign-in added to it. The same codes as Open.
  ResultCode Send(const WinInetApi& api, const DownloadShared& shared) {
    const BOOL sent = api.HttpSendRequestA(handle_.get(), nullptr, 0, nullptr, 0);
    DWORD_PTR result = static_cast<DWORD_PTR>(sent);
    const ResultCode finished = Finish(sent != FALSE, &result, shared);
    if (finished != kSuccess) {
      return finished;
    }
    return result != 0 ? kSuccess : OpenFailureCode(error_);
  }

 private:
  // A new call for a new request; false when none can be made.
  bool Begin() {
    Reset();
    error_ = 0;
    call_ = AsyncCall::Create();
    return call_ != nullptr;
  }

  // Finishes a call that returned `done` (false: failed, or goes on
  // asynchronously with ERROR_IO_PENDING): 0 with *result the call's result
  // (0 when it failed, error() then says why), 19 when the user cancelled,
  // 52 when nothing came in time.
  ResultCode Finish(bool done, DWORD_PTR* result, const DownloadShared& shared) {
    if (done) {
      return kSuccess;
    }
    error_ = ::GetLastError();
    if (error_ != ERROR_IO_PENDING) {
      *result = 0;
      return kSuccess;
    }
    switch (call_->Wait(shared)) {
      case AsyncCall::Outcome::kCompleted:
        *result = call_->result();
        error_ = *result != 0 ? 0 : call_->error();
        return kSuccess;
      case AsyncCall::Outcome::kCancelled:
        return kCancelled;
      case AsyncCall::Outcome::kStalled:
        break;
    }
    error_ = ERROR_INTERNET_TIMEOUT;
    logging::log_message(logging::kLevelError, "", kLineNoAnswerFromServer,
                         "Zevrino Installer - No answer from the server in %u ms.",
                         shared.stall_timeout_ms);
    return kUrlOpenFailed;
  }

  void Reset() {
    handle_.Close();
    server_.Close();
    if (call_ != nullptr) {
      call_->ReleaseDownload();
      call_ = nullptr;
    }
  }

  ScopedInternetHandle server_;  // of a request made by hand (OpenHead)
  ScopedInternetHandle handle_;
  AsyncCall* call_ = nullptr;
  DWORD error_ = 0;
};

// The download's session is asynchronous: only then does WinINet hand out
// what has arrived without waiting to fill the whole buffer (IRF_NO_WAIT; a
// synchronous read waits until the buffer is full or the body ends), and
// only then can a wait for it end when the user cancels or the server goes
// silent.
ScopedInternetHandle OpenSession(const WinInetApi& api) {
  ScopedInternetHandle session(api.InternetOpenA(kDownloadUserAgent, INTERNET_OPEN_TYPE_PRECONFIG,
                                                 nullptr, nullptr, INTERNET_FLAG_ASYNC));
  // Every handle opened from the session reports to this callback.
  if (session.valid() && api.InternetSetStatusCallbackA(session.get(), &AsyncCall::OnStatus) ==
                             INTERNET_INVALID_STATUS_CALLBACK) {
    session.Close();
  }
  return session;
}

// A header as ASCII text, empty when absent.
std::string QueryHeader(const WinInetApi& api, const Request& request, DWORD header) {
  wchar_t value[2048] = {};
  DWORD size = sizeof(value) - sizeof(wchar_t);
  if (!api.HttpQueryInfoW(request.get(), header, value, &size, nullptr)) {
    return std::string();
  }
  std::string ascii;
  for (std::size_t i = 0; i < sizeof(value) / sizeof(value[0]) && value[i] != L'\0'; ++i) {
    ascii += value[i] < 0x80 ? static_cast<char>(value[i]) : '?';
  }
  return ascii;
}

DWORD QueryStatus(const WinInetApi& api, const Request& request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!api.HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr)) {
    return 0;
  }
  return status;
}

// While the proxy asks for a sign-in (407) on the open request and the user
// gives one, the request goes again with it; *status is the last answer's.
// 0 (a 407 that is left ends the attempt with 58 by its status), 58 when
// the user declined, or the code of a request that could not be sent.
ResultCode SignInToProxy(const WinInetApi& api, const ProxySignIn& sign_in,
                         const DownloadShared& shared, Request* request, DWORD* status) {
  for (int n = 0; *status == kProxyAuthenticationRequired && sign_in && n < kMaxProxySignIns; ++n) {
    // Wine's dialog answers 0 for Cancel, Windows' ERROR_CANCELLED.
    const DWORD answer = sign_in(request->get());
    if (answer != ERROR_INTERNET_FORCE_RETRY) {
      logging::log_message(logging::kLevelError, "", kLineProxySignInDeclined,
                           "Zevrino Installer - The proxy asks for a sign-in; none was given "
                           "(%lu).",
                           answer);
      return kProxySignInRequired;
    }
    const ResultCode sent = request->Send(api, shared);
    if (sent != kSuccess) {
      return sent;
    }
    *status = QueryStatus(api, *request);
  }
  return kSuccess;
}

// Opens *url with `headers`, following at most kMaxRedirects redirects by
// RedirectTarget's rules (each request carries the headers), signing in to
// a proxy that asks with `sign_in`; *url becomes the address that
// answered. 0 with the final request open (its status in *status), 19 when
// the user cancelled, 52 when an address could not be opened or a redirect
// may not be followed, 58 when the user declined the proxy's sign-in, 60
// when a server's certificate could not be verified.
ResultCode OpenFollowingRedirects(const WinInetApi& api, HINTERNET session, std::string* url,
                                  const std::string& headers, const DownloadShared& shared,
                                  const ProxySignIn& sign_in, Request* request, DWORD* status) {
  if (!IsDownloadAddress(*url)) {
    logging::log_message(logging::kLevelError, "", kLineNotAnHttpAddress,
                         "Zevrino Installer - Not an http or https address.");
    return kUrlOpenFailed;
  }
  for (int redirects = 0;; ++redirects) {
    const ResultCode opened = request->Open(api, session, url->c_str(), headers, shared);
    if (opened != kSuccess) {
      return opened;
    }
    *status = QueryStatus(api, *request);
    const ResultCode signed_in = SignInToProxy(api, sign_in, shared, request, status);
    if (signed_in != kSuccess) {
      return signed_in;
    }
    if (ActionForStatus(*status) != StatusAction::kRedirect) {
      return kSuccess;
    }
    const std::string target =
        RedirectTarget(*url, QueryHeader(api, *request, HTTP_QUERY_LOCATION));
    if (redirects == kMaxRedirects || target.empty()) {
      logging::log_message(logging::kLevelError, "", kLineRedirectNotFollowed,
                           "Zevrino Installer - Redirect %d not followed (status %lu).",
                           redirects + 1, *status);
      return kUrlOpenFailed;
    }
    *url = target;
  }
}

// Reads what has arrived, up to the capacity, without waiting for more;
// when nothing has, waits until something has (or the body ended), for as
// long as the server is not silent and the user does not cancel.
class InternetSource : public DownloadSource {
 public:
  InternetSource(const WinInetApi& api, const Request& request, const DownloadShared& shared)
      : api_(api), request_(request), shared_(shared) {}

  bool Read(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* count) override {
    AsyncCall& call = *request_.call();
    for (;;) {
      INTERNET_BUFFERSA* block = call.Block(buffer, capacity);
      if (api_.InternetReadFileExA(request_.get(), block, IRF_NO_WAIT, call.context())) {
        *count = block->dwBufferLength;
        // Empty means the end, but only a read that may wait says so for
        // sure: one byte, which never waits longer than a larger read.
        return *count != 0 || ReadWaiting(buffer, count);
      }
      // Pending: WinINet fills its own buffer; the next read takes it.
      if (!Pending() || !WaitedFor(call)) {
        return false;
      }
    }
  }

  // WinINet's error of the last read that failed (0: none).
  DWORD error() const { return error_; }

  // A read never waits to fill its buffer, so any size is safe.
  std::uint64_t ReadyBytes() override { return kDownloadReadCap; }

 private:
  // True when the read that just failed goes on asynchronously.
  bool Pending() {
    error_ = ::GetLastError();
    return error_ == ERROR_IO_PENDING;
  }

  bool WaitedFor(AsyncCall& call) {
    const AsyncCall::Outcome outcome = call.Wait(shared_);
    if (outcome == AsyncCall::Outcome::kStalled) {
      error_ = ERROR_INTERNET_TIMEOUT;
      logging::log_message(logging::kLevelError, "", kLineDownloadStalled,
                           "Zevrino Installer - The download stalled for %u ms.",
                           shared_.stall_timeout_ms);
    } else if (outcome == AsyncCall::Outcome::kCompleted) {
      error_ = call.result() != 0 ? 0 : call.error();
    }
    return outcome == AsyncCall::Outcome::kCompleted && call.result() != 0;
  }

  // A read that completes only with its one byte or the end. When it is
  // pending WinINet writes the byte and the count into the AsyncCall, which
  // outlives a read the download gives up on.
  bool ReadWaiting(std::uint8_t* buffer, std::uint32_t* count) {
    AsyncCall& call = *request_.call();
    INTERNET_BUFFERSA* block = call.Block(call.WaitingByte(), 1);
    if (!api_.InternetReadFileExA(request_.get(), block, 0, call.context()) &&
        (!Pending() || !WaitedFor(call))) {
      return false;
    }
    *count = block->dwBufferLength;
    buffer[0] = *call.WaitingByte();
    return true;
  }

  const WinInetApi& api_;
  const Request& request_;
  const DownloadShared& shared_;
  DWORD error_ = 0;
};

class FileSink : public DownloadSink {
 public:
  FileSink(HANDLE file, const std::function<ResultCode(std::uint64_t)>& check_room)
      : file_(file), check_room_(check_room) {}
  bool Write(const std::uint8_t* buffer, std::uint32_t count) override {
    DWORD written = 0;
    return ::WriteFile(file_, buffer, count, &written, nullptr) && written == count;
  }
  bool Restart() override { return EmptyFile(file_); }
  ResultCode CheckRoomFor(std::uint64_t bytes) override {
    return check_room_ ? check_room_(bytes) : kSuccess;
  }

 private:
  HANDLE file_;
  const std::function<ResultCode(std::uint64_t)>& check_room_;
};

// The requests of one download in one session: the first to the address
// given (redirects followed), the later ones, asking for the rest, to the
// address whose answer brought the body.
class InternetConnection : public DownloadConnection {
 public:
  InternetConnection(const WinInetApi& api, HINTERNET session, const char* url,
                     const DownloadShared& shared, const ProxySignIn& sign_in)
      : api_(api),
        session_(session),
        address_(url),
        shared_(shared),
        sign_in_(sign_in),
        body_(api, request_, shared) {}

  ResultCode Open(std::uint64_t from, const std::string& validator,
                  DownloadAnswer* answer) override {
    DWORD status = 0;
    const ResultCode opened = OpenFollowingRedirects(
        api_, session_, &address_, from == 0 ? "" : RangeRequestHeaders(from, validator), shared_,
        sign_in_, &request_, &status);
    status_ = status;
    if (opened != kSuccess) {
      return opened;
    }
    // A connection closed before any status line came (a server going
    // down, say) is no answer, though WinINet hands out a request for it.
    if (status == 0) {
      return kUrlOpenFailed;
    }
    answer->status = status;
    answer->content_length =
        ParseContentLength(QueryHeader(api_, request_, HTTP_QUERY_CONTENT_LENGTH).c_str());
    answer->content_range = QueryHeader(api_, request_, HTTP_QUERY_CONTENT_RANGE);
    answer->etag = QueryHeader(api_, request_, HTTP_QUERY_ETAG);
    answer->last_modified = QueryHeader(api_, request_, HTTP_QUERY_LAST_MODIFIED);
    answer->content_type = QueryHeader(api_, request_, HTTP_QUERY_CONTENT_TYPE);
    return kSuccess;
  }

  DownloadSource* Body() override { return &body_; }

  // The status of the last answer (0: none) and WinINet's error of the last
  // request or read that failed (0: none).
  DWORD status() const { return status_; }
  DWORD error() const { return request_.error() != 0 ? request_.error() : body_.error(); }

 private:
  const WinInetApi& api_;
  HINTERNET session_;
  std::string address_;
  const DownloadShared& shared_;
  const ProxySignIn& sign_in_;
  Request request_;
  InternetSource body_;  // reads whatever request_ holds now
  DWORD status_ = 0;
};

// The proxy the session goes through, as the log shows it: "host:port"
// entries without credentials, or "none".
std::string SessionProxy(const WinInetApi& api, HINTERNET session) {
  alignas(INTERNET_PROXY_INFO) char buffer[4096] = {};
  DWORD size = sizeof(buffer) - 1;
  if (!api.InternetQueryOptionA(session, INTERNET_OPTION_PROXY, buffer, &size)) {
    return "unknown";
  }
  const auto* info = reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer);
  const auto* list = reinterpret_cast<const char*>(info->lpszProxy);
  if (info->dwAccessType != INTERNET_OPEN_TYPE_PROXY || list == nullptr || *list == '\0') {
    return "none";
  }
  return ProxyForLog(list);
}

// One line of level 2 for an attempt that failed: what the network said.
void LogFailedAttempt(ResultCode result, const WinInetApi& api, HINTERNET session,
                      const InternetConnection& connection) {
  const char* certificate = CertificateProblem(connection.error());
  logging::log_message(logging::kLevelError, "", kLineDownloadAttemptFailedBecause,
                       "Zevrino Installer - The download failed with %d: HTTP status %lu, WinINet "
                       "error %lu%s%s%s, proxy %s.",
                       ResultNumber(result), connection.status(), connection.error(),
                       certificate != nullptr ? " (the server's certificate: " : "",
                       certificate != nullptr ? certificate : "", certificate != nullptr ? ")" : "",
                       SessionProxy(api, session).c_str());
}

}  // namespace

ResultCode DownloadToFile(const char* url, HANDLE file, const DownloadShared& shared,
                          DownloadPass* pass,
                          const std::function<ResultCode(std::uint64_t)>& check_room,
                          const ProxySignIn& proxy_sign_in) {
  shared.progress->downloading.store(true, std::memory_order_relaxed);
  const WinInetApi* api = GetWinInetApi();
  if (api == nullptr) {
    return kInternetFailed;
  }
  // The session outlives its requests: declared first, closed last.
  const ScopedInternetHandle session = OpenSession(*api);
  if (!session.valid()) {
    return kInternetFailed;
  }
  InternetConnection connection(*api, session.get(), url, shared, proxy_sign_in);
  FileSink sink(file, check_room);
  DownloadPass own_pass;
  const ResultCode result =
      DownloadWithResume(&connection, &sink, shared, pass != nullptr ? pass : &own_pass);
  if (result != kSuccess && result != kCancelled) {
    LogFailedAttempt(result, *api, session.get(), connection);
  }
  return result;
}

DWORD ShowProxySignInDialog(HWND owner, HINTERNET request) {
  const WinInetApi* api = GetWinInetApi();
  if (api == nullptr) {
    return ERROR_CANCELLED;
  }
  // The credentials the user enters, or the system keeps, go onto the
  // request; ERROR_INTERNET_FORCE_RETRY asks for it to be sent again.
  return api->InternetErrorDlg(owner, request, ERROR_INTERNET_INCORRECT_PASSWORD,
                               FLAGS_ERROR_UI_FILTER_FOR_ERRORS |
                                   FLAGS_ERROR_UI_FLAGS_GENERATE_DATA |
                                   FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS,
                               nullptr);
}

bool EmptyFile(HANDLE file) {
  const LARGE_INTEGER start = {};
  return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

bool CanOpenAddress(const char* url, const DownloadShared* shared) {
  const WinInetApi* api = GetWinInetApi();
  if (api == nullptr) {
    return false;
  }
  std::atomic<bool> never_cancelled{false};
  DownloadShared fallback;
  fallback.cancel_requested = &never_cancelled;
  const ScopedInternetHandle session = OpenSession(*api);
  Request request;
  return session.valid() && IsDownloadAddress(url) &&
         request.OpenHead(*api, session.get(), url, shared != nullptr ? *shared : fallback) ==
             kSuccess;
}

}  // namespace zevrino::desktop::installer
