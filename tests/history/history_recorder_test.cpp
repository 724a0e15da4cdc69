// The recorder driven by fixture counters through days, a daylight-saving
// change, a month end, a sleep, a counter reset, a renamed and a recreated
// interface, a restart of the program and reboots. Time zones are given in
// POSIX form, so no zone files are needed.
#include "readings/history_recorder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/history/history_test_support.h"

namespace mirel {
namespace {

std::uint64_t Rx(const HistoryBatch& b, const std::string& name, HistoryTable table,
                 const char* start) {
  auto it = b.buckets.find({name, table, At(start)});
  return it == b.buckets.end() ? 0 : it->second.rx;
}

// Received octets of one interface's buckets of a table in [from, to).
std::uint64_t RxSum(const HistoryBatch& b, const std::string& name, HistoryTable table,
                    const char* from, const char* to) {
  std::uint64_t sum = 0;
  for (const auto& [key, amount] : b.buckets) {
    const auto& [n, t, start] = key;
    if (n == name && t == table && start >= At(from) && start < At(to)) sum += amount.rx;
  }
  return sum;
}

struct Counters {
  std::uint64_t rx = 0, tx = 0;
};

InterfaceCounters Iface(const std::string& name, std::uint64_t identity, Counters c,
                        bool loopback = false) {
  return {name, identity, {c.rx, c.tx, true}, loopback};
}

TEST(HistoryRecorder, DaysDaylightSavingMonthEndSleepResetRenameAndRecreation) {
  LocalZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  HistoryRecorder recorder({"boot-1", At("2026-10-24T23:00") * 1000}, {});
  Counters eth0{10'000'000, 1'000'000};
  const Counters wlan0{7000, 700};
  std::int64_t now = At("2026-10-24T23:58");
  auto feed = [&](const std::vector<InterfaceCounters>& all) { recorder.Feed(now * 1000, all); };
  auto minutes = [&](int count) {
    for (int i = 0; i < count; ++i) {
      now += 60;
      eth0.rx += 1000;
      eth0.tx += 100;
      feed({Iface("lo", 1, {500, 500}, true), Iface("eth0", 2, eth0), Iface("wlan0", 3, wlan0)});
    }
  };

  // First reading: what eth0 counted since the boot an hour ago lies in
  // that hour, not in any 5-minute bucket.
  feed({Iface("lo", 1, {500, 500}, true), Iface("eth0", 2, eth0), Iface("wlan0", 3, wlan0)});
  // Through 25 October, the 25-hour day of the autumn change, to 00:03 of the 26th.
  minutes(2 + 1500 + 3);
  HistoryBatch b = recorder.TakeBatch();
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kHours, "2026-10-24T23:00"), 10'000'000u + 2000u);
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kFiveMinutes, "2026-10-24T23:55"), 2000u);
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kDays, "2026-10-24"), 10'002'000u);
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kDays, "2026-10-25"), 1'500'000u);
  EXPECT_EQ(RxSum(b, "eth0", HistoryTable::kFiveMinutes, "2026-10-25", "2026-10-26"), 1'500'000u);
  EXPECT_EQ(RxSum(b, "eth0", HistoryTable::kHours, "2026-10-25", "2026-10-26"), 1'500'000u);
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kDays, "2026-10-26"), 3000u);
  // The day starts at midnight summer time and the next at midnight winter
  // time; the clocks show 2 o'clock twice, and each hour is a bucket.
  const BucketAmount& day = b.buckets.at({"eth0", HistoryTable::kDays, At("2026-10-25")});
  EXPECT_EQ(Iso8601({At("2026-10-25"), day.utcOffset}), "2026-10-25T00:00:00+02:00");
  EXPECT_EQ(b.buckets.at({"eth0", HistoryTable::kDays, At("2026-10-26")}).utcOffset, 3600);
  std::vector<std::string> twoOClock;
  for (const auto& [key, amount] : b.buckets) {
    const auto& [name, table, start] = key;
    const BucketTime t{start, amount.utcOffset};
    if (name == "eth0" && table == HistoryTable::kHours &&
        BucketLabel(table, t) == "2026-10-25 02時") {
      twoOClock.push_back(Iso8601(t));
      EXPECT_EQ(amount.rx, 60'000u);
      EXPECT_EQ(amount.tx, 6000u);
    }
  }
  EXPECT_EQ(twoOClock,
            (std::vector<std::string>{"2026-10-25T02:00:00+02:00", "2026-10-25T02:00:00+01:00"}));
  EXPECT_TRUE(b.loopback.at("lo"));
  EXPECT_FALSE(b.loopback.at("eth0"));
  EXPECT_EQ(b.last.at("eth0").counters.rx, eth0.rx);
  EXPECT_EQ(Rx(b, "wlan0", HistoryTable::kFiveMinutes, "2026-10-25T12:00"), 0u);

  // Asleep from the 26th to late on the 31st: what moved meanwhile belongs
  // to October, but to none of its days.
  eth0.rx += 50'000;
  now = At("2026-10-31T23:50");
  feed({Iface("eth0", 2, eth0), Iface("wlan0", 3, wlan0)});
  minutes(20);  // into November
  b = recorder.TakeBatch();
  EXPECT_EQ(RxSum(b, "eth0", HistoryTable::kDays, "2026-10-26", "2026-10-31"), 0u);
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kDays, "2026-10-31"), 10'000u);
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kMonths, "2026-10"), 50'000u + 10'000u);
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kMonths, "2026-11"), 10'000u);
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kYears, "2026"), 70'000u);

  // The counter restarts (a driver reload): it adds what it holds, 300.
  now += 60;
  eth0 = {300, eth0.tx + 100};
  feed({Iface("eth0", 2, eth0), Iface("wlan0", 3, wlan0)});
  // eth0 is renamed lan0 (the same device): its counters carry on there.
  now += 60;
  eth0.rx += 1000;
  feed({Iface("lan0", 2, eth0), Iface("wlan0", 3, wlan0)});
  // wlan0 goes, and comes back as a new device that counted 400 since.
  now += 60;
  feed({Iface("lan0", 2, eth0)});
  now += 60;
  feed({Iface("lan0", 2, eth0), Iface("wlan0", 9, {400, 40})});
  // A failed read is no reason to take anything for gone.
  now += 60;
  feed({});
  now += 60;
  eth0.rx += 1000;
  feed({Iface("lan0", 2, eth0), Iface("wlan0", 9, {400, 40})});
  b = recorder.TakeBatch();
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kFiveMinutes, "2026-11-01T00:10"), 300u);
  // The last reading's two minutes span 00:15: shared half and half.
  EXPECT_EQ(Rx(b, "lan0", HistoryTable::kFiveMinutes, "2026-11-01T00:10"), 1500u);
  EXPECT_EQ(Rx(b, "lan0", HistoryTable::kFiveMinutes, "2026-11-01T00:15"), 500u);
  EXPECT_EQ(Rx(b, "wlan0", HistoryTable::kFiveMinutes, "2026-11-01T00:10"), 400u);
  EXPECT_EQ(b.last.count("eth0"), 0u);
  EXPECT_EQ(b.last.at("lan0").counters.rx, eth0.rx);
  EXPECT_EQ(recorder.unplaced(), 0u);
}

TEST(HistoryRecorder, RestartRebootAndGapsNoBucketHolds) {
  LocalZone zone("JST-9");
  const std::map<std::string, LastReading> none;
  HistoryRecorder first({"boot-1", At("2026-12-08T08:00") * 1000}, none);
  first.Feed(At("2026-12-08T09:00") * 1000, {Iface("eth0", 2, {1000, 100})});
  first.Feed(At("2026-12-08T09:01") * 1000, {Iface("eth0", 2, {2000, 200})});
  std::map<std::string, LastReading> stored = first.TakeBatch().last;

  // The program starts again 24 minutes later on the same boot: the 24
  // minutes' octets are known to lie within the hour, not in which 5 minutes.
  HistoryRecorder again({"boot-1", At("2026-12-08T08:00") * 1000}, stored);
  again.Feed(At("2026-12-08T09:25") * 1000, {Iface("eth0", 2, {7000, 700})});
  HistoryBatch b = again.TakeBatch();
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kHours, "2026-12-08T09:00"), 5000u);
  EXPECT_EQ(RxSum(b, "eth0", HistoryTable::kFiveMinutes, "2026-12-08", "2026-12-09"), 0u);
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kDays, "2026-12-08"), 5000u);

  // After a reboot the counters started at the boot two minutes ago; what
  // went between the last reading and the shutdown is not known.
  HistoryRecorder rebooted({"boot-2", At("2026-12-08T10:30") * 1000}, b.last);
  rebooted.Feed(At("2026-12-08T10:32") * 1000, {Iface("eth0", 5, {9000, 900})});
  b = rebooted.TakeBatch();
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kFiveMinutes, "2026-12-08T10:30"), 9000u);
  EXPECT_EQ(Rx(b, "eth0", HistoryTable::kDays, "2026-12-08"), 9000u);

  // Without boot ids (Windows) the boot time tells: a reading from before
  // it is of another boot, one from after it (within the clock's drift) of
  // this one.
  LastReading noId = b.last.at("eth0");
  noId.bootId.clear();
  HistoryRecorder windowsRebooted({"", At("2026-12-08T11:00") * 1000}, {{"eth0", noId}});
  windowsRebooted.Feed(At("2026-12-08T11:01") * 1000, {Iface("eth0", 0, {10'000, 1000})});
  EXPECT_EQ(windowsRebooted.pending()
                .buckets.at({"eth0", HistoryTable::kFiveMinutes, At("2026-12-08T11:00")})
                .rx,
            10'000u);
  HistoryRecorder windowsSameBoot({"", At("2026-12-08T10:33") * 1000}, {{"eth0", noId}});
  windowsSameBoot.Feed(At("2026-12-08T10:34") * 1000, {Iface("eth0", 0, {10'000, 1000})});
  EXPECT_EQ(windowsSameBoot.pending()
                .buckets.at({"eth0", HistoryTable::kFiveMinutes, At("2026-12-08T10:30")})
                .rx,
            1000u);

  // A sleep across the year's end: no bucket holds both ends, nothing is placed.
  HistoryRecorder year({"boot-3", At("2026-12-31T20:00") * 1000}, none);
  year.Feed(At("2026-12-31T23:00") * 1000, {Iface("eth0", 2, {0, 0})});
  year.Feed(At("2027-01-01T02:00") * 1000, {Iface("eth0", 2, {4000, 0})});
  EXPECT_TRUE(year.pending().buckets.empty());
  EXPECT_EQ(year.unplaced(), 4000u);
}

TEST(HistoryTime, DayThatStartsLateParsingAndLabels) {
  // Summer time that begins at midnight: 4 November 2018 starts at 01:00.
  LocalZone zone("BRT3BRST,M11.1.0/0,M2.3.0/0");
  const BucketTime day = BucketOf(HistoryTable::kDays, At("2018-11-04T10:00"));
  EXPECT_EQ(Iso8601(day), "2018-11-04T01:00:00-02:00");
  EXPECT_EQ(NextBucketStart(HistoryTable::kDays, day.start) - day.start, 23 * 3600);
  EXPECT_EQ(BucketLabel(HistoryTable::kFiveMinutes,
                        BucketOf(HistoryTable::kFiveMinutes, At("2018-11-04T10:07"))),
            "2018-11-04 10:05");

  const std::optional<LocalSpan> end = ParseLocalTime("2026-12-31");
  ASSERT_TRUE(end);
  EXPECT_EQ(end->end - end->begin, 86400);
  EXPECT_EQ(ParseLocalTime("2026-12")->end, At("2027-01-01"));
  EXPECT_EQ(ParseLocalTime("2026-12-08 10:30")->begin, At("2026-12-08T10:30"));
  for (const char* bad : {"2026-13", "2026-02-30", "2026-12-08T24", "26-12-08", "2026/12/08", ""})
    EXPECT_FALSE(ParseLocalTime(bad)) << bad;
}

}  // namespace
}  // namespace mirel
