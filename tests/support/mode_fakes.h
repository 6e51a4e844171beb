#pragma once
// Fakes of the modes' ports (base/mode_ports.h) that keep the state a
// test asserts: which mutexes are held, what was asked, closed, installed,
// started and deleted. `step` numbers what happened, where a test asserts
// the order that is the contract (e.g. the application closed before the
// install).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "base/mode_ports.h"

namespace zevrino::desktop::installer::testing {

// The front of `queue`, taken from it; `otherwise` when it is empty.
template <typename T>
T Next(std::deque<T>& queue, typename std::deque<T>::value_type otherwise) {
  if (!queue.empty()) {
    otherwise = queue.front();
    queue.pop_front();
  }
  return otherwise;
}

struct FakeMutexes final : NamedMutexes {
  std::set<std::wstring> held;
  std::set<std::wstring> others;  // held by other processes
  int tries = 0;
  bool TryTake(const wchar_t* name, bool* now_held) override {
    if (Taken(name) && ++tries <= 1000) {
      return false;
    }
    EXPECT_LE(tries, 1000) << "a wait on a name this process holds itself";
    *now_held = held.insert(name).second;
    return true;
  }
  bool Hold(const wchar_t* name) override { return held.insert(name), true; }
  bool Exists(const wchar_t* name) override { return Taken(name); }
  void Release(const wchar_t* name) override { held.erase(name); }
  bool Taken(const std::wstring& name) const { return held.count(name) + others.count(name) > 0; }
};

struct FakeDialogs final : Dialogs {
  std::vector<Question> asked;
  bool answer = true;  // OK to every question
  std::vector<ResultCode> errors;
  std::deque<bool> retries;  // one per error dialog; none left: no Retry
  bool progress = false;
  bool Ask(Question question) override { return asked.push_back(question), answer; }
  bool ShowError(ResultCode code) override { return errors.push_back(code), Next(retries, false); }
  void ShowProgress() override { progress = true; }
};

struct FakeClock final : Clock {
  std::vector<unsigned> sleeps;
  std::function<void()> on_sleep;
  void Sleep(unsigned milliseconds) override {
    sleeps.push_back(milliseconds);
    if (on_sleep) {
      on_sleep();
    }
  }
};

// The files of one installation: every folder has the identity `folder`,
// which a swap changes.
struct FakeFiles final : InstallationProbe, Files {
  std::wstring default_directory = L"C:\\Users\\u\\AppData\\Roaming\\Zevrino";
  bool same_or_newer = false;
  bool holds_product = true;
  std::uint64_t folder = 1;
  FileAccess access = FileAccess::kOpened;
  bool can_create = true;
  std::set<std::wstring> deleted;

  std::wstring DefaultDirectory() override { return default_directory; }
  bool HoldsProduct(const std::wstring&) override { return holds_product; }
  bool HoldsSameOrNewerVersion(const std::wstring&) override { return same_or_newer; }
  bool Identify(const std::wstring& directory, InstallationIdentity* identity) override {
    *identity = {0, folder, true, directory.size()};
    return true;
  }
  FileAccess OpenExclusively(const std::wstring&) override { return access; }
  bool CanCreateFileIn(const std::wstring&) override { return can_create; }
  void Delete(const std::wstring& path) override { deleted.insert(path); }
};

// The application, the installation and the start-up value; each *_at is
// the `step` of the last such change, 0 when there was none.
struct FakeSystem final : RunningApplication, Installation, Registry {
  int step = 0;
  bool running = false;
  int closed_at = 0;
  int listener_closed_at = 0;
  std::deque<ResultCode> install_results;  // one per install; none left: kSuccess
  std::vector<std::wstring> installs;      // the directories installed into
  int installed_at = 0;
  bool start_succeeds = true;
  std::vector<std::wstring> starts;  // the directory followed by the extra argument
  int started_at = 0;
  int shortcuts_at = 0;
  int replaced_deleted_at = 0;
  bool startup_value = true;

  bool IsRunning() override { return running; }
  void Close(const std::wstring&) override { closed_at = ++step; }
  void CloseHttpsListener(const std::wstring&) override { listener_closed_at = ++step; }
  bool Start(const std::wstring& directory, const char* extra) override {
    started_at = ++step;
    starts.push_back(directory + std::wstring(extra, extra + (extra ? std::strlen(extra) : 0)));
    return start_succeeds;
  }
  ResultCode InstallAndRegister(const std::wstring& directory) override {
    installed_at = ++step;
    installs.push_back(directory);
    return Next(install_results, kSuccess);
  }
  void DeleteReplacedFiles() override { replaced_deleted_at = ++step; }
  void CreateShortcuts(const std::wstring&) override { shortcuts_at = ++step; }
  void DeleteStartupValue() override { startup_value = false; }
};

}  // namespace zevrino::desktop::installer::testing
