// Signature check benchmark (Windows build; run under Wine or on Windows):
//
//   signature_bench.exe FILE [rounds]        default 5 rounds
//
// Times what a web install adds before it starts the downloaded installer:
// reading the web installer's own signer (EmbeddedSigner, here of FILE) and
// the Authenticode check of the download through its handle
// (CheckFileSignature). Prints each round's milliseconds, the first round
// apart (it loads wintrust and crypt32 and builds the root store), and the
// check's result, so that a file that did not verify is not timed unseen.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "webinstall/authenticode_win.h"
#include "windows/scoped_handle_win.h"

namespace installer = zevrino::desktop::installer;

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: signature_bench FILE [rounds]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
  const installer::ScopedFileHandle file(::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ,
                                                       nullptr, OPEN_EXISTING,
                                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    std::fprintf(stderr, "cannot open the file: error %lu\n", ::GetLastError());
    return 2;
  }
  std::vector<double> later;
  for (int round = 0; round < rounds; ++round) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const bool has_signer = installer::EmbeddedSigner(argv[1]).has_value();
    const Clock::time_point signer_read = Clock::now();
    const installer::SignatureCheck check = installer::CheckFileSignature(file.get(), argv[1]);
    const Clock::time_point checked = Clock::now();
    const double signer_ms = std::chrono::duration<double, std::milli>(signer_read - start).count();
    const double check_ms =
        std::chrono::duration<double, std::milli>(checked - signer_read).count();
    std::printf(
        "round %d: own signer %.1f ms (%s), check %.1f ms (result 0x%08lX, chain 0x%08lX, "
        "signer \"%s\" \"%s\", %s)\n",
        round + 1, signer_ms, has_signer ? "found" : "none", check_ms,
        static_cast<unsigned long>(check.result), static_cast<unsigned long>(check.chain_status),
        check.signer ? check.signer->common_name.c_str() : "",
        check.signer ? check.signer->organization.c_str() : "",
        check.may_sign_code ? "may sign code" : "not for code");
    if (round > 0) {
      later.push_back(signer_ms + check_ms);
    }
  }
  if (!later.empty()) {
    std::sort(later.begin(), later.end());
    std::printf("median of the later rounds: %.1f ms\n", later[later.size() / 2]);
  }
  return 0;
}
