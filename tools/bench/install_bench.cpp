// Install benchmark (Windows build; run under Wine or on Windows):
//
//   install_bench.exe [total MB] [rounds]     default 305 MB, 5 rounds
//
// Makes a tree of about 100 real files (one large executable, a few
// resource packs, many small catalogs under "locales") in %TEMP%, loads it
// into memory as the installer's client holds the decoded archive, and then,
// round after round, times:
//   copy     CopyFileW of every source file into a fresh directory
//   copy-over  the same again over that copy (the plain way to overwrite)
//   write    one CreateFileW and WriteFile per file from memory into a fresh
//            directory (the floor for any installer writing from memory)
//   install  TransactedFileInstaller into an empty directory
//   upgrade  TransactedFileInstaller over that installation
//   upgrade-deferred  the same once more, with the commit leaving the old
//            files parked (DeferBackupDeletion); their deletion afterwards
//            (DeleteParkedFiles) is timed on its own
// and prints MB/s for each (best round; the measurements take turns at
// going first). Everything is removed at the end.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/product_settings.h"
#include "files/file_system.h"
#include "files/parked_files.h"
#include "files/transacted_file_installer.h"

namespace {

namespace fs = std::filesystem;
using zevrino::desktop::installer::ByteRange;
using zevrino::desktop::installer::CreateFileSystem;
using zevrino::desktop::installer::kApplicationFileNameWide;
using zevrino::desktop::installer::kSuccess;
using zevrino::desktop::installer::ResultCode;
using zevrino::desktop::installer::ResultNumber;
using zevrino::desktop::installer::TransactedFileInstaller;

struct BenchFile {
  std::wstring name;  // relative, "/" between elements as in the archive
  std::vector<std::uint8_t> content;
};

// Sizes shaped like the shipped package: 96 files, most of the bytes in a
// few large files.
std::vector<BenchFile> MakeFiles(std::uint64_t total_bytes) {
  std::vector<BenchFile> files;
  const std::uint64_t unit = total_bytes / 1000;
  files.push_back({kApplicationFileNameWide, std::vector<std::uint8_t>(unit * 450)});
  for (int i = 0; i < 5; ++i) {
    files.push_back(
        {L"resources/pack" + std::to_wstring(i) + L".bin", std::vector<std::uint8_t>(unit * 70)});
  }
  for (int i = 0; i < 75; ++i) {
    files.push_back({L"locales/lang" + std::to_wstring(i) + L".pak",
                     std::vector<std::uint8_t>(unit * 2 + static_cast<std::uint64_t>(i) * 97)});
  }
  std::uint64_t used = 0;
  for (const BenchFile& file : files) {
    used += file.content.size();
  }
  const std::uint64_t rest = total_bytes > used ? total_bytes - used : 0;
  for (int i = 0; i < 15; ++i) {
    files.push_back({L"lib" + std::to_wstring(i) + L".dll", std::vector<std::uint8_t>(rest / 15)});
  }
  // Incompressible, varied content (xorshift), so no layer can shortcut it.
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  for (BenchFile& file : files) {
    for (std::uint8_t& byte : file.content) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      byte = static_cast<std::uint8_t>(state);
    }
  }
  return files;
}

std::wstring Native(const std::wstring& name) {
  std::wstring native = name;
  std::replace(native.begin(), native.end(), L'/', L'\\');
  return native;
}

bool WriteWhole(const fs::path& path, const std::vector<std::uint8_t>& content) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD written = 0;
  const bool ok =
      WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
      written == content.size();
  CloseHandle(file);
  return ok;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool PlainCopy(const fs::path& source, const fs::path& target, const std::vector<BenchFile>& files,
               bool over_existing) {
  for (const BenchFile& file : files) {
    const fs::path to = target / Native(file.name);
    fs::create_directories(to.parent_path());
    if (!CopyFileW((source / Native(file.name)).c_str(), to.c_str(),
                   over_existing ? FALSE : TRUE)) {
      return false;
    }
  }
  return true;
}

bool PlainWrite(const fs::path& target, const std::vector<BenchFile>& files) {
  for (const BenchFile& file : files) {
    const fs::path to = target / Native(file.name);
    fs::create_directories(to.parent_path());
    if (!WriteWhole(to, file.content)) {
      return false;
    }
  }
  return true;
}

struct InstallTimes {
  ResultCode result = kSuccess;
  double staging_s = 0;            // Prepare and every AddFile
  double commit_s = 0;             // ScheduleObsoleteFileRemoval, Commit and the destructor
  double deferred_deletion_s = 0;  // DeleteParkedFiles after a deferring commit
};

InstallTimes Install(const fs::path& target, const std::vector<BenchFile>& files,
                     bool defer_backup_deletion = false) {
  InstallTimes times;
  auto start = std::chrono::steady_clock::now();
  auto file_system = CreateFileSystem();
  std::vector<std::wstring> parked;
  {
    TransactedFileInstaller installer(*file_system, target.wstring());
    if (defer_backup_deletion) {
      installer.DeferBackupDeletion();
    }
    times.result = installer.Prepare();
    for (const BenchFile& file : files) {
      if (times.result != kSuccess) {
        break;
      }
      times.result =
          installer.AddFile(file.name, ByteRange{file.content.data(), file.content.size()});
    }
    times.staging_s = Seconds(start);
    start = std::chrono::steady_clock::now();
    if (times.result == kSuccess) {
      times.result = installer.ScheduleObsoleteFileRemoval();
    }
    if (times.result == kSuccess) {
      times.result = installer.Commit();
    }
    parked = installer.ParkedFiles();
  }
  times.commit_s = Seconds(start);
  start = std::chrono::steady_clock::now();
  zevrino::desktop::installer::DeleteParkedFiles(*file_system, parked, Sleep);
  times.deferred_deletion_s = Seconds(start);
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 305;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const fs::path root =
      fs::temp_directory_path() / (L"install_bench_" + std::to_wstring(GetCurrentProcessId()));
  fs::remove_all(root);

  const std::vector<BenchFile> files = MakeFiles(megabytes * 1000 * 1000);
  std::uint64_t bytes = 0;
  for (const BenchFile& file : files) {
    bytes += file.content.size();
  }
  const fs::path source = root / L"source";
  if (!PlainWrite(source, files)) {
    std::fprintf(stderr, "cannot write the source tree under %ls\n", root.c_str());
    return 1;
  }
  std::printf("tree: %u files, %.1f MB, in %ls\n", static_cast<unsigned>(files.size()), bytes / 1e6,
              root.c_str());

  // The measurements take turns at going first, and each removes what it
  // wrote, so that every one starts with the same files on disk.
  const double mb = bytes / 1e6;
  enum { kCopy, kCopyOver, kWrite, kInstall, kUpgrade, kUpgradeDeferred, kCount };
  double best[kCount] = {};
  const char* const labels[kCount] = {"copy",    "copy-over", "write",
                                      "install", "upgrade",   "upgrade-deferred"};
  for (int round = 0; round < rounds; ++round) {
    const fs::path copy = root / L"copy";
    const fs::path write = root / L"write";
    const fs::path install = root / L"install";
    double rate[kCount] = {};
    InstallTimes installed, upgraded, deferred;
    bool ok = true;
    for (int turn = 0; turn < 3; ++turn) {
      const int which = (round + turn) % 3;
      auto start = std::chrono::steady_clock::now();
      if (which == 0) {
        ok = PlainCopy(source, copy, files, false) && ok;
        rate[kCopy] = mb / Seconds(start);
        start = std::chrono::steady_clock::now();
        ok = PlainCopy(source, copy, files, true) && ok;
        rate[kCopyOver] = mb / Seconds(start);
        fs::remove_all(copy);
      } else if (which == 1) {
        ok = PlainWrite(write, files) && ok;
        rate[kWrite] = mb / Seconds(start);
        fs::remove_all(write);
      } else {
        installed = Install(install, files);
        upgraded = Install(install, files);
        deferred = Install(install, files, true);
        ok = ok && installed.result == kSuccess && upgraded.result == kSuccess &&
             deferred.result == kSuccess;
        rate[kInstall] = mb / (installed.staging_s + installed.commit_s);
        rate[kUpgrade] = mb / (upgraded.staging_s + upgraded.commit_s);
        rate[kUpgradeDeferred] = mb / (deferred.staging_s + deferred.commit_s);
        fs::remove_all(install);
      }
    }
    if (!ok) {
      std::fprintf(stderr, "round %d failed (install %u, upgrade %u)\n", round,
                   ResultNumber(installed.result), ResultNumber(upgraded.result));
      fs::remove_all(root);
      return 1;
    }
    std::printf("round %d:", round);
    for (int i = 0; i < kCount; ++i) {
      std::printf("  %s %6.0f", labels[i], rate[i]);
      best[i] = std::max(best[i], rate[i]);
    }
    std::printf(
        " MB/s (install: staging %.0f ms, commit %.0f ms; upgrade: %.0f ms, %.0f ms; deferred: "
        "%.0f ms, %.0f ms, then deletion %.0f ms)\n",
        1000 * installed.staging_s, 1000 * installed.commit_s, 1000 * upgraded.staging_s,
        1000 * upgraded.commit_s, 1000 * deferred.staging_s, 1000 * deferred.commit_s,
        1000 * deferred.deferred_deletion_s);
  }
  std::printf("best:   ");
  for (int i = 0; i < kCount; ++i) {
    std::printf("  %s %6.0f", labels[i], best[i]);
  }
  std::printf(" MB/s\ninstall/copy %.0f%%  upgrade/copy-over %.0f%%  upgrade/copy %.0f%%\n",
              100 * best[kInstall] / best[kCopy], 100 * best[kUpgrade] / best[kCopyOver],
              100 * best[kUpgrade] / best[kCopy]);
  std::printf("time of upgrade / install %.2fx; with deferred deletion %.2fx (target <= 1.3x)\n",
              best[kInstall] / best[kUpgrade], best[kInstall] / best[kUpgradeDeferred]);
  fs::remove_all(root);
  return 0;
}
