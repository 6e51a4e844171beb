#include "ui/progress_layout.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

void ExpectRect(const LayoutRect& rect, int left, int top, int width, int height) {
  EXPECT_EQ(rect.left, left);
  EXPECT_EQ(rect.top, top);
  EXPECT_EQ(rect.width, width);
  EXPECT_EQ(rect.height, height);
}

TEST(ProgressLayoutTest, GrowsWithTheScreenDpi) {
  const struct {
    double scale;
    int client_w, client_h, margin, text_top, text_h, bar_h;
  } cases[] = {
      {1.0, 400, 100, 20, 16, 30, 20},   // 96 DPI
      {1.25, 500, 125, 25, 20, 38, 25},  // 120 DPI: 37.5 rounds away from zero
      {1.5, 600, 150, 30, 24, 45, 30},   // 144 DPI
      {2.0, 800, 200, 40, 32, 60, 40},   // 192 DPI
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scale);
    const ProgressLayout layout = ComputeProgressLayout(1920, 1080, c.scale, c.scale);
    ExpectRect(layout.client, (1920 - c.client_w) / 2, (1080 - c.client_h) / 2, c.client_w,
               c.client_h);
    ExpectRect(layout.status, c.margin, c.text_top, c.client_w - 2 * c.margin, c.text_h);
    ExpectRect(layout.bar, c.margin, c.text_top + c.text_h, c.client_w - 2 * c.margin, c.bar_h);
  }
}

// A screen smaller than the window at 192 DPI: the client area is the whole
// screen. The smaller factors that follow from it (300 * 0.0025 and
// 41 * 0.01) round below the 96-DPI sizes, which are kept.
TEST(ProgressLayoutTest, SmallScreenLimitsTheClientArea) {
  const ProgressLayout layout = ComputeProgressLayout(300, 41, 2.0, 2.0);
  ExpectRect(layout.client, 0, 0, 300, 41);
  ExpectRect(layout.status, 20, 16, 260, 30);
  ExpectRect(layout.bar, 20, 46, 260, 20);
}

TEST(ProgressLayoutTest, ScaledDimensionRule) {
  EXPECT_EQ(ScaledDimension(30, 1.25, 1000), 38);  // 37.5 up
  EXPECT_EQ(ScaledDimension(30, 0.5, 1000), 30);   // never below the base
  EXPECT_EQ(ScaledDimension(30, 2.0, 50), 50);     // the limit wins
  EXPECT_EQ(ScaledDimension(30, 1.0, 10), 10);     // even below the base
}

}  // namespace
}  // namespace zevrino::desktop::installer
