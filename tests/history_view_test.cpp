// What both history windows share: the limit editors' amounts and what a
// user types into them, and paging through time back to the clock.
#include "behaviour/history_view.h"

#include <gtest/gtest.h>

namespace mirel {
namespace {

TEST(HistoryViewTest, LimitAmountsTypedTextAndPaging) {
  // Megabytes below a gigabyte, else gigabytes; both ways exact to the octet.
  const TrafficLimit small{"eth0", LimitPeriod::kDay, 300ull << 20};
  const TrafficLimit large{"*", LimitPeriod::kMonth, 1536ull << 20};
  EXPECT_FALSE(LimitAmountOf(&small).gigabytes);
  EXPECT_DOUBLE_EQ(LimitAmountOf(&large).amount, 1.5);
  EXPECT_EQ(LimitOctetsOf(LimitAmountOf(&small)), small.octets);
  EXPECT_EQ(LimitOctetsOf(LimitAmountOf(&large)), large.octets);
  EXPECT_EQ(LimitAmountText(LimitAmountOf(&large).amount), "1.5");
  EXPECT_EQ(LimitAmountText(LimitAmountOf(&small).amount), "300");
  EXPECT_EQ(LimitAmountText(LimitAmountOf(nullptr).amount), "");  // none: a blank editor

  // Full-width digits as an input method types them; blank is none.
  EXPECT_EQ(ParseLimitAmount("２．５"), 2.5);
  EXPECT_EQ(ParseLimitAmount(" 10 "), 10.0);
  EXPECT_EQ(ParseLimitAmount(""), 0.0);
  for (const char* bad : {"-1", "1.2.3", "2GB", ".", "1e9", "１,０"})
    EXPECT_FALSE(ParseLimitAmount(bad)) << bad;

  // Setting replaces the scope's limit of that period only; 0 removes it.
  HistorySettings s;
  s.limits = {small, large, {"eth0", LimitPeriod::kMonth, 5}};
  SetLimit(s, "eth0", LimitPeriod::kDay, 7);
  SetLimit(s, "*", LimitPeriod::kMonth, 0);
  ASSERT_EQ(s.limits.size(), 2u);
  EXPECT_EQ(s.Limit("eth0", LimitPeriod::kDay)->octets, 7u);
  EXPECT_EQ(s.Limit("eth0", LimitPeriod::kMonth)->octets, 5u);
  EXPECT_EQ(s.Limit("*", LimitPeriod::kMonth), nullptr);

  // A page back leaves the clock; a page on from there follows it again.
  const std::int64_t now = 1'800'000'000;
  bool following = true;
  const std::int64_t back = HistoryPage(HistoryTable::kDays, now, -1, now, following);
  EXPECT_FALSE(following);
  EXPECT_LT(back, now - 30 * 86400);
  EXPECT_EQ(HistoryPage(HistoryTable::kDays, back, 1, now, following), now);
  EXPECT_TRUE(following);
}

}  // namespace
}  // namespace mirel
