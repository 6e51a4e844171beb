#pragma once
// Update mode: the installed application has its own files replaced and is
// restarted.

#include <windows.h>

#include <string>
#include <vector>

#include "base/options.h"
#include "base/result_code.h"
#include "payload/payload_reader.h"
#include "update/update_flow.h"

namespace zevrino::desktop::installer {

// The update's own path arithmetic against the real file system.
class WindowsUpdatePaths final : public UpdatePaths {
 public:
  // GetFinalPathNameByHandleW's signature: file systems and redirectors that
  // do not support the call make it fail, which tests imitate.
  using FinalPathQuery = DWORD(WINAPI*)(HANDLE file, LPWSTR path, DWORD size, DWORD flags);

  explicit WindowsUpdatePaths(FinalPathQuery final_path = ::GetFinalPathNameByHandleW)
      : final_path_(final_path) {}

  std::vector<std::string> ProtectedFolders() override;
  bool PathsEqual(const char* a, const char* b) override;
  std::string ResolveExistingDirectory(const std::string& directory) override;

 private:
  const FinalPathQuery final_path_;
};

// RunUpdate (update_flow.h) of the path given after `update` in `options`,
// against the real system: files, registry, the named mutexes of this
// session, the running application's windows, the install of the payload
// and the start of the updated application with the forwarded arguments of
// `options`. `held` says which named mutexes earlier attempts of this
// process hold.
// The named mutexes it takes are held by `mutexes`, which the run keeps
// until it ends, so that a Retry still holds them.
ResultCode RunUpdate(const Options& options, const PayloadReader& reader, NamedMutexes& mutexes,
                     UpdateMutexes& held);

}  // namespace zevrino::desktop::installer
