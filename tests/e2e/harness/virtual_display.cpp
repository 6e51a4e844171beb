#include "tests/e2e/harness/virtual_display.h"

#include "tests/e2e/harness/process.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zevrino::e2e {

VirtualDisplay::~VirtualDisplay() {
  Stop();
}

bool VirtualDisplay::Start(std::string* error) {
  Stop();
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  // -displayfd: Xvfb chooses a free display and writes its number, followed
  // by a newline, to that descriptor once it accepts connections.
  const std::string fd_text = std::to_string(fds[1]);
  const pid_t pid = fork();
  if (pid < 0) {
    *error = std::string("fork: ") + std::strerror(errno);
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    fcntl(fds[1], F_SETFD, 0);  // keep the write end across exec
    const int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    dup2(null_fd, 2);
    execlp("Xvfb", "Xvfb", "-displayfd", fd_text.c_str(), "-screen", "0", "1280x1024x24",
           "-nolisten", "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  pid_ = pid;

  // Nothing within 30 s, or Xvfb ending without naming a display, fails.
  std::string number;
  const bool complete =
      ReadLineFromPipe(fds[0], std::chrono::seconds(30), &number) && !number.empty();
  close(fds[0]);
  if (!complete) {
    *error = "Xvfb did not report a display";
    Stop();
    return false;
  }
  name_ = ":" + number;
  return true;
}

void VirtualDisplay::Stop() {
  StopHelperProcess(pid_);
  pid_ = -1;
  name_.clear();
}

}  // namespace zevrino::e2e
