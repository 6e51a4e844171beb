#include "tests/e2e/harness/http_server.h"

#include "tests/e2e/harness/process.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#ifndef ZV_E2E_HARNESS_DIR
#error "ZV_E2E_HARNESS_DIR must name tests/e2e/harness"
#endif

namespace zevrino::e2e {

LoopbackHttpServer::~LoopbackHttpServer() {
  Stop();
}

bool LoopbackHttpServer::Start(const std::filesystem::path& root, std::string* error) {
  Stop();
  const std::string script = std::string(ZV_E2E_HARNESS_DIR) + "/loopback_http_server.py";
  log_path_ = root.parent_path() / (root.filename().string() + ".requests.log");
  std::error_code ignored;
  std::filesystem::remove(log_path_, ignored);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  const std::string root_text = root.string();
  const std::string log_text = log_path_.string();
  const pid_t pid = fork();
  if (pid < 0) {
    *error = std::string("fork: ") + std::strerror(errno);
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(fds[1], 1);
    execlp("python3", "python3", script.c_str(), "--root", root_text.c_str(), "--log",
           log_text.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  pid_ = pid;

  // The script prints "PORT <n>\n" once it listens.
  std::string line;
  const bool complete = ReadLineFromPipe(fds[0], std::chrono::seconds(30), &line);
  close(fds[0]);
  if (!complete || line.rfind("PORT ", 0) != 0) {
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

std::string LoopbackHttpServer::HttpsUrl(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(port_) + path;
}

namespace {

// Field `index` of every line of the request log
// "<request> TAB <agent> TAB <range>".
std::vector<std::string> LogField(const std::filesystem::path& log_path, int index) {
  std::vector<std::string> fields;
  std::ifstream log(log_path);
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

void LoopbackHttpServer::ClearRequests() const {
  std::ofstream(log_path_, std::ios::trunc);
}

}  // namespace zevrino::e2e
