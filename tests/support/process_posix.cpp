#include "tests/support/process_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace zevrino::desktop::installer::testing {

namespace {

// Owns a file descriptor.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void Reset() {
    if (fd_ >= 0) {
      const int saved = errno;
      close(fd_);
      errno = saved;
    }
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

bool MakePipe(Fd* read_end, Fd* write_end) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    return false;
  }
  *read_end = Fd(fds[0]);
  *write_end = Fd(fds[1]);
  return true;
}

std::vector<std::string> MergedEnvironment(const Environment& extra) {
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool overridden = false;
    for (const auto& [key, value] : extra) {
      overridden = overridden || key == name;
    }
    if (!overridden) {
      merged.push_back(text);
    }
  }
  for (const auto& [key, value] : extra) {
    merged.push_back(key + "=" + value);
  }
  return merged;
}

// Reads what is available without blocking; false at end of file.
bool Drain(int fd, std::string* into) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      into->append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    return n < 0 && (errno == EAGAIN || errno == EINTR);
  }
}

// Reads one line (without its newline) from the pipe `fd`. False when the
// pipe ends or nothing complete arrives within `timeout`; *line then holds
// what did arrive.
bool ReadLineFromPipe(int fd, std::chrono::milliseconds timeout, std::string* line) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd poll_fd = {fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&poll_fd, 1, static_cast<int>(left.count())) <= 0) {
      return false;
    }
    char c = 0;
    if (read(fd, &c, 1) != 1) {
      return false;
    }
    if (c == '\n') {
      return true;
    }
    *line += c;
  }
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& text : strings) {
    pointers.push_back(text.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const Environment& environment,
                         std::chrono::milliseconds timeout) {
  ProcessResult result;
  if (argv.empty()) {
    result.error = "no program";
    return result;
  }
  Fd out_read, out_write, err_read, err_write;
  if (!MakePipe(&out_read, &out_write) || !MakePipe(&err_read, &err_write)) {
    result.error = std::string("pipe: ") + std::strerror(errno);
    return result;
  }
  // Everything the child needs is prepared before fork: after it only
  // async-signal-safe calls are allowed.
  std::vector<std::string> env_strings = MergedEnvironment(environment);
  std::vector<char*> env_pointers = Pointers(env_strings);
  std::vector<std::string> arg_strings = argv;
  std::vector<char*> arg_pointers = Pointers(arg_strings);

  const pid_t pid = fork();
  if (pid < 0) {
    result.error = std::string("fork: ") + std::strerror(errno);
    return result;
  }
  if (pid == 0) {
    setpgid(0, 0);
    const int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    dup2(out_write.get(), 1);
    dup2(err_write.get(), 2);
    execvpe(arg_pointers[0], arg_pointers.data(), env_pointers.data());
    const char message[] = "exec failed\n";
    (void)!write(2, message, sizeof message - 1);
    _exit(127);
  }
  setpgid(pid, pid);  // also here, so that a kill cannot race the child's call
  result.started = true;
  out_write.Reset();
  err_write.Reset();
  fcntl(out_read.get(), F_SETFL, O_NONBLOCK);
  fcntl(err_read.get(), F_SETFL, O_NONBLOCK);

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  bool exited = false;
  while (!exited) {
    pollfd fds[2] = {{out_read.get(), POLLIN, 0}, {err_read.get(), POLLIN, 0}};
    poll(fds, 2, 50);
    Drain(out_read.get(), &result.out);
    Drain(err_read.get(), &result.err);
    exited = waitpid(pid, &status, WNOHANG) == pid;
    if (!exited && std::chrono::steady_clock::now() > deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.timed_out = true;
      exited = true;
    }
  }
  // Output written just before the exit is still in the pipes.
  Drain(out_read.get(), &result.out);
  Drain(err_read.get(), &result.err);
  if (WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  return result;
}

pid_t StartHelperProcess(const std::vector<std::string>& argv, int announce_fd, std::string* line) {
  Fd read_end, write_end;
  if (argv.empty() || !MakePipe(&read_end, &write_end)) {
    return 0;
  }
  std::vector<std::string> arg_strings = argv;  // prepared before fork, as in RunProcess
  const std::vector<char*> args = Pointers(arg_strings);
  const pid_t pid = fork();
  if (pid < 0) {
    return 0;
  }
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    if (write_end.get() == announce_fd) {
      fcntl(announce_fd, F_SETFD, 0);  // made with O_CLOEXEC; a dup2 copy is kept
    } else {
      dup2(write_end.get(), announce_fd);
    }
    execvp(args[0], args.data());
    _exit(127);
  }
  write_end.Reset();
  if (!ReadLineFromPipe(read_end.get(), std::chrono::seconds(30), line)) {
    StopHelperProcess(pid);
    return 0;
  }
  return pid;
}

std::string Describe(const ProcessResult& result) {
  std::string text;
  if (!result.started) {
    return "not started: " + result.error;
  }
  text = result.timed_out     ? "timed out"
         : result.signal != 0 ? "killed by signal " + std::to_string(result.signal)
                              : "exit code " + std::to_string(result.exit_code);
  text += "\n--- stdout ---\n" + result.out + "--- stderr ---\n" + result.err;
  return text;
}

void StopHelperProcess(pid_t pid) {
  if (pid > 0) {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
  }
}

}  // namespace zevrino::desktop::installer::testing
