#pragma once
// Wraps any FileSystem, numbers every call from 0 and makes chosen calls fail
// without touching the wrapped file system:
//   passing  the call fails once; repeating it later works;
//   lasting  the call fails, and so does every later call of the same
//            operation with the same paths (a file that stays locked).
// Failures look as the Windows implementation reports them: system error 5
// or 32, or installer error 14 where the operation reports result codes.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "files/file_system.h"

namespace zevrino::desktop::installer::testing {

enum class FaultKind { kPassing, kLasting };

enum class Operation {
  kCreateDirectories,
  kWriteNewFile,
  kRemove,
  kRemoveOrDelayUntilReboot,
  kRename,
  kIsRegularFile,
  kIsLink,
  kRemoveLink,
  kForEachFile,
  kForEachFileRecursive,
};

const char* OperationName(Operation operation);

struct Call {
  Operation operation;
  std::wstring path;
  std::wstring second_path;  // Rename's destination
  bool failed = false;
};

class FaultInjectingFileSystem final : public FileSystem {
 public:
  explicit FaultInjectingFileSystem(FileSystem& inner) : inner_(inner) {}

  void FailCall(std::size_t index, FaultKind kind);
  // Fails the first call from now on for which `matches` holds.
  void FailFirstMatching(std::function<bool(const Call&)> matches, FaultKind kind);
  const std::vector<Call>& calls() const { return calls_; }

  bool CreateDirectories(const std::wstring& path, ErrorCode& error) override;
  bool WriteNewFile(const std::wstring& path, ByteRange content, ErrorCode& error) override;
  bool Remove(const std::wstring& path, ErrorCode& error) override;
  bool RemoveOrDelayUntilReboot(const std::wstring& path, ErrorCode& error) override;
  bool Rename(const std::wstring& source, const std::wstring& destination,
              ErrorCode& error) override;
  bool IsLink(const std::wstring& path, ErrorCode& error) override;
  bool RemoveLink(const std::wstring& path, ErrorCode& error) override;
  bool IsRegularFile(const std::wstring& path, ErrorCode& error) override;
  bool ForEachFile(const std::wstring& directory, const FileCallback& callback,
                   ErrorCode& error) override;
  bool ForEachFileRecursive(const std::wstring& directory, const FileCallback& callback,
                            ErrorCode& error) override;
  // Passed on as it is: never a point of failure here.
  bool FreeSpaceOnVolume(const std::wstring& path, std::uint64_t& bytes,
                         ErrorCode& error) override {
    return inner_.FreeSpaceOnVolume(path, bytes, error);
  }

 private:
  struct Fault {
    std::size_t index;  // or the first call that `matches`
    std::function<bool(const Call&)> matches;
    FaultKind kind;
    bool used = false;
  };

  // Records the call; true when it is to fail.
  bool Fails(Operation operation, const std::wstring& path, const std::wstring& second_path = {});
  // Fails the call as Fails decides, with `fault`, or lets `forward` make it.
  template <typename Forward>
  bool Pass(Operation operation, const std::wstring& path, const std::wstring& second_path,
            ErrorCode fault, ErrorCode& error, Forward&& forward);

  FileSystem& inner_;
  std::vector<Fault> faults_;
  std::vector<Call> lasting_;  // signatures that keep failing
  std::vector<Call> calls_;
};

}  // namespace zevrino::desktop::installer::testing
