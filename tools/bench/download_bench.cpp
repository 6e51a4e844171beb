// Download benchmark (Windows build; run under Wine or on Windows):
//
//   download_bench.exe URL OUTPUT [rounds]        default 1 round
//
// Downloads URL into OUTPUT through the installer's DownloadToFile (WinINet,
// reads of what has arrived, up to 1 MiB, straight into the file) and
// prints, per round, the seconds and MB/s, and the working set before the
// first round and at its peak, so that a download that holds more than its
// read buffer shows, and the number of reads and the longest gap between
// two of them (the time the progress and a cancel went unseen). Driven by
// download_bench.sh, which serves a 300 MB file on loopback and times curl
// fetching the same file.

#include <windows.h>
// psapi.h needs the types of windows.h first.
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "webinstall/download_to_file_win.h"
#include "windows/scoped_handle_win.h"
#include "windows/wide_text_win.h"

namespace installer = zevrino::desktop::installer;

namespace {

double WorkingSetMb(bool peak) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
  return static_cast<double>(peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize) /
         (1024.0 * 1024.0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: download_bench URL OUTPUT [rounds]\n");
    return 2;
  }
  const std::string url = installer::WideToUtf8(argv[1]);
  const int rounds = argc > 3 ? std::max(1, _wtoi(argv[3])) : 1;
  // Load WinINet and warm the connection machinery outside the measurement.
  installer::CanOpenAddress(url.c_str());
  std::printf("working set before: %.1f MB\n", WorkingSetMb(false));
  int failures = 0;
  for (int round = 0; round < rounds; ++round) {
    installer::ScopedFileHandle file(::CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE,
                                                   FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
      std::fprintf(stderr, "cannot create the output file: error %lu\n", ::GetLastError());
      return 2;
    }
    installer::DownloadProgressState progress;
    std::atomic<bool> cancel{false};
    installer::DownloadShared shared;
    shared.progress = &progress;
    shared.cancel_requested = &cancel;
    // Called before every read: the longest gap between two calls is how
    // long the progress and a cancel went unseen (a slow server shows it).
    const auto start = std::chrono::steady_clock::now();
    auto last_read = start;
    double longest_gap = 0;
    long reads = 0;
    shared.wait_for_cancel_question = [&] {
      const auto now = std::chrono::steady_clock::now();
      longest_gap = std::max(longest_gap, std::chrono::duration<double>(now - last_read).count());
      last_read = now;
      ++reads;
    };
    const installer::ResultCode result = installer::DownloadToFile(url.c_str(), file.get(), shared);
    file.Close();  // the close flushes; it belongs to the download's cost
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double mb = static_cast<double>(progress.bytes_received.load()) / 1e6;
    std::printf(
        "round %d: result %u, %.1f MB in %.3f s = %.1f MB/s, %ld reads, longest gap %.0f ms\n",
        round + 1, installer::ResultNumber(result), mb, seconds, mb / seconds, reads,
        longest_gap * 1000);
    failures += result == installer::kSuccess ? 0 : 1;
  }
  std::printf("peak working set: %.1f MB\n", WorkingSetMb(true));
  return failures == 0 ? 0 : 1;
}
