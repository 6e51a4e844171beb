#include "tests/e2e/harness/http_server.h"

#include <sstream>

#include "tests/e2e/harness/support.h"

#ifndef ZV_E2E_HARNESS_DIR
#error "ZV_E2E_HARNESS_DIR must name tests/e2e/harness"
#endif

namespace zevrino::e2e {

LoopbackHttpServer::~LoopbackHttpServer() {
  Stop();
}

bool LoopbackHttpServer::Start(const std::filesystem::path& root, std::string* error) {
  return StartScript(root, {}, ".requests.log", error);
}

bool LoopbackHttpServer::StartWithUntrustedTls(const std::filesystem::path& root,
                                               std::string* error) {
  const std::filesystem::path base = root.parent_path() / (root.filename().string() + ".tls");
  const ProcessResult made =
      RunProcess({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                  "/CN=localhost", "-addext", "subjectAltName=DNS:localhost", "-keyout",
                  base.string() + ".key", "-out", base.string() + ".pem"},
                 {}, std::chrono::seconds(60));
  if (!made.ExitedWith(0)) {
    *error = "openssl made no certificate: " + Describe(made);
    return false;
  }
  return StartScript(root,
                     {"--tls-cert", base.string() + ".pem", "--tls-key", base.string() + ".key"},
                     ".tls.requests.log", error);
}

bool LoopbackHttpServer::StartScript(const std::filesystem::path& root,
                                     std::vector<std::string> extra, const std::string& log_name,
                                     std::string* error) {
  Stop();
  const std::string script = std::string(ZV_E2E_HARNESS_DIR) + "/loopback_http_server.py";
  log_path_ = root.parent_path() / (root.filename().string() + log_name);
  std::error_code ignored;
  std::filesystem::remove(log_path_, ignored);
  // The script prints "PORT <n>\n" once it listens.
  std::string line;
  std::vector<std::string> argv = {"python3",     script,  "--root",
                                   root.string(), "--log", log_path_.string()};
  argv.insert(argv.end(), extra.begin(), extra.end());
  pid_ = StartHelperProcess(argv, 1, &line);
  if (pid_ <= 0 || line.rfind("PORT ", 0) != 0) {
    *error = "the loopback HTTP server did not start (" + script + "): '" + line + "'";
    Stop();
    return false;
  }
  port_ = std::stoi(line.substr(5));
  return true;
}

void LoopbackHttpServer::Stop() {
  StopHelperProcess(pid_);
  pid_ = -1;
  port_ = 0;
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string LoopbackHttpServer::LocalhostUrl(const std::string& scheme,
                                             const std::string& path) const {
  return scheme + "://localhost:" + std::to_string(port_) + path;
}

std::string LoopbackHttpServer::HttpsUrl(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(port_) + path;
}

namespace {

// Field `index` of every line of the request log
// "<request> TAB <agent> TAB <range> [TAB <if-range>]".
std::vector<std::string> LogField(const std::filesystem::path& log_path, int index) {
  std::vector<std::string> fields;
  std::istringstream log(ReadText(log_path));
  for (std::string line; std::getline(log, line);) {
    std::istringstream columns(line);
    std::string field;  // getline leaves it empty when the line has no such field
    for (int i = 0; i <= index && std::getline(columns, field, '\t'); ++i) {
    }
    fields.push_back(field);
  }
  return fields;
}

}  // namespace

std::vector<std::string> LoopbackHttpServer::Requests() const {
  return LogField(log_path_, 0);
}

std::vector<std::string> LoopbackHttpServer::UserAgents() const {
  return LogField(log_path_, 1);
}

std::vector<std::string> LoopbackHttpServer::Ranges() const {
  return LogField(log_path_, 2);
}

std::vector<std::string> LoopbackHttpServer::IfRanges() const {
  return LogField(log_path_, 3);
}

void LoopbackHttpServer::ClearRequests() const {
  WriteText(log_path_, "");
}

}  // namespace zevrino::e2e
