#include "readings/rates.h"

#include <gtest/gtest.h>

#include "readings/counters.h"

namespace mirel {
namespace {

struct RateCase {
  std::int64_t octets;
  int intervalMs;
  int unit;
  std::int64_t rate;
};

TEST(RatesTest, RateOfOneInterval) {
  const RateCase cases[] = {
      {300, 1000, 0, 1},                // floor(0.293) = 0, raised to 1: octets did move
      {10240, 500, 1, 160},             // 8 × 10 / 0.5
      {0, 1000, 0, 0},                  // nothing moved: 0 stays 0
      {12 * 1024, 1000, 0, 12},         //
      {12 * 1024 + 1023, 1000, 0, 12},  // floored, not rounded
      {1024, 10000, 1, 1},              // 0.8 Kbit/s floors to 0, raised to 1
      {1536, 1500, 0, 1},               // 1.5 KB over 1.5 s
      {3 * 1024 * 1024, 500, 1, 49152},
  };
  for (const RateCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.octets << " octets in " << c.intervalMs << " ms");
    EXPECT_EQ(RateFromDelta(DeltaKFixed(c.octets), c.octets, c.intervalMs, c.unit), c.rate);
  }
}

TEST(RatesTest, KilobyteDeltaKeepsFourDecimalsWithHalvesToEven) {
  EXPECT_EQ(DeltaKFixed(300), 2930);  // 0.29296875
  EXPECT_EQ(DeltaKFixed(32), 312);    // 0.03125: the half goes to the even 312
  EXPECT_EQ(DeltaKFixed(96), 938);    // 0.09375: ... and here up to 938
  EXPECT_EQ(DeltaKFixed(1024), 10000);
  EXPECT_EQ(DeltaKFixed(-1024), -10000);
}

TEST(RatesTest, TotalTexts) {
  const std::pair<std::uint64_t, const char*> cases[] = {
      {0, "0"},                // zero has no unit
      {1023, "0.000MB"},       // not zero, but under one whole kilobyte
      {1048576, "1.000MB"},    //
      {1234567, "1.177MB"},    // floor(1234567 / 1024) / 1024 = 1.17675...
      {64 * 1024, "0.063MB"},  // 0.0625: the display format rounds the half up
      {(1ull << 40) + 1023, "1048576.000MB"},
      {~0ull, "17592186044415.999MB"},  // no overflow at the top of the range
  };
  for (const auto& [octets, text] : cases) EXPECT_EQ(TotalText(octets), text) << octets;
}

TEST(RatesTest, RateBarAndGraphLengths) {
  struct Case {
    std::int64_t rate, fullScale;
    int width, height;
  };
  const Case cases[] = {
      {256, 512, 78, 14},    // 78.5 and 14.5: halves to even
      {0, 512, 0, 1},        // an empty graph sample is still one pixel
      {512, 512, 157, 29},   // full scale fills the strip
      {1024, 512, 314, 58},  // above the scale: longer than the strip, cut when drawn
      {3, 8, 59, 11},        // 58.875 and 10.875
      {1, 4096, 0, 1},       // 0.0383 rounds to nothing
      {-5, 8, 0, 1},         // never negative
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " of " << c.fullScale);
    EXPECT_EQ(RateBarWidth(c.rate, c.fullScale), c.width);
    EXPECT_EQ(GraphSampleHeight(c.rate, c.fullScale), c.height);
  }
}

TEST(RatesTest, PercentBarAndGraphLengths) {
  const int cases[][3] = {
      // percent, bar width, graph height
      {0, 0, 1}, {50, 78, 14}, {100, 157, 29}, {37, 58, 11}, {1, 2, 1}, {10, 16, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PercentBarWidth(c[0]), c[1]) << c[0];
    EXPECT_EQ(PercentGraphHeight(c[0]), c[2]) << c[0];
  }
}

TEST(RatesTest, MemoryFigures) {
  MemoryFigures m = ComputeMemory(512ull << 20, 311ull << 20);
  EXPECT_EQ(m.text, "201MB/512MB");
  EXPECT_EQ(m.percent, 39);

  // More than 4 GiB, and partial megabytes floored.
  m = ComputeMemory((16ull << 30) + 12345, (4ull << 30) + 999999);
  EXPECT_EQ(m.text, "12288MB/16384MB");
  EXPECT_EQ(m.percent, 75);

  m = ComputeMemory(0, 0);
  EXPECT_EQ(m.text, "0MB/0MB");
  EXPECT_EQ(m.percent, 0);
}

TEST(RatesTest, PercentsRoundHalvesToEven) {
  EXPECT_EQ(PercentOf(25200, 40000), 63);
  EXPECT_EQ(PercentOf(1, 8), 12);  // 12.5
  EXPECT_EQ(PercentOf(3, 8), 38);  // 37.5
  EXPECT_EQ(PercentOf(5, 0), 0);   // nothing to divide by
}

TEST(RatesTest, GigabyteTexts) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {40000, "39.0"},     {14800, "14.4"},     {0, "0.0"}, {1023, "0.9"},
      {1024000, "1000.0"}, {4194303, "4095.9"},  // floored, not rounded up to 4096.0
  };
  for (const auto& [mb, text] : cases) EXPECT_EQ(GigabyteText(mb), text) << mb;
}

TEST(WrapTrackingTest, CountsAWrapOnTheFirstLowReadingAfterAHighOne) {
  struct Step {
    std::uint32_t reading;
    std::uint64_t wraps;
  };
  const std::vector<std::vector<Step>> sequences = {
      {{0xFFFFFF00u, 0}, {0x00000100u, 1}},                    // just below 2^32, then small
      {{0xFFFFFF00u, 0}, {0, 0}, {0x10u, 1}},                  // 0 counts nothing
      {{0x80000000u, 0}, {0xC0000000u, 0}, {0x10u, 1}},        // high twice: one wrap
      {{0x7FFFFFFFu, 0}, {0x80000000u, 0}, {0x7FFFFFFFu, 1}},  // 2^31 is the high half
      {{0x10u, 0}, {0x20u, 0}, {0x05u, 0}},                    // low to lower: no wrap
      {{0xF0000000u, 0}, {0x1u, 1}, {0xF0000000u, 1}, {0x2u, 2}},
  };
  for (std::size_t s = 0; s < sequences.size(); ++s) {
    bool high = false;
    std::uint64_t wraps = 0;
    for (std::size_t i = 0; i < sequences[s].size(); ++i) {
      TrackWrap(sequences[s][i].reading, high, wraps);
      EXPECT_EQ(wraps, sequences[s][i].wraps) << "sequence " << s << " step " << i;
    }
  }
}

TEST(CountersTest, ThirtyTwoBitCountersCarryTheirWrapsIntoTotalsAndRates) {
  MonitorState s;
  ApplyCounters(s, {0xFFFFF000u, 0x10u, false}, 1000, 0, false);
  EXPECT_EQ(s.Text(102), kLoadingText);  // the first reading only sets the baseline
  ApplyCounters(s, {0x00001000u, 0x10u + 2048, false}, 1000, 0, false);
  EXPECT_EQ(s.rxWraps, 1u);
  EXPECT_EQ(s.rxTotal, 0x100001000ull);
  EXPECT_EQ(s.Text(102), "8Kbyte/秒");  // 0x2000 octets across the wrap
  EXPECT_EQ(s.Text(103), "2Kbyte/秒");
}

TEST(CountersTest, ACounterThatGoesBackwardsIsAResetNotANegativeRate) {
  MonitorState s;
  ApplyCounters(s, {5'000'000, 7'000'000, true}, 1000, 0, false);
  ApplyCounters(s, {5'102'400, 7'000'000, true}, 1000, 0, false);
  EXPECT_EQ(s.Text(102), "100Kbyte/秒");
  const std::uint64_t rxBefore = s.rxTotal;

  // The interface restarted its counters: this tick shows 0 and keeps the totals.
  ApplyCounters(s, {4096, 7'001'024, true}, 1000, 0, false);
  EXPECT_EQ(s.rxRate, 0);
  EXPECT_EQ(s.Text(102), "0Kbyte/秒");
  EXPECT_EQ(s.rxTotal, rxBefore);
  EXPECT_EQ(s.Text(103), "1Kbyte/秒");  // the other direction carries on

  // Afterwards the new counter counts on top of the old total.
  ApplyCounters(s, {4096 + 20480, 7'001'024, true}, 1000, 0, false);
  EXPECT_EQ(s.Text(102), "20Kbyte/秒");
  EXPECT_EQ(s.rxTotal, rxBefore + 20480);
}

TEST(CountersTest, ARebaselinedReadingShowsZeroInsteadOfTheWholeGap) {
  MonitorState s;
  ApplyCounters(s, {0, 0, true}, 500, 1, false);
  ApplyCounters(s, {500'000'000, 1'000, true}, 500, 1, true);
  EXPECT_EQ(s.Text(102), "0Kbit/秒");
  EXPECT_EQ(s.Text(103), "0Kbit/秒");
  EXPECT_EQ(s.rxTotal, 500'000'000u);  // the total still counts everything
  ApplyCounters(s, {500'010'240, 1'000, true}, 500, 1, false);
  EXPECT_EQ(s.Text(102), "160Kbit/秒");
}

TEST(CountersTest, PauseThreshold) {
  EXPECT_FALSE(IsSamplingPause(500, 500));
  EXPECT_FALSE(IsSamplingPause(2400, 500));  // a late tick is still one interval
  EXPECT_TRUE(IsSamplingPause(2600, 500));
  EXPECT_FALSE(IsSamplingPause(29000, 10000));
  EXPECT_TRUE(IsSamplingPause(31000, 10000));
  EXPECT_TRUE(IsSamplingPause(3'600'000, 1000));  // a night in suspend
}

}  // namespace
}  // namespace mirel
