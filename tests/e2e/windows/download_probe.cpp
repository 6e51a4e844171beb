// download_probe.exe: runs the installer's download on its own, for the
// end-to-end tests of the download and its failures.
//
//   download_probe.exe [--stall-ms N] OUTPUT_DIR URL...
//
// --stall-ms sets how long a download waits for a silent server (30 s
// otherwise).
//
// Prints "arch <NativeArchitectureName>", then for the i-th URL (0-based,
// "[ARCH]" replaced as the web installer does) downloads into
// OUTPUT_DIR\<i>.bin and prints one line
//   <i> result <code> received <bytes> expected <bytes> http <0|1>
// where http says whether the same address with http:// instead of
// https:// can be opened (always 0 for other addresses). Exits with 0 once
// every URL was tried, 2 for bad arguments or an output file it cannot make.

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "webinstall/download_address.h"
#include "webinstall/download_to_file_win.h"
#include "webinstall/native_architecture_win.h"
#include "windows/scoped_handle_win.h"
#include "windows/wide_text_win.h"

namespace installer = zevrino::desktop::installer;

int wmain(int argc, wchar_t** argv) {
  std::uint32_t stall_ms = installer::kDownloadStallTimeoutMs;
  if (argc > 2 && std::wstring(argv[1]) == L"--stall-ms") {
    stall_ms = static_cast<std::uint32_t>(_wtoi(argv[2]));
    argc -= 2;
    argv += 2;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: download_probe OUTPUT_DIR URL...\n");
    return 2;
  }
  std::printf("arch %s\n", installer::NativeArchitectureName().c_str());
  for (int i = 2; i < argc; ++i) {
    const std::string url = installer::ReplaceArchPlaceholder(installer::WideToUtf8(argv[i]));
    const std::wstring output = std::wstring(argv[1]) + L"\\" + std::to_wstring(i - 2) + L".bin";
    installer::ScopedFileHandle file(::CreateFileW(output.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                   FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
      std::fprintf(stderr, "cannot create %ls\n", output.c_str());
      return 2;
    }
    installer::DownloadProgressState progress;
    std::atomic<bool> cancel{false};
    installer::DownloadShared shared;
    shared.progress = &progress;
    shared.cancel_requested = &cancel;
    shared.stall_timeout_ms = stall_ms;
    shared.sleep_one_second = [] { ::Sleep(1000); };
    const installer::ResultCode result = installer::DownloadToFile(url.c_str(), file.get(), shared);
    std::string plain;
    const bool http =
        installer::PlainHttpAddress(url, &plain) && installer::CanOpenAddress(plain.c_str());
    std::printf("%d result %u received %llu expected %llu http %d\n", i - 2,
                installer::ResultNumber(result),
                static_cast<unsigned long long>(progress.bytes_received.load()),
                static_cast<unsigned long long>(progress.bytes_expected.load()), http ? 1 : 0);
    std::fflush(stdout);
  }
  return 0;
}
