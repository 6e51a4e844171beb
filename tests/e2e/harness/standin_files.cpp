#include "tests/e2e/harness/standin_files.h"

#include <fstream>
#include <iterator>

#include "tests/e2e/harness/start_log.h"

namespace zevrino::e2e {

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
  std::ofstream out(path, std::ios::binary);
  out << behaviour;
  return static_cast<bool>(out.flush());
}

std::vector<std::string> ReadStandinMessages(const std::filesystem::path& program) {
  std::ifstream in(Beside(program, ".messages"), std::ios::binary);
  return CompleteLines(std::string(std::istreambuf_iterator<char>(in), {}));
}

void ClearStandinRecords(const std::filesystem::path& program) {
  std::error_code ec;
  std::filesystem::remove(Beside(program, ".log"), ec);
  std::filesystem::remove(Beside(program, ".messages"), ec);
}

}  // namespace zevrino::e2e
