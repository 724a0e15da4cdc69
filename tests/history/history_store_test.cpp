// The history's file and the keeper that runs it: batches in and queries
// out, pruning, files kept aside, a folder that cannot be made, the limits'
// notices, and a kill -9 in the middle of a stream of batches.
#include "readings/history_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "behaviour/history_keeper.h"
#include "readings/fixed_sources.h"
#include "readings/history_export.h"
#include "tests/history/history_test_support.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;

class HistoryFile : public testing::Test {
 protected:
  HistoryFile()
      : dir_(fs::temp_directory_path() /
             ("mirel9x-history-" + std::to_string(::getpid()) + "-" +
              testing::UnitTest::GetInstance()->current_test_info()->name())),
        file_(dir_ / kHistoryFileName) {
    fs::remove_all(dir_);
  }
  ~HistoryFile() override { fs::remove_all(dir_); }

  std::unique_ptr<HistoryStore> Open() {
    HistoryOpen opened = HistoryStore::OpenForWriting(file_);
    EXPECT_EQ(opened.status, HistoryOpen::Status::kOk) << opened.message;
    return std::move(opened.store);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  LocalZone zone_{"JST-9"};
  fs::path dir_;
  fs::path file_;
};

HistoryBatch BatchOf(const std::string& name, bool loopback, const char* at, std::uint64_t rx,
                     std::uint64_t tx) {
  HistoryBatch b;
  for (HistoryTable table : kHistoryTables) {
    const BucketTime t = BucketOf(table, At(at));
    b.buckets[{name, table, t.start}] = {t.utcOffset, rx, tx};
  }
  b.loopback[name] = loopback;
  b.last[name] = {{rx, tx, true}, 7, At(at) * 1000, "boot", 1};
  return b;
}

std::uint64_t SumRx(const std::vector<HistoryBucket>& buckets) {
  std::uint64_t sum = 0;
  for (const HistoryBucket& b : buckets) sum += b.rx;
  return sum;
}

TEST_F(HistoryFile, BatchesQueriesPruningAndExport) {
  {
    std::unique_ptr<HistoryStore> store = Open();
    ASSERT_TRUE(store);
    for (const char* day : {"2025-01-10T12:00", "2026-11-30T23:00", "2026-12-08T10:00"}) {
      ASSERT_EQ(store->Commit(BatchOf("eth0", false, day, 1000, 100)), "");
      ASSERT_EQ(store->Commit(BatchOf("wlan0", false, day, 10, 1)), "");
      ASSERT_EQ(store->Commit(BatchOf("lo", true, day, 5, 5)), "");
    }
    // Two batches into one bucket add up.
    ASSERT_EQ(store->Commit(BatchOf("eth0", false, "2026-12-08T10:01", 1000, 100)), "");
    ASSERT_EQ(store->Prune(HistoryRetention{}, At("2026-12-08T12:00")), "");
  }
  // Reopened: everything written is there.
  std::unique_ptr<HistoryStore> store = Open();
  ASSERT_TRUE(store);
  const std::vector<HistoryBucket> days =
      store->Query(HistoryTable::kDays, {"eth0"}, INT64_MIN, INT64_MAX);
  // The day of January 2025 is older than a year and a half: pruned; its
  // month and year stay for ever, as does the five minutes of today.
  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(Iso8601(days[0].time), "2026-11-30T00:00:00+09:00");
  EXPECT_EQ(days[1].rx, 2000u);
  EXPECT_EQ(store->Query(HistoryTable::kMonths, {"eth0"}, INT64_MIN, INT64_MAX).size(), 3u);
  EXPECT_EQ(store->Query(HistoryTable::kYears, {"eth0"}, INT64_MIN, INT64_MAX).size(), 2u);
  EXPECT_EQ(store->Query(HistoryTable::kFiveMinutes, {"eth0"}, INT64_MIN, INT64_MAX).size(), 1u);
  EXPECT_EQ(store->Query(HistoryTable::kHours, {"eth0"}, INT64_MIN, INT64_MAX).size(), 2u);
  // All summed leaves loopback out.
  EXPECT_EQ(SumRx(store->Query(HistoryTable::kYears, {}, INT64_MIN, INT64_MAX)),
            4 * 1000u + 3 * 10u);
  EXPECT_EQ(TodayUsage(*store, {}, At("2026-12-08T20:00")).rx, 2010u);
  EXPECT_EQ(MonthUsage(*store, {"eth0"}, At("2026-12-08T20:00"), 1).Total(), 2200u);
  // A month that starts on the 30th takes in the 30th of November.
  EXPECT_EQ(MonthUsage(*store, {"eth0"}, At("2026-12-08T20:00"), 30).rx, 3000u);
  EXPECT_EQ(store->LastReadings().at("wlan0").counters.rx, 10u);
  EXPECT_EQ(store->Interfaces().size(), 3u);

  std::vector<HistoryTables> tables(1);
  tables[0].name = "eth0";
  tables[0].tables[static_cast<int>(HistoryTable::kDays)] = days;
  EXPECT_EQ(HistoryJson(tables),
            "{\"interfaces\": [\n  {\"name\": \"eth0\", \"fiveminutes\": [], \"hours\": [], "
            "\"days\": [\n    {\"start\": \"2026-11-30T00:00:00+09:00\", \"rx\": 1000, \"tx\": "
            "100},\n    {\"start\": \"2026-12-08T00:00:00+09:00\", \"rx\": 2000, \"tx\": 200}\n  "
            "], \"months\": [], \"years\": []}\n]}\n");
  EXPECT_EQ(HistoryCsv(tables),
            "interface,table,start,rx,tx\r\neth0,days,2026-11-30T00:00:00+09:00,1000,100\r\n"
            "eth0,days,2026-12-08T00:00:00+09:00,2000,200\r\n");
  for (auto [octets, text] : {std::pair<std::uint64_t, const char*>{0, "0 B"},
                              {1023, "1023 B"},
                              {1536, "1.50 KB"},
                              {12'900'000, "12.3 MB"},
                              {1'048'051'712, "0.98 GB"},
                              {3'320'000'000'000, "3.02 TB"}})
    EXPECT_EQ(FormatOctets(octets), text);
}

TEST_F(HistoryFile, DamagedNewerAndForeignFilesAreKeptAsideAndAFolderThatCannotBeMadeIsSaid) {
  {
    std::unique_ptr<HistoryStore> store = Open();
    for (int i = 0; i < 50; ++i)
      store->Commit(BatchOf("eth" + std::to_string(i), false, "2026-12-08T10:00", 1, 1));
  }
  // Pages in the middle overwritten.
  {
    std::fstream f(file_, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(3000);
    const std::string junk(3000, '\x5a');
    f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
  }
  HistoryOpen opened = HistoryStore::OpenForWriting(file_);
  EXPECT_EQ(opened.status, HistoryOpen::Status::kKeptAside);
  EXPECT_NE(opened.message.find("壊れていました"), std::string::npos) << opened.message;
  ASSERT_TRUE(opened.store);
  EXPECT_TRUE(opened.store->Interfaces().empty());  // a new file
  EXPECT_EQ(opened.store->Commit(BatchOf("eth0", false, "2026-12-08T10:00", 1, 1)), "");
  opened.store.reset();
  const std::vector<std::string> names = Names();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], kHistoryFileName);
  EXPECT_EQ(names[1].rfind(std::string(kHistoryFileName) + ".damaged-", 0), 0u) << names[1];
  // The reader says so, and changes nothing.
  EXPECT_EQ(HistoryStore::OpenForReading(dir_ / names[1]).status, HistoryOpen::Status::kFailed);

  // A file of a newer version of the program.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file_.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  HistoryOpen reading = HistoryStore::OpenForReading(file_);
  EXPECT_EQ(reading.status, HistoryOpen::Status::kFailed);
  EXPECT_NE(reading.message.find("新しい版"), std::string::npos);
  opened = HistoryStore::OpenForWriting(file_);
  EXPECT_EQ(opened.status, HistoryOpen::Status::kKeptAside);
  EXPECT_NE(opened.message.find("新しい版"), std::string::npos) << opened.message;
  opened.store.reset();
  const std::vector<std::string> all = Names();
  EXPECT_EQ(std::count_if(all.begin(), all.end(),
                          [](const std::string& n) {
                            return n.rfind(std::string(kHistoryFileName) + ".newer-", 0) == 0;
                          }),
            1);

  // Another program's database under this name.
  fs::remove(file_);
  ASSERT_EQ(sqlite3_open(file_.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  EXPECT_EQ(HistoryStore::OpenForWriting(file_).status, HistoryOpen::Status::kKeptAside);

  // A folder that cannot be made (a file is in its way): the keeper says
  // it once and the ticks go on without history.
  FixedSystemSource system;
  system.allCounters = {{"eth0", 2, {1, 1, true}, false}};
  const fs::path blocked = dir_ / "blocked";
  std::ofstream(blocked) << "x";
  HistoryKeeper keeper(system, blocked / "sub" / kHistoryFileName, {},
                       At("2026-12-08T10:00") * 1000);
  EXPECT_FALSE(keeper.recording());
  const std::vector<HistoryMessage> messages = keeper.TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find("履歴なしで続けます"), std::string::npos) << messages[0].text;
  keeper.Tick(At("2026-12-08T10:05") * 1000);
  keeper.Close(At("2026-12-08T10:06") * 1000);
  EXPECT_TRUE(keeper.TakeMessages().empty());
  EXPECT_EQ(HistoryStore::OpenForReading(dir_ / "none").status, HistoryOpen::Status::kMissing);
}

TEST_F(HistoryFile, KeeperWritesAMinuteABatchAndGivesEachLimitNoticeOnce) {
  FixedSystemSource system;
  system.boot = {"boot", At("2026-12-08T09:00") * 1000};
  std::uint64_t rx = 0;
  auto counters = [&] {
    system.allCounters = {{"lo", 1, {rx, rx, true}, true}, {"eth0", 2, {rx, 0, true}, false}};
  };
  counters();
  HistorySettings settings;
  settings.limits = {{"eth0", LimitPeriod::kDay, 10'000},
                     {kAllInterfaces, LimitPeriod::kMonth, 1'000'000}};
  std::int64_t now = At("2026-12-08T10:00:30") * 1000;
  {
    HistoryKeeper keeper(system, file_, settings, now);
    ASSERT_TRUE(keeper.recording());
    // Ticks every 10 s for 3 minutes: one batch a minute, not one a tick.
    const std::uint64_t before = keeper.batches();
    for (int tick = 0; tick < 18; ++tick) {
      now += 10'000;
      rx += 250;
      counters();
      keeper.Tick(now);
    }
    EXPECT_EQ(keeper.batches() - before, 3u);
    // Between batches the file is closed (and SQLite let go of).
    EXPECT_FALSE(keeper.open());
    EXPECT_FALSE(keeper.OverLimit("eth0"));
    EXPECT_TRUE(keeper.TakeMessages().empty());  // 3750 of 10000
    rx += 4000;                                  // 85 %
    counters();
    keeper.Flush(now);
    rx += 2000;  // over
    counters();
    now += 60'000;
    keeper.Tick(now);
    EXPECT_TRUE(keeper.OverLimit("eth0"));
    EXPECT_FALSE(keeper.OverLimit("wlan0"));
    const std::vector<HistoryMessage> notices = keeper.TakeMessages();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].text, "今日の通信量が上限の80%を超えました (eth0: 8.30 KB / 9.77 KB)");
    EXPECT_EQ(notices[1].text, "今日の通信量が上限に達しました (eth0: 10.3 KB / 9.77 KB)");
    // "総受信量" as today's figure: what is written and what moved since.
    HistorySettings today = settings;
    today.totals = TotalsSource::kToday;
    keeper.SetSettings(today, now);
    system.counters = {rx + 300, 0, true};
    const auto figure = keeper.TotalsFigure({2, kIfTypeEthernet, "eth0"}, now + 1000);
    ASSERT_TRUE(figure);
    EXPECT_EQ(figure->first, rx + 300);
    keeper.SetSettings(settings, now);
    EXPECT_FALSE(keeper.TotalsFigure({2, kIfTypeEthernet, "eth0"}, now + 1000));
    rx += 100;
    counters();
    keeper.Close(now + 5000);  // the last octets at exit
  }
  // A restart on the same day gives no notice again; the octets of the exit are in.
  HistoryKeeper keeper(system, file_, settings, now + 20'000);
  EXPECT_TRUE(keeper.TakeMessages().empty());
  EXPECT_TRUE(keeper.OverLimit("eth0"));
  EXPECT_EQ(TodayUsage(*keeper.store(), {"eth0"}, now / 1000).rx, rx);
  // Loopback is not in "all summed".
  EXPECT_EQ(TodayUsage(*keeper.store(), {}, now / 1000).rx, rx);

  // A second monitor of the same user (another session) only reads, and
  // records once the first is gone.
  HistoryKeeper second(system, file_, settings, now + 30'000);
  EXPECT_FALSE(second.recording());
  ASSERT_NE(second.store(), nullptr);
  EXPECT_EQ(TodayUsage(*second.store(), {"eth0"}, now / 1000).rx, rx);
  EXPECT_NE(second.Unavailable().find("ほかに起動しているモニタ"), std::string::npos);
  keeper.Close(now + 40'000);
  second.Tick(now + 90'000);
  EXPECT_TRUE(second.recording());
  EXPECT_TRUE(second.TakeMessages().empty());

  // A file that cannot be opened again for the next batch is said once, and
  // the monitor goes on without history.
  second.Tick(now + 91'000);
  EXPECT_TRUE(second.open());
  second.Tick(now + 97'000);  // a few seconds later
  ASSERT_FALSE(second.open());
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(file_.string() + suffix);
  fs::create_directory(file_);
  rx += 100;
  counters();
  second.Tick(now + 150'000);
  second.Tick(now + 210'000);
  const std::vector<HistoryMessage> said = second.TakeMessages();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].text.find("履歴なしで続けます"), std::string::npos) << said[0].text;
  EXPECT_FALSE(second.recording());
}

// A writer killed with SIGKILL between or inside its batches leaves a file
// that opens without damage and holds every batch it finished.
TEST_F(HistoryFile, KillNineInTheMiddleOfBatchesLosesAtMostTheBatchBeingWritten) {
  { Open(); }
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipeFds[0]);
    HistoryOpen opened = HistoryStore::OpenForWriting(file_);
    for (std::uint32_t i = 1;; ++i) {
      HistoryBatch b;
      // Many buckets a batch, so the kill falls inside one.
      for (int k = 0; k < 200; ++k)
        b.buckets[{"eth" + std::to_string(k), HistoryTable::kFiveMinutes, 300LL * (i % 50)}] = {
            0, 1, 0};
      if (!opened.store || !opened.store->Commit(b).empty()) ::_exit(1);
      if (::write(pipeFds[1], &i, sizeof i) != sizeof i) ::_exit(1);
    }
  }
  ::close(pipeFds[1]);
  std::uint32_t done = 0;
  while (done < 40 && ::read(pipeFds[0], &done, sizeof done) == sizeof done) {
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  std::uint32_t more = 0;
  while (::read(pipeFds[0], &more, sizeof more) == sizeof more) done = more;
  ::close(pipeFds[0]);
  ASSERT_TRUE(WIFSIGNALED(status));

  std::unique_ptr<HistoryStore> store = Open();  // not kept aside
  ASSERT_TRUE(store);
  const std::uint64_t written =
      SumRx(store->Query(HistoryTable::kFiveMinutes, {"eth7"}, INT64_MIN, INT64_MAX));
  EXPECT_TRUE(written == done || written == done + 1) << written << " of " << done;
}

}  // namespace
}  // namespace mirel
