#pragma once
// A fresh directory under the user's temporary folder for one test, removed
// with its files at the end. The removal is checked: a file that is still
// open or mapped cannot be deleted, so a leaked handle fails the test.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zevrino::desktop::installer::testing {

class TempDir {
 public:
  TempDir() {
    wchar_t base[MAX_PATH];
    EXPECT_GT(::GetTempPathW(MAX_PATH, base), 0u);
    // Process ids are reused, and a crashed run may leave its directory
    // behind: take the first name that does not exist yet.
    for (unsigned attempt = 0;; ++attempt) {
      path_ = std::wstring(base) + L"zv_stub_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
              std::to_wstring(::GetTickCount()) + L"_" + std::to_wstring(attempt);
      if (::CreateDirectoryW(path_.c_str(), nullptr)) {
        break;
      }
      const DWORD error = ::GetLastError();
      if (error != ERROR_ALREADY_EXISTS || attempt == 100) {
        ADD_FAILURE() << "cannot create " << path_.size() << "-unit temp dir: " << error;
        break;
      }
    }
  }
  ~TempDir() {
    for (const std::wstring& file : files_) {
      EXPECT_TRUE(::DeleteFileW(file.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND)
          << "still in use, error " << ::GetLastError();
    }
    EXPECT_TRUE(::RemoveDirectoryW(path_.c_str())) << ::GetLastError();
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::wstring& path() const { return path_; }

  // Full path of `name` inside the directory; the file is deleted at the end.
  std::wstring File(const std::wstring& name) {
    files_.push_back(path_ + L"\\" + name);
    return files_.back();
  }

  // Writes `bytes` into the file `name` and returns its full path.
  std::wstring Write(const std::wstring& name, const std::vector<std::uint8_t>& bytes) {
    const std::wstring path = File(name);
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << ::GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(bytes.empty() || ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                             &written, nullptr));
    EXPECT_EQ(written, bytes.size());
    ::CloseHandle(file);
    return path;
  }

 private:
  std::wstring path_;
  std::vector<std::wstring> files_;
};

}  // namespace zevrino::desktop::installer::testing
