#include "tests/e2e/harness/url_recorder.h"

#include <sstream>

#include "tests/e2e/harness/test_paths.h"

namespace zevrino::e2e {

UrlRecorder::UrlRecorder(const WinePrefix& prefix, const std::string& scheme,
                         const fs::path& directory, std::string* error) {
  program_ = directory / (scheme + "-recorder.exe");
  std::error_code ec;
  fs::create_directories(directory, ec);
  fs::remove(fs::path(program_.string() + ".log"), ec);
  if (!fs::copy_file(WindowsTestProgram("recorder.exe"), program_,
                     fs::copy_options::overwrite_existing, ec)) {
    *error = "copying recorder.exe: " + ec.message();
    return;
  }
  const std::string key = "HKLM\\Software\\Classes\\" + scheme;
  const std::string command = "\"" + ToWindowsPath(program_) + "\" \"%1\"";
  const ProcessResult added = prefix.RunWineRepeatable(
      {"reg", "add", key + "\\shell\\open\\command", "/ve", "/d", command, "/f"});
  const ProcessResult marked =
      prefix.RunWineRepeatable({"reg", "add", key, "/v", "URL Protocol", "/d", "", "/f"});
  if (!added.ExitedWith(0) || !marked.ExitedWith(0)) {
    *error = "reg add failed: " + Describe(added) + Describe(marked);
    return;
  }
  valid_ = true;
}

std::vector<std::string> UrlRecorder::Addresses() const {
  std::istringstream log(ReadText(program_.string() + ".log"));
  std::vector<std::string> addresses;
  std::string line;
  while (std::getline(log, line)) {
    // <command line> TAB <directory> CR: the address is the last quoted
    // argument of the command line.
    const std::string command = line.substr(0, line.find('\t'));
    const std::size_t close = command.rfind('"');
    const std::size_t open = close == std::string::npos || close == 0
                                 ? std::string::npos
                                 : command.rfind('"', close - 1);
    addresses.push_back(open == std::string::npos ? command
                                                  : command.substr(open + 1, close - open - 1));
  }
  return addresses;
}

std::vector<std::string> UrlRecorder::WaitForAddresses(std::size_t count,
                                                       std::chrono::milliseconds timeout) const {
  std::vector<std::string> addresses;
  WaitUntil([&] { return (addresses = Addresses()).size() >= count; }, timeout);
  return addresses;
}

}  // namespace zevrino::e2e
