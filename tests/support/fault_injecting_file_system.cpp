#include "tests/support/fault_injecting_file_system.h"

#include <utility>

namespace zevrino::desktop::installer::testing {
namespace {

constexpr std::int32_t kAccessDenied = 5;
constexpr std::int32_t kSharingViolation = 32;

}  // namespace

const char* OperationName(Operation operation) {
  // In the order of Operation.
  static const char* const kNames[] = {"CreateDirectories",
                                       "WriteNewFile",
                                       "Remove",
                                       "RemoveOrDelayUntilReboot",
                                       "Rename",
                                       "IsRegularFile",
                                       "IsLink",
                                       "RemoveLink",
                                       "ForEachFile",
                                       "ForEachFileRecursive"};
  return kNames[static_cast<int>(operation)];
}

void FaultInjectingFileSystem::FailCall(std::size_t index, FaultKind kind) {
  faults_.push_back(Fault{index, nullptr, kind});
}

void FaultInjectingFileSystem::FailFirstMatching(std::function<bool(const Call&)> matches,
                                                 FaultKind kind) {
  faults_.push_back(Fault{0, std::move(matches), kind});
}

bool FaultInjectingFileSystem::Fails(Operation operation, const std::wstring& path,
                                     const std::wstring& second_path) {
  Call call{operation, path, second_path, false};
  for (const Call& lasting : lasting_) {
    if (lasting.operation == operation && lasting.path == path &&
        lasting.second_path == second_path) {
      call.failed = true;
    }
  }
  for (Fault& fault : faults_) {
    const bool hit =
        fault.matches ? !fault.used && fault.matches(call) : fault.index == calls_.size();
    if (hit) {
      fault.used = true;
      call.failed = true;
      if (fault.kind == FaultKind::kLasting) {
        lasting_.push_back(call);
      }
    }
  }
  calls_.push_back(call);
  return call.failed;
}

template <typename Forward>
bool FaultInjectingFileSystem::Pass(Operation operation, const std::wstring& path,
                                    const std::wstring& second_path, ErrorCode fault,
                                    ErrorCode& error, Forward&& forward) {
  if (Fails(operation, path, second_path)) {
    error = fault;
    return false;
  }
  return forward();
}

// Each failure as the Windows implementation reports it.
bool FaultInjectingFileSystem::CreateDirectories(const std::wstring& path, ErrorCode& error) {
  return Pass(Operation::kCreateDirectories, path, {}, ErrorCode::System(kAccessDenied), error,
              [&] { return inner_.CreateDirectories(path, error); });
}

bool FaultInjectingFileSystem::WriteNewFile(const std::wstring& path, ByteRange content,
                                            ErrorCode& error) {
  return Pass(Operation::kWriteNewFile, path, {}, ErrorCode::Installer(kFileInUse), error,
              [&] { return inner_.WriteNewFile(path, content, error); });
}

bool FaultInjectingFileSystem::Remove(const std::wstring& path, ErrorCode& error) {
  return Pass(Operation::kRemove, path, {}, ErrorCode::System(kSharingViolation), error,
              [&] { return inner_.Remove(path, error); });
}

bool FaultInjectingFileSystem::RemoveOrDelayUntilReboot(const std::wstring& path,
                                                        ErrorCode& error) {
  return Pass(Operation::kRemoveOrDelayUntilReboot, path, {}, ErrorCode::Installer(kFileInUse),
              error, [&] { return inner_.RemoveOrDelayUntilReboot(path, error); });
}

bool FaultInjectingFileSystem::Rename(const std::wstring& source, const std::wstring& destination,
                                      ErrorCode& error) {
  return Pass(Operation::kRename, source, destination, ErrorCode::System(kSharingViolation), error,
              [&] { return inner_.Rename(source, destination, error); });
}

bool FaultInjectingFileSystem::IsLink(const std::wstring& path, ErrorCode& error) {
  return Pass(Operation::kIsLink, path, {}, ErrorCode::System(kAccessDenied), error,
              [&] { return inner_.IsLink(path, error); });
}

bool FaultInjectingFileSystem::RemoveLink(const std::wstring& path, ErrorCode& error) {
  return Pass(Operation::kRemoveLink, path, {}, ErrorCode::System(kAccessDenied), error,
              [&] { return inner_.RemoveLink(path, error); });
}

bool FaultInjectingFileSystem::IsRegularFile(const std::wstring& path, ErrorCode& error) {
  return Pass(Operation::kIsRegularFile, path, {}, ErrorCode::System(kAccessDenied), error,
              [&] { return inner_.IsRegularFile(path, error); });
}

bool FaultInjectingFileSystem::ForEachFile(const std::wstring& directory,
                                           const FileCallback& callback, ErrorCode& error) {
  return Pass(Operation::kForEachFile, directory, {}, ErrorCode::System(kAccessDenied), error,
              [&] { return inner_.ForEachFile(directory, callback, error); });
}

bool FaultInjectingFileSystem::ForEachFileRecursive(const std::wstring& directory,
                                                    const FileCallback& callback,
                                                    ErrorCode& error) {
  return Pass(Operation::kForEachFileRecursive, directory, {}, ErrorCode::System(kAccessDenied),
              error, [&] { return inner_.ForEachFileRecursive(directory, callback, error); });
}

}  // namespace zevrino::desktop::installer::testing
