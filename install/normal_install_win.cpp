#include "install/normal_install_win.h"

#include <windows.h>

#include "install/normal_install_flow.h"
#include "install/registry_win.h"
#include "payload/extract_archive.h"
#include "ui/progress_window_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {

ResultCode InstallAndRegister(const std::wstring& directory, const PayloadReader& reader,
                              bool register_entry, const ExtractOptions& options) {
  ExtractOptions counted = options;
  std::uint64_t installed_bytes = 0;
  counted.installed_bytes = &installed_bytes;
  const ResultCode result = ExtractArchive(directory, reader, counted);
  if (result == kSuccess && register_entry) {
    RegisterUninstallEntry(WideToUtf8(directory).c_str(), installed_bytes);
  }
  return result;
}

ExtractOptions NormalInstallExtractOptions(std::vector<std::wstring>* parked_files, UiThread& ui) {
  ExtractOptions options;
  options.parked_files = parked_files;
  // Deleted after the install: a link at either name goes with the commit.
  for (const wchar_t* name : kLeftoverUpdateFiles) {
    options.guarded_names.push_back(name);
  }
  options.cancel = WindowCancelPoints(ui);
  return options;
}

}  // namespace zevrino::desktop::installer
