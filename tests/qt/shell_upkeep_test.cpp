// The 250 ms upkeep against a real window, with the cursor position given.
#include <gtest/gtest.h>

#include "app/qt/window_upkeep.h"
#include "browser_control/qt/monitor_window.h"

namespace mirel {
namespace {

struct UpkeepFixture {
  MonitorWindow window;
  bool mouseOver = true;
  QPoint cursor;
  WindowUpkeep upkeep{window, [this] { return mouseOver; }};

  UpkeepFixture() {
    upkeep.cursorPos = [this] { return cursor; };
    window.setGeometry(100, 50, 158, 40);
    window.show();
  }
};

TEST(ShellUpkeepTest, MouseOverHidesOnTheWindowAndShowsPastItsEdges) {
  UpkeepFixture f;
  ASSERT_EQ(f.window.geometry(), QRect(100, 50, 158, 40));
  f.cursor = QPoint(100, 60);  // x = L: inside
  EXPECT_EQ(f.upkeep.Tick(), UpkeepAction::kHide);
  EXPECT_FALSE(f.window.isVisible());
  f.cursor = QPoint(257, 89);  // last pixel inside: stays hidden
  EXPECT_EQ(f.upkeep.Tick(), UpkeepAction::kNone);
  EXPECT_FALSE(f.window.isVisible());
  f.cursor = QPoint(258, 60);  // x = L + W: outside
  EXPECT_EQ(f.upkeep.Tick(), UpkeepAction::kShow);
  EXPECT_TRUE(f.window.isVisible());
  EXPECT_EQ(f.window.geometry(), QRect(100, 50, 158, 40));  // same place again

  f.cursor = QPoint(150, 60);
  f.upkeep.Tick();
  f.cursor = QPoint(99, 60);  // x = L - 1: outside
  EXPECT_EQ(f.upkeep.Tick(), UpkeepAction::kShow);
}

TEST(ShellUpkeepTest, WithoutMouseOverAHiddenWindowComesBack) {
  UpkeepFixture f;
  f.mouseOver = false;
  f.cursor = QPoint(120, 60);  // right on the window
  EXPECT_EQ(f.upkeep.Tick(), UpkeepAction::kNone);
  f.window.hide();
  EXPECT_EQ(f.upkeep.Tick(), UpkeepAction::kShow);
  EXPECT_TRUE(f.window.isVisible());
}

}  // namespace
}  // namespace mirel
