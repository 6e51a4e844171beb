#include "ui/progress_status.h"

#include <gtest/gtest.h>

#include "tests/unit/ui/catalog_locale.h"

namespace zevrino::desktop::installer {
namespace {

StatusInputs Downloading(std::uint32_t estimate) {
  StatusInputs inputs;
  inputs.downloading = true;
  inputs.estimate_seconds = estimate;
  return inputs;
}

TEST(ProgressStatusTest, TimeLeftInSecondsThenRoundedMinutes) {
  ASSERT_TRUE(testing::UseCatalog("en"));
  EXPECT_EQ(ChooseStatusText(Downloading(0)), "Downloading Zevrino...");
  EXPECT_EQ(ChooseStatusText(Downloading(1)), "Downloading Zevrino...  1 second left");
  EXPECT_EQ(ChooseStatusText(Downloading(59)), "Downloading Zevrino...  59 seconds left");
  EXPECT_EQ(ChooseStatusText(Downloading(60)), "Downloading Zevrino...  about 1 minute left");
  EXPECT_EQ(ChooseStatusText(Downloading(89)), "Downloading Zevrino...  about 1 minute left");
  EXPECT_EQ(ChooseStatusText(Downloading(90)), "Downloading Zevrino...  about 2 minutes left");
}

TEST(ProgressStatusTest, FirstMatchWins) {
  ASSERT_TRUE(testing::UseCatalog("en"));
  StatusInputs inputs;
  EXPECT_EQ(ChooseStatusText(inputs), "Installing Zevrino...");
  inputs.downloading = true;
  inputs.estimate_seconds = 30;
  inputs.retry_countdown = 1;  // a countdown hides the download text
  EXPECT_EQ(ChooseStatusText(inputs), "Unable to download Zevrino... will try again in 1 second");
  inputs.retry_countdown = 10;
  EXPECT_EQ(ChooseStatusText(inputs), "Unable to download Zevrino... will try again in 10 seconds");
  inputs.cancel_requested = true;  // and a confirmed cancel hides everything
  EXPECT_EQ(ChooseStatusText(inputs), "Aborting...");
}

// The German catalog's positional "%1$d" and its plural rule.
TEST(ProgressStatusTest, TranslatedTexts) {
  ASSERT_TRUE(testing::UseCatalog("de"));
  EXPECT_EQ(ChooseStatusText(Downloading(1)), "Zevrino wird heruntergeladen...  noch 1 Sekunde");
  EXPECT_EQ(ChooseStatusText(Downloading(150)),
            "Zevrino wird heruntergeladen...  noch etwa 3 Minuten");
  StatusInputs countdown;
  countdown.retry_countdown = 2;
  EXPECT_EQ(ChooseStatusText(countdown),
            "Zevrino konnte nicht heruntergeladen werden... Neuer Versuch in 2 Sekunden");
  ASSERT_TRUE(testing::UseCatalog("en"));
}

TEST(ProgressStatusTest, BarModeAndPercent) {
  EXPECT_FALSE(IsDeterminate(false, 1000));
  EXPECT_FALSE(IsDeterminate(true, 0));  // no length announced: marquee
  EXPECT_TRUE(IsDeterminate(true, 1000));

  EXPECT_EQ(ProgressPercent(50, 99), 0);  // fewer than 100 bytes expected
  EXPECT_EQ(ProgressPercent(0, 100), 0);
  EXPECT_EQ(ProgressPercent(499, 1000), 49);
  EXPECT_EQ(ProgressPercent(1000, 1000), 100);
  EXPECT_EQ(ProgressPercent(5000, 1000), 100);  // more than announced
  // Beyond 4 GiB the 64-bit counts neither wrap nor overflow.
  const std::uint64_t six_gib = 6ull << 30;
  EXPECT_EQ(ProgressPercent(six_gib / 2, six_gib), 50);
  EXPECT_EQ(ProgressPercent(~0ull, ~0ull), 100);
}

}  // namespace
}  // namespace zevrino::desktop::installer
