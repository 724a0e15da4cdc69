// What the traffic history asks of Windows: every interface's counters at
// once, the boot, the data folder, local time and the lock of one recorder.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>

#include "behaviour/history_keeper.h"
#include "platform/file_lock.h"
#include "platform/local_time.h"
#include "platform/platform.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;

TEST(HistoryPlatformWindows, CountersBootFolderTimeAndLock) {
  std::unique_ptr<SystemSource> system = MakeSystemSource();
  // Every row of the table with 64-bit counters, named as the table names it.
  const std::vector<InterfaceCounters> all = system->ReadAllCounters();
  std::vector<std::string> names;
  for (const InterfaceRow& row : system->LoadInterfaceTable()) names.push_back(row.description);
  EXPECT_FALSE(all.empty());  // Wine has its loopback at least
  for (const InterfaceCounters& c : all) {
    EXPECT_NE(std::find(names.begin(), names.end(), c.name), names.end()) << c.name;
    EXPECT_TRUE(c.counters.wide);
    EXPECT_NE(c.identity, 0u);
  }

  // No boot id on Windows: the boot time, in the past, within a day here.
  const BootInfo boot = system->ReadBoot();
  EXPECT_TRUE(boot.id.empty());
  const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
  EXPECT_LE(boot.bootTimeMs, now);
  EXPECT_GT(boot.bootTimeMs, 1'000'000'000'000);

  EXPECT_EQ(UserDataDir().filename(), fs::path(L"mirel9x"));
  std::tm local{};
  ASSERT_TRUE(LocalTimeOf(86400 * 365, local));
  EXPECT_EQ(local.tm_year + 1900, 1971);

  // A second lock of the same file (another monitor) is refused until the
  // first is let go.
  const fs::path dir = fs::temp_directory_path() / L"mirel9x-履歴-lock";
  fs::create_directories(dir);
  FileLock::Result first = FileLock::Result::kFailed, second = FileLock::Result::kFailed;
  std::unique_ptr<FileLock> held = FileLock::TryLock(dir / L"history.sqlite.lock", first);
  EXPECT_EQ(first, FileLock::Result::kLocked);
  EXPECT_FALSE(FileLock::TryLock(dir / L"history.sqlite.lock", second));
  EXPECT_EQ(second, FileLock::Result::kHeldElsewhere);
  held.reset();
  EXPECT_TRUE(FileLock::TryLock(dir / L"history.sqlite.lock", second));
  std::error_code ec;
  fs::remove_all(dir, ec);
}

// The history's file on Windows: in a folder with a Japanese name, recorded
// from this machine's counters, and a damaged file kept aside (renamed,
// which Windows allows only once nothing holds it open).
TEST(HistoryPlatformWindows, TheKeeperRecordsAndADamagedFileIsKeptAside) {
  const fs::path dir = fs::temp_directory_path() / L"mirel9x-通信履歴";
  std::error_code ec;
  fs::remove_all(dir, ec);
  std::unique_ptr<SystemSource> system = MakeSystemSource();
  const std::int64_t now = WallClockNowMs();
  {
    HistoryKeeper keeper(*system, dir / L"history.sqlite", {}, now);
    ASSERT_TRUE(keeper.recording()) << (keeper.TakeMessages().empty() ? "" : "a message");
    keeper.Close(now + 60'000);
    EXPECT_TRUE(keeper.TakeMessages().empty());
  }
  HistoryOpen read = HistoryStore::OpenForReading(dir / L"history.sqlite");
  ASSERT_TRUE(read.store) << read.message;
  EXPECT_FALSE(read.store->LastReadings().empty());
  read.store.reset();

  std::FILE* f = _wfopen((dir / L"history.sqlite").c_str(), L"r+b");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 20, SEEK_SET);
  std::fwrite("broken bytes in the header", 1, 26, f);
  std::fclose(f);
  HistoryOpen again = HistoryStore::OpenForWriting(dir / L"history.sqlite");
  EXPECT_EQ(again.status, HistoryOpen::Status::kKeptAside) << again.message;
  again.store.reset();
  int kept = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(dir))
    kept += e.path().filename().wstring().rfind(L"history.sqlite.damaged-", 0) == 0;
  EXPECT_EQ(kept, 1);
  fs::remove_all(dir, ec);
}

}  // namespace
}  // namespace mirel
