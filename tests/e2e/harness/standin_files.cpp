#include "tests/e2e/harness/standin_files.h"

#include "tests/e2e/harness/start_log.h"
#include "tests/support/files.h"

namespace zevrino::e2e {

using desktop::installer::testing::ReadText;
using desktop::installer::testing::WriteText;

namespace {

std::filesystem::path Beside(const std::filesystem::path& program, const char* suffix) {
  std::filesystem::path path = program;
  path += suffix;
  return path;
}

}  // namespace

bool WriteStandinBehaviour(const std::filesystem::path& program, const std::string& behaviour) {
  const std::filesystem::path path = Beside(program, ".behaviour");
  std::error_code ec;
  std::filesystem::remove(path, ec);
  if (behaviour.empty()) {
    return !std::filesystem::exists(path, ec);
  }
  WriteText(path, behaviour);
  return std::filesystem::exists(path, ec);
}

std::vector<std::string> ReadStandinMessages(const std::filesystem::path& program) {
  return CompleteLines(ReadText(Beside(program, ".messages")));
}

void ClearStandinRecords(const std::filesystem::path& program) {
  std::error_code ec;
  std::filesystem::remove(Beside(program, ".log"), ec);
  std::filesystem::remove(Beside(program, ".messages"), ec);
}

}  // namespace zevrino::e2e
