#include "installer_stub/mode_choice.h"

#include <gtest/gtest.h>

#include "payload/payload_container.h"

namespace zevrino::desktop::installer {
namespace {

TEST(ChooseModeTest, ExtractBeatsUpdateBeatsThePayloadsFlag) {
  struct Case {
    bool extract;
    bool update;
    bool webinstall;
    std::uint16_t payload_flags;
    Mode expected;
  };
  const std::uint16_t web = kWebInstaller;
  const std::uint16_t both = kWebInstaller | kNoReplacePrompt;
  const Case cases[] = {
      {false, false, false, 0, Mode::kNormalInstall},
      {false, false, false, kNoReplacePrompt, Mode::kNormalInstall},
      {false, false, false, web, Mode::kWebInstall},
      {false, false, false, both, Mode::kWebInstall},
      // The option alone does not make a web install; only the payload does.
      {false, false, true, 0, Mode::kNormalInstall},
      {false, true, false, web, Mode::kUpdate},
      {false, true, true, 0, Mode::kUpdate},
      {true, false, true, web, Mode::kExtract},
      {true, true, false, both, Mode::kExtract},
  };
  for (const Case& c : cases) {
    Options options;
    options.extract = c.extract;
    options.update = c.update;
    options.webinstall = c.webinstall;
    EXPECT_EQ(ChooseMode(options, c.payload_flags), c.expected)
        << "extract " << c.extract << ", update " << c.update << ", webinstall " << c.webinstall
        << ", flags " << c.payload_flags;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
