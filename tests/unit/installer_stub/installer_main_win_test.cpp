#include "installer_stub/installer_main.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/result_code.h"
#include "tests/support/archive_builder.h"
#include "tests/support/scratch_directory.h"

namespace zevrino::desktop::installer {
namespace {

using testing::ArchiveOf;
using testing::BuildInstallerFile;
using testing::Bytes;
using testing::PayloadImage;
using testing::ReadText;
using testing::ScratchDirectory;
using testing::StoredBody;

PayloadImage InstallerHolding(const std::string& application) {
  PayloadImage installer;
  installer.body =
      StoredBody(ArchiveOf({{"Zevrino.exe", Bytes(application.begin(), application.end())},
                            {"locales/de.pak", Bytes{'d', 'e'}}}));
  return installer;
}

// Runs in this process one after the other, as a test or a host would: each
// run reads its own payload file and ends with everything it held, so the
// next one neither sees the first's payload nor finds its files held.
TEST(InstallerMain, RunsAgainInTheSameProcessWithNothingLeftOfTheFirstRun) {
  ScratchDirectory dir;
  PayloadImage corrupt = InstallerHolding("third");
  corrupt.corrupt_digest = true;
  struct Run {
    PayloadImage installer;
    ResultCode result;
    const char* application;  // Zevrino.exe extracted; null: nothing
  };
  const Run runs[] = {{InstallerHolding("first"), kSuccess, "first"},
                      {InstallerHolding("second"), kSuccess, "second"},
                      {corrupt, kPayloadDigestMismatch, nullptr}};
  for (std::size_t i = 0; i < std::size(runs); ++i) {
    SCOPED_TRACE(i);
    const std::wstring name = L"run" + std::to_wstring(i);
    const std::wstring installer = dir.Write(name + L".exe", BuildInstallerFile(runs[i].installer));
    std::string target = dir.File(name);
    std::vector<char*> tokens = {const_cast<char*>("--silent"), const_cast<char*>("--extract"),
                                 target.data()};
    EXPECT_EQ(InstallerMain(tokens.data(), static_cast<int>(tokens.size()), installer.c_str()),
              runs[i].result);
    bool found = false;
    const std::string application = ReadText(dir / (name + L"/Zevrino.exe"), &found);
    EXPECT_EQ(found, runs[i].application != nullptr);
    if (runs[i].application != nullptr) {
      EXPECT_EQ(application, runs[i].application);
      EXPECT_EQ(ReadText(dir / (name + L"/locales/de.pak")), "de");
    }
  }
  // The first run's files are its own still.
  EXPECT_EQ(ReadText(dir / L"run0/Zevrino.exe"), "first");
}

}  // namespace
}  // namespace zevrino::desktop::installer
