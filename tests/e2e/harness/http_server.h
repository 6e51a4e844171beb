#pragma once
// A loopback HTTP server for tests that download: loopback_http_server.py,
// started on 127.0.0.1 with a port it picks itself, serving the files below
// a root directory in several ways (see the routes in the script) and
// recording the path of every request. Nothing leaves the loopback address.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zevrino::e2e {

class LoopbackHttpServer {
 public:
  LoopbackHttpServer() = default;
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // Serves `root`; the request log is kept beside it (one per kind of
  // server). On failure *error
  // says why.
  bool Start(const std::filesystem::path& root, std::string* error);
  // The same, and https on the same port with a self-signed certificate
  // for "localhost" that no prefix trusts (made beside the root).
  bool StartWithUntrustedTls(const std::filesystem::path& root, std::string* error);
  void Stop();

  // "http://127.0.0.1:<port><path>" (path starts with "/").
  std::string Url(const std::string& path) const;
  // The same host and port with the https scheme, which this plain server
  // cannot answer.
  std::string HttpsUrl(const std::string& path) const;

  // "<scheme>://localhost:<port><path>": the name the certificate of
  // StartWithUntrustedTls is for.
  std::string LocalhostUrl(const std::string& scheme, const std::string& path) const;

  // "GET /files/x.exe" lines of every request so far, oldest first.
  std::vector<std::string> Requests() const;
  // The User-Agent header of every request so far (empty when none).
  std::vector<std::string> UserAgents() const;
  // The Range header of every request so far (empty when none).
  std::vector<std::string> Ranges() const;
  // The If-Range header of every request so far (empty when none).
  std::vector<std::string> IfRanges() const;
  void ClearRequests() const;

 private:
  // `log_name` is appended to the root's name for the request log.
  bool StartScript(const std::filesystem::path& root, std::vector<std::string> extra,
                   const std::string& log_name, std::string* error);

  pid_t pid_ = -1;
  int port_ = 0;
  std::filesystem::path log_path_;
};

}  // namespace zevrino::e2e
