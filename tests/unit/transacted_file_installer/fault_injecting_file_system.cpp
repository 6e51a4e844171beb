#include "tests/unit/transacted_file_installer/fault_injecting_file_system.h"

#include <utility>

namespace zevrino::desktop::installer::testing {
namespace {

constexpr std::int32_t kAccessDenied = 5;
constexpr std::int32_t kSharingViolation = 32;

}  // namespace

const char* OperationName(Operation operation) {
  switch (operation) {
    case Operation::kCreateDirectories:
      return "CreateDirectories";
    case Operation::kWriteNewFile:
      return "WriteNewFile";
    case Operation::kRemove:
      return "Remove";
    case Operation::kRemoveOrDelayUntilReboot:
      return "RemoveOrDelayUntilReboot";
    case Operation::kRename:
      return "Rename";
    case Operation::kIsRegularFile:
      return "IsRegularFile";
    case Operation::kIsLink:
      return "IsLink";
    case Operation::kRemoveLink:
      return "RemoveLink";
    case Operation::kForEachFile:
      return "ForEachFile";
    case Operation::kForEachFileRecursive:
      return "ForEachFileRecursive";
  }
  return "?";
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

bool FaultInjectingFileSystem::CreateDirectories(const std::wstring& path, ErrorCode& error) {
  if (Fails(Operation::kCreateDirectories, path)) {
    error = ErrorCode::System(kAccessDenied);
    return false;
  }
  return inner_.CreateDirectories(path, error);
}

bool FaultInjectingFileSystem::WriteNewFile(const std::wstring& path, ByteRange content,
                                            ErrorCode& error) {
  if (Fails(Operation::kWriteNewFile, path)) {
    error = ErrorCode::Installer(kFileInUse);
    return false;
  }
  return inner_.WriteNewFile(path, content, error);
}

bool FaultInjectingFileSystem::Remove(const std::wstring& path, ErrorCode& error) {
  if (Fails(Operation::kRemove, path)) {
    error = ErrorCode::System(kSharingViolation);
    return false;
  }
  return inner_.Remove(path, error);
}

bool FaultInjectingFileSystem::RemoveOrDelayUntilReboot(const std::wstring& path,
                                                        ErrorCode& error) {
  if (Fails(Operation::kRemoveOrDelayUntilReboot, path)) {
    error = ErrorCode::Installer(kFileInUse);
    return false;
  }
  return inner_.RemoveOrDelayUntilReboot(path, error);
}

bool FaultInjectingFileSystem::Rename(const std::wstring& source, const std::wstring& destination,
                                      ErrorCode& error) {
  if (Fails(Operation::kRename, source, destination)) {
    error = ErrorCode::System(kSharingViolation);
    return false;
  }
  return inner_.Rename(source, destination, error);
}

bool FaultInjectingFileSystem::IsLink(const std::wstring& path, ErrorCode& error) {
  if (Fails(Operation::kIsLink, path)) {
    error = ErrorCode::System(kAccessDenied);
    return false;
  }
  return inner_.IsLink(path, error);
}

bool FaultInjectingFileSystem::RemoveLink(const std::wstring& path, ErrorCode& error) {
  if (Fails(Operation::kRemoveLink, path)) {
    error = ErrorCode::System(kAccessDenied);
    return false;
  }
  return inner_.RemoveLink(path, error);
}

bool FaultInjectingFileSystem::IsRegularFile(const std::wstring& path, ErrorCode& error) {
  if (Fails(Operation::kIsRegularFile, path)) {
    error = ErrorCode::System(kAccessDenied);
    return false;
  }
  return inner_.IsRegularFile(path, error);
}

bool FaultInjectingFileSystem::ForEachFile(const std::wstring& directory,
                                           const FileCallback& callback, ErrorCode& error) {
  if (Fails(Operation::kForEachFile, directory)) {
    error = ErrorCode::System(kAccessDenied);
    return false;
  }
  return inner_.ForEachFile(directory, callback, error);
}

bool FaultInjectingFileSystem::ForEachFileRecursive(const std::wstring& directory,
                                                    const FileCallback& callback,
                                                    ErrorCode& error) {
  if (Fails(Operation::kForEachFileRecursive, directory)) {
    error = ErrorCode::System(kAccessDenied);
    return false;
  }
  return inner_.ForEachFileRecursive(directory, callback, error);
}

}  // namespace zevrino::desktop::installer::testing
