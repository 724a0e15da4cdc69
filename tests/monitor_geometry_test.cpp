// The monitor window's place between the settings file's twips and pixels,
// and the way back onto a screen.
#include "behaviour/monitor_geometry.h"

#include <gtest/gtest.h>

namespace mirel {
namespace {

TEST(MonitorGeometryTest, TwipsHoldTheOuterSizeOfABorderedWindow) {
  // 2496 twips wide is the stack's 158 pixels, 15 × 27 + 128 high is 27.
  const struct {
    DisplayGeometry file;
    PixelRect window;
  } cases[] = {
      {{1500, 7, 15 * 27 + 128, 2496, 27}, {100, 0, 158, 27}},
      {{-1515, 3000, 15 * 80 + 128, 2496 + 15 * 158, 80}, {-101, 200, 316, 80}},
      {{0, 0, 0, 0, 0}, {0, 0, 1, 1}},  // never smaller than a pixel
  };
  for (const auto& c : cases) EXPECT_EQ(MonitorRectFromTwips(c.file), c.window);
  const DisplayGeometry back = TwipsFromMonitorRect(cases[1].window, true);
  EXPECT_EQ(back.left, -1515);
  EXPECT_EQ(back.top, 3000);
  EXPECT_EQ(back.width, 2496 + 15 * 158);
  EXPECT_EQ(back.height, 15 * 80 + 128);
  EXPECT_EQ(back.scaleHeight, 80);
  // Without a drawing area the window keeps a pixel, the file none.
  const DisplayGeometry empty = TwipsFromMonitorRect({5, 5, 158, 1}, false);
  EXPECT_EQ(empty.height, 128);
  EXPECT_EQ(empty.scaleHeight, 0);
  EXPECT_EQ(ToolbarWindowRect(), (PixelRect{-1101, -76, 106, 65}));
}

TEST(MonitorGeometryTest, AWindowOffEveryScreenComesBackAPartlyVisibleOneStays) {
  const std::vector<ScreenArea> screens = {
      {{1280, 0, 1024, 768}, {1280, 0, 1024, 768}, false},
      {{0, 0, 1280, 800}, {0, 28, 1280, 772}, true},
  };
  EXPECT_EQ(BroughtOntoAScreen({1270, 50, 158, 40}, screens), std::nullopt);
  EXPECT_EQ(BroughtOntoAScreen({2303, 767, 158, 40}, screens), std::nullopt);  // one pixel shows
  EXPECT_EQ(BroughtOntoAScreen({2304, 50, 158, 40}, screens), (PixelPoint{0, 28}));
  EXPECT_EQ(BroughtOntoAScreen({-200, -50, 158, 40}, screens), (PixelPoint{0, 28}));
  // Against the usable areas, a window under the panel goes too.
  EXPECT_EQ(BroughtOntoAScreen({10, 0, 158, 20}, screens), std::nullopt);
  EXPECT_EQ(BroughtOntoAScreen({10, 0, 158, 20}, {screens[1]}, true), (PixelPoint{0, 28}));
  EXPECT_EQ(BroughtOntoAScreen({-500, 0, 10, 10}, {}), std::nullopt) << "no screen known";
}

}  // namespace
}  // namespace mirel
