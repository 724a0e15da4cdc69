// The 250 ms upkeep against a real window, with the cursor position given.
#include <gtest/gtest.h>

#include <QTest>

#include "shell/qt/monitor_window.h"
#include "shell/qt/window_upkeep.h"

namespace mirel {
namespace {

struct UpkeepFixture {
  MonitorWindow window;
  bool mouseOver = true;
  QPoint cursor;
  int cursorReads = 0;
  WindowUpkeep upkeep{window, [this] { return mouseOver; }};

  UpkeepFixture() {
    upkeep.cursorPos = [this] {
      ++cursorReads;
      return cursor;
    };
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

// Generous: the check is due after 100 ms, but a loaded machine may run it
// later; what matters is that it runs without anything polling.
constexpr int kBackWithinMs = 3000;

TEST(ShellUpkeepTest, WithoutMouseOverNothingPollsUntilSomethingHidesTheWindow) {
  UpkeepFixture f;
  f.mouseOver = false;
  f.upkeep.Start();
  EXPECT_FALSE(f.upkeep.checkPending());  // an idle monitor wakes for nothing
  QTest::qWait(600);
  EXPECT_EQ(f.cursorReads, 0);

  f.window.hide();
  EXPECT_TRUE(f.upkeep.checkPending());
  EXPECT_TRUE(QTest::qWaitFor([&] { return f.window.isVisible(); }, kBackWithinMs));
  EXPECT_FALSE(f.upkeep.checkPending());  // and no polling afterwards
  EXPECT_EQ(f.cursorReads, 0);
  f.upkeep.Stop();
}

TEST(ShellUpkeepTest, AMinimisedWindowCountsAsHiddenAndComesBackRestored) {
  UpkeepFixture f;
  f.mouseOver = false;
  f.cursor = QPoint(500, 500);
  EXPECT_EQ(f.upkeep.Tick(), UpkeepAction::kNone);
  // Minimised, the window is still "visible" to Qt: the tick must look at
  // its state as well.
  f.window.setWindowState(Qt::WindowMinimized);
  ASSERT_TRUE(f.window.isVisible());
  EXPECT_FALSE(f.window.ShownOnScreen());
  EXPECT_EQ(f.upkeep.Tick(), UpkeepAction::kShow);
  EXPECT_TRUE(f.window.ShownOnScreen());
  EXPECT_FALSE(f.window.windowState() & Qt::WindowMinimized);

  // Started, the state change alone brings it back.
  f.upkeep.Start();
  f.window.setWindowState(Qt::WindowMinimized);
  EXPECT_TRUE(f.upkeep.checkPending());
  EXPECT_TRUE(QTest::qWaitFor([&] { return f.window.ShownOnScreen(); }, kBackWithinMs));
  EXPECT_EQ(f.window.geometry(), QRect(100, 50, 158, 40));

  // With mouse-over hiding on, a minimised window is hidden as well: it
  // comes back once the cursor is off its place.
  f.mouseOver = true;
  f.window.setWindowState(Qt::WindowMinimized);
  f.cursor = QPoint(120, 60);
  EXPECT_EQ(f.upkeep.Tick(), UpkeepAction::kNone);
  f.cursor = QPoint(500, 500);
  EXPECT_EQ(f.upkeep.Tick(), UpkeepAction::kShow);
  EXPECT_TRUE(f.window.ShownOnScreen());
  f.upkeep.Stop();
}

TEST(ShellUpkeepTest, MouseOverPollsOnlyWhileItIsChosen) {
  UpkeepFixture f;
  f.mouseOver = false;
  f.cursor = QPoint(120, 60);  // on the window
  f.upkeep.Start();
  EXPECT_FALSE(f.upkeep.checkPending());

  f.mouseOver = true;  // chosen in the dialog; the refresh tick syncs
  f.upkeep.Sync();
  EXPECT_TRUE(f.upkeep.checkPending());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !f.window.isVisible(); }, kBackWithinMs));
  EXPECT_GT(f.cursorReads, 0);
  f.cursor = QPoint(500, 500);
  EXPECT_TRUE(QTest::qWaitFor([&] { return f.window.isVisible(); }, kBackWithinMs));
  EXPECT_TRUE(f.upkeep.checkPending());  // still watching the cursor

  f.mouseOver = false;
  f.upkeep.Sync();
  EXPECT_FALSE(f.upkeep.checkPending());
  const int reads = f.cursorReads;
  QTest::qWait(600);
  EXPECT_EQ(f.cursorReads, reads);

  // Stopped (exit), a hidden window stays hidden.
  f.upkeep.Stop();
  f.window.hide();
  EXPECT_FALSE(f.upkeep.checkPending());
}

}  // namespace
}  // namespace mirel
