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

ScopedInternetHandle OpenSession(const WinInetApi& api) {
  return ScopedInternetHandle(
      api.InternetOpenA(kDownloadUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
}

ScopedInternetHandle OpenUrl(const WinInetApi& api, const ScopedInternetHandle& session,
                             const char* url) {
  return ScopedInternetHandle(
      api.InternetOpenUrlA(session.get(), url, nullptr, 0, kOpenUrlFlags, 0));
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

class InternetSource : public DownloadSource {
 public:
  InternetSource(const WinInetApi& api, HINTERNET request) : api_(api), request_(request) {}
  bool Read(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* count) override {
    DWORD read = 0;
    if (!api_.InternetReadFile(request_, buffer, capacity, &read)) {
      return false;
    }
    *count = read;
    return true;
  }

 private:
  const WinInetApi& api_;
  HINTERNET request_;
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
  const ScopedInternetHandle session = OpenSession(*api);
  if (!session.valid()) {
    return kInternetFailed;
  }
  const ScopedInternetHandle request = OpenUrl(*api, session, url);
  if (!request.valid()) {
    return kUrlOpenFailed;
  }
  const std::uint64_t content_length = QueryContentLength(*api, request);
  if (QueryStatus(*api, request) != kHttpOk) {
    return kHttpStatusNotOk;
  }
  InternetSource source(*api, request.get());
  FileSink sink(file);
  return CopyDownload(&source, &sink, content_length, shared);
}

bool CanOpenAddress(const char* url) {
  const WinInetApi* api = GetWinInetApi();
  if (api == nullptr) {
    return false;
  }
  const ScopedInternetHandle session = OpenSession(*api);
  return session.valid() && OpenUrl(*api, session, url).valid();
}

}  // namespace zevrino::desktop::installer
