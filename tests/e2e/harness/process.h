#pragma once
// Runs a Linux program (usually `wine ...`) with extra environment variables,
// captures its standard output and error and waits for it with a time limit.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace zevrino::e2e {

using Environment = std::vector<std::pair<std::string, std::string>>;

struct ProcessResult {
  bool started = false;    // false: fork or exec failed (see error)
  bool timed_out = false;  // killed after the time limit
  int exit_code = -1;      // exit status, or -1 when killed by a signal
  int signal = 0;          // the signal that ended it, if any
  std::string out;
  std::string err;
  std::string error;  // why it did not start

  bool ExitedWith(int code) const {
    return started && !timed_out && signal == 0 && exit_code == code;
  }
};

// Starts argv[0] (looked up in PATH) with the current environment plus
// `environment` (which overrides variables of the same name). Standard input
// is /dev/null. The process gets its own process group, which is killed
// when the time limit passes. Output is collected until the process itself
// has exited: a helper it leaves running (wineserver) may hold the pipes.
ProcessResult RunProcess(const std::vector<std::string>& argv, const Environment& environment,
                         std::chrono::milliseconds timeout);

// Reads one line (without its newline) from the pipe `fd`, as a helper
// program announces that it is ready. False when the pipe ends or nothing
// complete arrives within `timeout`; *line then holds what did arrive.
bool ReadLineFromPipe(int fd, std::chrono::milliseconds timeout, std::string* line);

// Ends a helper started in the background (SIGTERM) and waits for it, so that
// no zombie is left; nothing for a pid of 0 or below.
void StopHelperProcess(pid_t pid);

// Describes a result for test failure messages: exit, signal, output.
std::string Describe(const ProcessResult& result);

}  // namespace zevrino::e2e
