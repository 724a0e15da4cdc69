#include "behaviour/window_upkeep_rule.h"

#include <gtest/gtest.h>

#include "tests/fake_shell.h"

namespace mirel {
namespace {

// A window at 100,50 px, 158 × 40 px, in twips.
constexpr TwipsRect kWindow{100 * 15, 50 * 15, 158 * 15, 40 * 15};

struct EdgeCase {
  int xPixel;
  int yPixel;
  bool outside;
};

TEST(WindowUpkeepRuleTest, EdgesOfTheWindowInPixelsTimesFifteen) {
  const EdgeCase cases[] = {
      {99, 60, true},    // x = L - 1: left of the window
      {100, 60, false},  // x = L: the left edge column is inside
      {257, 60, false},  // x = L + W - 1: last column inside
      {258, 60, true},   // x = L + W: the column past the right edge
      {150, 49, true},   // y = T - 1
      {150, 50, false},  // y = T
      {150, 89, false},  // y = T + H - 1
      {150, 90, true},   // y = T + H
      {258, 90, true},   // both past
  };
  for (const EdgeCase& c : cases) {
    EXPECT_EQ(CursorOutside(c.xPixel * 15, c.yPixel * 15, kWindow), c.outside)
        << "cursor at " << c.xPixel << "," << c.yPixel;
  }
}

TEST(WindowUpkeepRuleTest, NegativePositionsStillCompare) {
  const TwipsRect offScreen{-300, -150, 150, 150};
  EXPECT_FALSE(CursorOutside(-300, -150, offScreen));
  EXPECT_TRUE(CursorOutside(-150, -100, offScreen));
  EXPECT_TRUE(CursorOutside(0, 0, offScreen));
}

// The timer runs only while something needs watching, at the timings of the
// rule; the shell only runs it and answers.
TEST(MonitorUpkeepTest, TimerRunsOnlyWhileNeededAndTheWindowComesBack) {
  fakes::FakeShell shell;
  shell.monitor = {100, 50, 158, 40};
  shell.monitorShown = true;
  MonitorUpkeep upkeep(shell);

  // Without mouse-over nothing polls; a hide starts one short check.
  upkeep.Start(false);
  EXPECT_EQ(shell.upkeepMs, 0);
  shell.monitorMinimised = true;
  upkeep.WindowHidden();
  EXPECT_EQ(shell.upkeepMs, MonitorUpkeep::kReshowDelayMs);
  EXPECT_EQ(upkeep.Tick(false), UpkeepAction::kShow);
  EXPECT_TRUE(shell.MonitorShownOnScreen());
  EXPECT_EQ(shell.upkeepMs, 0);
  // A window manager that does not let go yet: tried again every 250 ms.
  shell.HideMonitor();
  shell.showRefused = true;
  upkeep.WindowHidden();
  upkeep.Tick(false);
  EXPECT_EQ(shell.upkeepMs, MonitorUpkeep::kIntervalMs);
  shell.showRefused = false;
  upkeep.Tick(false);
  EXPECT_EQ(shell.upkeepMs, 0);
  EXPECT_EQ(shell.cursor, std::nullopt);

  // Mouse-over polls; the window hides on the cursor and shows past its edges.
  upkeep.Sync(true);
  EXPECT_EQ(shell.upkeepMs, MonitorUpkeep::kIntervalMs);
  const std::pair<PixelPoint, UpkeepAction> steps[] = {
      {{100, 60}, UpkeepAction::kHide}, {{257, 89}, UpkeepAction::kNone},
      {{258, 60}, UpkeepAction::kShow}, {{150, 60}, UpkeepAction::kHide},
      {{99, 60}, UpkeepAction::kShow},
  };
  for (const auto& [at, action] : steps) {
    shell.cursor = at;
    EXPECT_EQ(upkeep.Tick(true), action) << at.x << "," << at.y;
  }
  // Where no position comes, enter and leave tell.
  shell.cursor.reset();
  upkeep.PointerOver(true, true);
  EXPECT_EQ(upkeep.Tick(true), UpkeepAction::kHide);
  upkeep.PointerOver(false, true);
  EXPECT_EQ(upkeep.Tick(true), UpkeepAction::kShow);

  upkeep.Sync(false);
  EXPECT_EQ(shell.upkeepMs, 0);

  // A session that cannot tell the cursor: enter and leave decide at once,
  // the window is veiled rather than hidden, and nothing polls.
  shell.cursorKnown = false;
  upkeep.Sync(true);
  EXPECT_EQ(shell.upkeepMs, 0);
  upkeep.PointerOver(true, true);
  EXPECT_TRUE(shell.veiled);
  EXPECT_TRUE(shell.MonitorShownOnScreen());
  upkeep.PointerOver(false, true);
  EXPECT_FALSE(shell.veiled);
  upkeep.PointerOver(true, true);
  upkeep.Sync(false);  // mouse-over given up: the picture comes back
  EXPECT_FALSE(shell.veiled);
  upkeep.PointerOver(true, false);
  EXPECT_FALSE(shell.veiled);

  // Stopped (exit), a hidden window stays hidden.
  upkeep.Stop();
  shell.HideMonitor();
  upkeep.WindowHidden();
  EXPECT_EQ(shell.upkeepMs, 0);
}

}  // namespace
}  // namespace mirel
