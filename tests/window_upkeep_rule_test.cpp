#include "behaviour/window_upkeep_rule.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace mirel
