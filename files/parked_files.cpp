#include "files/parked_files.h"

namespace zevrino::desktop::installer {
namespace {

constexpr int kRounds = 6;
constexpr std::uint32_t kFirstWaitMs = 100;

}  // namespace

void DeleteParkedFiles(FileSystem& file_system, const std::vector<std::wstring>& paths,
                       const std::function<void(std::uint32_t milliseconds)>& sleep) {
  std::vector<std::wstring> left = paths;
  for (int round = 1; round <= kRounds && !left.empty(); ++round) {
    if (round > 1) {
      sleep(kFirstWaitMs << (round - 1));
    }
    std::vector<std::wstring> still_there;
    for (const std::wstring& path : left) {
      ErrorCode error;
      if (file_system.Remove(path, error) || !error) {
        continue;  // removed, or already gone
      }
      if (round == kRounds) {
        file_system.RemoveOrDelayUntilReboot(path, error);
      } else {
        still_there.push_back(path);
      }
    }
    left.swap(still_there);
  }
}

}  // namespace zevrino::desktop::installer
