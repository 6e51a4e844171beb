#include "tests/e2e/harness/dialog_robot.h"

#include <sstream>

#include "tests/e2e/harness/test_paths.h"

namespace zevrino::e2e {
namespace {

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
  }
  return out;
}

// The value of "key=" in a line of space-separated fields; a text field
// ("text=") runs to the end of the line.
std::string Field(const std::string& line, const std::string& key) {
  const std::size_t at = line.find(" " + key + "=");
  if (at == std::string::npos) {
    return "";
  }
  const std::size_t start = at + key.size() + 2;
  if (key == "text") {
    return Unescape(line.substr(start));
  }
  const std::size_t end = line.find(' ', start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::uint32_t Hex(const std::string& text) {
  return text.empty() ? 0 : static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

const RobotChild* RobotWindow::Child(int id) const {
  for (const RobotChild& child : children) {
    if (child.id == id) {
      return &child;
    }
  }
  return nullptr;
}

std::string RobotWindow::MessageText() const {
  const RobotChild* text = Child(kMessageTextId);
  return text != nullptr ? text->text : "";
}

std::vector<int> RobotWindow::ButtonIds() const {
  std::vector<int> ids;
  for (const RobotChild& child : children) {
    if (child.class_name == "Button") {
      ids.push_back(child.id);
    }
  }
  return ids;
}

std::vector<std::string> OutputLines(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream stream(out);
  std::string line;
  while (std::getline(stream, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
  }
  return lines;
}

std::filesystem::path DialogRobotExe() {
  return WindowsTestProgram("dialog_robot.exe");
}

namespace {

RobotOutput ParseRobotOutput(ProcessResult result) {
  RobotOutput output;
  RobotWindow* window = nullptr;
  for (const std::string& line : OutputLines(result.out)) {
    if (StartsWith(line, "window ")) {
      output.windows.emplace_back();
      window = &output.windows.back();
      window->class_name = Field(line, "class");
      window->owner_class = Field(line, "owner");
      const std::string thread = Field(line, "thread");
      window->thread = thread.empty() ? 0 : static_cast<std::uint32_t>(std::stoul(thread));
      window->style = Hex(Field(line, "style"));
      window->ex_style = Hex(Field(line, "exstyle"));
    } else if (window != nullptr && StartsWith(line, "title ")) {
      window->title = Unescape(line.substr(6));
    } else if (window != nullptr && StartsWith(line, "child ")) {
      RobotChild child;
      child.id = std::stoi(line.substr(9));
      child.class_name = Field(line, "class");
      child.style = Hex(Field(line, "style"));
      child.text = Field(line, "text");
      window->children.push_back(child);
    } else if (line == "end") {
      window = nullptr;
    } else {
      output.lines.push_back(Unescape(line));
    }
  }
  output.process = std::move(result);
  return output;
}

bool RegAdd(const WinePrefix& prefix, const std::string& key, const std::string& name,
            const std::string& value, std::string* error) {
  const ProcessResult added =
      prefix.RunWineRepeatable({"reg", "add", key, "/v", name, "/d", value, "/f"});
  if (!added.ExitedWith(0)) {
    *error = "reg add " + key + " " + name + ": " + Describe(added);
    return false;
  }
  return true;
}

}  // namespace

bool PrepareWindowsOfPrefix(const WinePrefix& prefix, std::string* error) {
  const std::string key = "HKCU\\Software\\Wine\\X11 Driver";
  return RegAdd(prefix, key, "Managed", "N", error) && RegAdd(prefix, key, "Decorated", "N", error);
}

bool TraceMessageBoxCalls(const WinePrefix& prefix, std::string* error) {
  return RegAdd(prefix, "HKCU\\Software\\Wine\\Debug", "RelayInclude",
                "user32.MessageBoxW;user32.MessageBoxExW;user32.MessageBoxIndirectW", error);
}

Environment MessageBoxTraceEnvironment() {
  return {{"WINEDEBUG", "-all,+relay"}};
}

std::vector<std::uint32_t> MessageBoxStyles(const std::string& standard_error) {
  // ...Call user32.MessageBoxW(owner,text,caption,0000STYL) ret=...
  std::vector<std::uint32_t> styles;
  for (const std::string& line : OutputLines(standard_error)) {
    if (line.find("Call user32.MessageBoxW(") == std::string::npos) {
      continue;
    }
    const std::size_t end = line.rfind(") ret=");
    if (end != std::string::npos && end >= 8) {
      styles.push_back(
          static_cast<std::uint32_t>(std::stoul(line.substr(end - 8, 8), nullptr, 16)));
    }
  }
  return styles;
}

RobotOutput RunDialogRobot(const WinePrefix& prefix, const std::vector<std::string>& steps,
                           std::chrono::milliseconds step_timeout) {
  std::vector<std::string> command = {DialogRobotExe().string(), "--timeout",
                                      std::to_string(step_timeout.count())};
  command.insert(command.end(), steps.begin(), steps.end());
  // Every step may take its whole time limit; the process gets some more.
  const auto limit = step_timeout * static_cast<long>(steps.size() + 1) + std::chrono::seconds(30);
  return ParseRobotOutput(prefix.RunWineRepeatable(command, {}, limit));
}

std::future<ProcessResult> StartAsUser(const WinePrefix& prefix,
                                       const std::filesystem::path& program,
                                       std::vector<std::string> args, Environment environment,
                                       std::chrono::milliseconds timeout) {
  return std::async(std::launch::async, [&prefix, program, args = std::move(args),
                                         environment = std::move(environment), timeout] {
    return prefix.RunAsUser(RunLimitedExe(), program, args, environment, timeout);
  });
}

}  // namespace zevrino::e2e
