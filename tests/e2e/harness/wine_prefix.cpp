#include "tests/e2e/harness/wine_prefix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <sstream>

#include "tests/e2e/harness/test_paths.h"

namespace zevrino::e2e {

namespace fs = std::filesystem;

namespace {

// Seconds the wineserver lingers after its last client: long enough to
// serve consecutive test programs, short enough to vanish after the run.
constexpr int kServerGraceSeconds = 30;

// Holds an exclusive flock on a file while alive.
class FileLock {
 public:
  explicit FileLock(const fs::path& path)
      : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ >= 0) {
      flock(fd_, LOCK_EX);
    }
  }
  ~FileLock() {
    if (fd_ >= 0) {
      close(fd_);  // releases the lock
    }
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool locked() const { return fd_ >= 0; }

 private:
  int fd_;
};

}  // namespace

bool WinePrefix::Prepare(const PrefixOptions& options, WinePrefix* prefix, std::string* error) {
  prefix->path_ = HostBuildDir() / "e2e" / ("wineprefix-" + options.name);
  std::error_code ec;
  fs::create_directories(prefix->path_.parent_path(), ec);
  FileLock lock(prefix->path_.string() + ".lock");
  if (!lock.locked()) {
    *error = "cannot lock " + prefix->path_.string() + ".lock";
    return false;
  }
  if (!fs::exists(prefix->path_ / "system.reg")) {
    const ProcessResult boot =
        RunProcess({"wineboot", "-i"}, prefix->BaseEnvironment(), std::chrono::minutes(5));
    if (!boot.ExitedWith(0)) {
      *error = "wineboot -i in " + prefix->path_.string() + ": " + Describe(boot);
      return false;
    }
    // wineboot leaves its own short-lived server behind; wait for it so that
    // the persistent one below can take over.
    RunProcess({"wineserver", "-w"}, prefix->BaseEnvironment(), std::chrono::minutes(1));
  }
  // Exit code 2: a server already runs for this prefix (another test program
  // started it), which serves as well.
  const ProcessResult server =
      RunProcess({"wineserver", "-p" + std::to_string(kServerGraceSeconds)},
                 prefix->BaseEnvironment(), std::chrono::seconds(30));
  if (!server.ExitedWith(0) && !server.ExitedWith(2)) {
    *error = "wineserver -p: " + Describe(server);
    return false;
  }
  return prefix->SetWindowsVersion(options.windows_version, error);
}

Environment WinePrefix::BaseEnvironment() const {
  return {{"WINEPREFIX", path_.string()}, {"WINEDEBUG", "-all"}};
}

ProcessResult WinePrefix::RunWine(const std::vector<std::string>& command,
                                  const Environment& environment,
                                  std::chrono::milliseconds timeout) const {
  std::vector<std::string> argv = {"wine"};
  argv.insert(argv.end(), command.begin(), command.end());
  Environment merged = BaseEnvironment();
  merged.insert(merged.end(), environment.begin(), environment.end());
  return RunProcess(argv, merged, timeout);
}

ProcessResult WinePrefix::RunAsUser(const fs::path& launcher, const fs::path& program,
                                    const std::vector<std::string>& args,
                                    const Environment& environment,
                                    std::chrono::milliseconds timeout) const {
  std::vector<std::string> command = {launcher.string(), ToWindowsPath(program)};
  command.insert(command.end(), args.begin(), args.end());
  return RunWine(command, environment, timeout);
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
