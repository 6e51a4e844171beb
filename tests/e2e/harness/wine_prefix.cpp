#include "tests/e2e/harness/wine_prefix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <sstream>

#include "tests/e2e/harness/test_paths.h"

namespace zevrino::e2e {

namespace fs = std::filesystem;

std::unique_ptr<WinePrefix> WinePrefix::Open(const PrefixOptions& options, std::string* error) {
  std::unique_ptr<WinePrefix> prefix(new WinePrefix());
  prefix->path_ = HostBuildDir() / "e2e" / ("wineprefix-" + options.name);
  std::error_code ec;
  fs::create_directories(prefix->path_.parent_path(), ec);
  const std::string lock_path = prefix->path_.string() + ".lock";
  prefix->lock_fd_ = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (prefix->lock_fd_ < 0 || flock(prefix->lock_fd_, LOCK_EX) != 0) {
    *error = "cannot lock " + lock_path;
    return nullptr;
  }
  if (!prefix->display_.Start(error)) {
    return nullptr;
  }
  // A server left by a crashed session would keep its old display.
  RunProcess({"wineserver", "-k"}, prefix->BaseEnvironment(), std::chrono::seconds(30));
  if (!fs::exists(prefix->path_ / "system.reg")) {
    const ProcessResult boot =
        RunProcess({"wineboot", "-i"}, prefix->BaseEnvironment(), std::chrono::minutes(5));
    if (!boot.ExitedWith(0)) {
      *error = "wineboot -i in " + prefix->path_.string() + ": " + Describe(boot);
      return nullptr;
    }
    // wineboot leaves its own short-lived server behind; wait for it so that
    // the persistent one below is the only one.
    RunProcess({"wineserver", "-w"}, prefix->BaseEnvironment(), std::chrono::minutes(1));
  }
  const ProcessResult server =
      RunProcess({"wineserver", "-p"}, prefix->BaseEnvironment(), std::chrono::seconds(30));
  if (!server.ExitedWith(0)) {
    *error = "wineserver -p: " + Describe(server);
    return nullptr;
  }
  prefix->server_started_ = true;
  if (!prefix->SetWindowsVersion(options.windows_version, error) ||
      !prefix->MakeProfileFoldersPrivate(error)) {
    return nullptr;
  }
  return prefix;
}

WinePrefix::~WinePrefix() {
  if (server_started_) {
    RunProcess({"wineserver", "-k"}, BaseEnvironment(), std::chrono::seconds(30));
  }
  display_.Stop();
  if (lock_fd_ >= 0) {
    close(lock_fd_);  // releases the lock
  }
}

Environment WinePrefix::BaseEnvironment() const {
  // winemenubuilder turns every shell link the programs save into a Linux
  // menu entry or desktop file under $HOME; tests keep to their prefix.
  return {{"WINEPREFIX", path_.string()},
          {"WINEDEBUG", "-all"},
          {"DISPLAY", display_.name()},
          {"WINEDLLOVERRIDES", "winemenubuilder.exe=d"}};
}

ProcessResult WinePrefix::RunWine(const std::vector<std::string>& command,
                                  const Environment& environment,
                                  std::chrono::milliseconds timeout) const {
  std::vector<std::string> argv = {"wine"};
  argv.insert(argv.end(), command.begin(), command.end());
  // The caller's values replace the base ones, except that DLL overrides
  // are added to the base's (later entries win in Wine).
  Environment merged = BaseEnvironment();
  for (const auto& [key, value] : environment) {
    bool found = false;
    for (auto& [base_key, base_value] : merged) {
      if (base_key == key) {
        base_value = key == "WINEDLLOVERRIDES" ? base_value + ";" + value : value;
        found = true;
      }
    }
    if (!found) {
      merged.emplace_back(key, value);
    }
  }
  return RunProcess(argv, merged, timeout);
}

ProcessResult WinePrefix::RunWineRepeatable(const std::vector<std::string>& command,
                                            const Environment& environment,
                                            std::chrono::milliseconds timeout) const {
  ProcessResult result;
  for (int run = 0; run < 3; ++run) {
    result = RunWine(command, environment, timeout);
    const bool ended_unstarted = result.started && !result.timed_out && result.signal == 0 &&
                                 result.exit_code == 1 && result.out.empty() && result.err.empty();
    if (!ended_unstarted) {
      break;
    }
  }
  return result;
}

ProcessResult WinePrefix::RunAsUser(const fs::path& launcher, const fs::path& program,
                                    const std::vector<std::string>& args,
                                    const Environment& environment,
                                    std::chrono::milliseconds timeout) const {
  std::vector<std::string> command = {launcher.string(), ToWindowsPath(program)};
  command.insert(command.end(), args.begin(), args.end());
  return RunWine(command, environment, timeout);
}

bool WinePrefix::MakeProfileFoldersPrivate(std::string* error) const {
  const std::string user = UserName();
  if (user.empty()) {
    *error = "no user profile under " + (DriveC() / "users").string();
    return false;
  }
  for (const char* name : {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos"}) {
    const fs::path folder = DriveC() / "users" / user / name;
    std::error_code ec;
    if (fs::is_symlink(folder, ec)) {
      fs::remove(folder, ec);
    }
    fs::create_directories(folder, ec);
    if (ec || fs::is_symlink(folder) || !fs::is_directory(folder)) {
      *error = "cannot make " + folder.string() + " a folder of the prefix: " + ec.message();
      return false;
    }
  }
  return true;
}

std::string WinePrefix::UserName() const {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(DriveC() / "users", ec)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_directory() && name != "Public") {
      return name;
    }
  }
  return "";
}

fs::path WinePrefix::AppDataRoaming() const {
  return DriveC() / "users" / UserName() / "AppData" / "Roaming";
}

bool WinePrefix::QueryValue(const std::string& key, const std::string& value, std::string* type,
                            std::string* data) const {
  const ProcessResult result = RunWine({"reg", "query", key, "/v", value});
  if (!result.ExitedWith(0)) {
    return false;
  }
  // Lines look like "    NAME    REG_SZ    DATA" (DATA may be empty and may
  // hold blanks); reg ends them with CR LF.
  std::istringstream lines(result.out);
  std::string line;
  const std::string prefix = "    " + value + "    ";
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.rfind(prefix, 0) != 0) {
      continue;
    }
    const std::string rest = line.substr(prefix.size());
    const std::size_t gap = rest.find("    ");
    *type = rest.substr(0, gap);
    *data = gap == std::string::npos ? "" : rest.substr(gap + 4);
    return true;
  }
  return false;
}

bool WinePrefix::SetWindowsVersion(const std::string& version, std::string* error) const {
  std::string type, current;
  if (QueryValue("HKCU\\Software\\Wine", "Version", &type, &current) && current == version) {
    return true;
  }
  const ProcessResult result =
      RunWine({"reg", "add", "HKCU\\Software\\Wine", "/v", "Version", "/d", version, "/f"});
  if (!result.ExitedWith(0)) {
    *error = "setting the Windows version to " + version + ": " + Describe(result);
    return false;
  }
  return true;
}

std::string ToWindowsPath(const fs::path& linux_path) {
  std::string text = "Z:" + fs::absolute(linux_path).lexically_normal().string();
  for (char& c : text) {
    if (c == '/') {
      c = '\\';
    }
  }
  return text;
}

}  // namespace zevrino::e2e
