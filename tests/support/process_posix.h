#pragma once
// Linux programs that host tests start: run to their end (usually
// `wine ...`) with extra environment variables, their standard output and
// error captured, within a time limit; or started in the background as
// helpers that announce on a pipe when they are ready.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace zevrino::desktop::installer::testing {

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

// Starts the helper argv[0] (looked up in PATH) in the background with the
// write end of a pipe as its descriptor `announce_fd` (1: its standard
// output), and reads the first line (without its newline) it writes there
// once it is ready. Standard input and output are /dev/null otherwise,
// standard error is this program's. Returns its pid; 0 when it did not
// start or announced nothing complete within 30 s, with *line holding what
// did arrive, and the helper stopped.
pid_t StartHelperProcess(const std::vector<std::string>& argv, int announce_fd, std::string* line);

// Ends a helper started in the background (SIGTERM) and waits for it, so that
// no zombie is left; nothing for a pid of 0 or below.
void StopHelperProcess(pid_t pid);

// Describes a result for test failure messages: exit, signal, output.
std::string Describe(const ProcessResult& result);

}  // namespace zevrino::desktop::installer::testing
