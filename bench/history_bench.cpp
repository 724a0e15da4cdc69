// The traffic history's costs: one batch, and opening the history window on
// a year of 5-minute, hourly and daily data. (The tick with the history on
// is in sampling_bench.cpp, beside the tick without.)
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>

#include "behaviour/history_keeper.h"
#include "drawing/history_chart.h"
#include "readings/fixed_sources.h"
#include "readings/history_export.h"
#include "shell/qt/history_window.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;

fs::path TempFile(const char* name) {
  const fs::path dir = fs::temp_directory_path() / ("mirel9x-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path file = dir / name;
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(fs::path(file.string() + suffix));
  return file;
}

// A minute's batch of four interfaces.
HistoryBatch MinuteBatch(std::int64_t seconds) {
  HistoryBatch b;
  for (const char* name : {"lo", "eth0", "wlan0", "docker0"}) {
    for (HistoryTable table : kHistoryTables) {
      const BucketTime t = BucketOf(table, seconds);
      b.buckets[{name, table, t.start}] = {t.utcOffset, 123456, 7890};
    }
    b.loopback[name] = std::string(name) == "lo";
    b.last[name] = {{1000000, 20000, true}, 2, seconds * 1000, "boot", 1};
  }
  return b;
}

void BM_HistoryBatchWrite(benchmark::State& bench) {
  HistoryOpen opened = HistoryStore::OpenForWriting(TempFile("batch.sqlite"));
  std::int64_t seconds = 1'790'000'000;
  for (auto _ : bench) {
    seconds += 60;
    const std::string error = opened.store->Commit(MinuteBatch(seconds));
    if (!error.empty()) bench.SkipWithError(error.c_str());
  }
}
BENCHMARK(BM_HistoryBatchWrite)->Unit(benchmark::kMicrosecond);

// A year of 5-minute, hourly and daily buckets (nothing pruned) of three
// interfaces, written once.
fs::path YearFile() {
  static const fs::path file = [] {
    const fs::path f = TempFile("year.sqlite");
    HistoryOpen opened = HistoryStore::OpenForWriting(f);
    const std::int64_t end = LocalStart(2026, 12, 8, 21);
    HistoryBatch day;
    for (std::int64_t t = end - 365LL * 86400; t < end; t += 300) {
      for (const char* name : {"lo", "eth0", "wlan0"}) {
        for (HistoryTable table : kHistoryTables) {
          const BucketTime bt = BucketOf(table, t);
          BucketAmount& a = day.buckets[{name, table, bt.start}];
          a.utcOffset = bt.utcOffset;
          a.rx += 5'000'000 + static_cast<std::uint64_t>(t % 7919) * 1000;
          a.tx += 600'000;
        }
        day.loopback[name] = std::string(name) == "lo";
      }
      if ((end - t) % 86400 == 300) {
        opened.store->Commit(day);
        day = {};
      }
    }
    opened.store->Commit(day);
    return f;
  }();
  return file;
}

// What opening the window asks of the core: the figures, the list, the
// chart's buckets and model, its pixels.
void BM_HistoryWindowCoreOnAYear(benchmark::State& bench) {
  HistoryOpen opened = HistoryStore::OpenForReading(YearFile());
  StripFontLoad font = StripFont::Open();
  const std::int64_t now = LocalStart(2026, 12, 8, 21);
  Canvas canvas(640, 230);
  const HistoryTable table = static_cast<HistoryTable>(bench.range(0));
  for (auto _ : bench) {
    HistoryStore& store = *opened.store;
    benchmark::DoNotOptimize(TodayUsage(store, {}, now));
    benchmark::DoNotOptimize(MonthUsage(store, {}, now, 15));
    benchmark::DoNotOptimize(store.Interfaces());
    const ChartSpan span = ChartSpanOf(table, now);
    const ChartModel model =
        BuildChartModel(table, store.Query(table, {}, span.begin, span.end), now);
    DrawHistoryChart(canvas, *font.font, model, {});
    for (const ChartColumn& c : model.columns) benchmark::DoNotOptimize(FormatOctets(c.rx));
  }
}
BENCHMARK(BM_HistoryWindowCoreOnAYear)
    ->Arg(static_cast<int>(HistoryTable::kFiveMinutes))
    ->Arg(static_cast<int>(HistoryTable::kDays))
    ->Unit(benchmark::kMillisecond);

// The Qt window itself, built and opened (offscreen) on the year's file.
void BM_HistoryWindowOpenOnAYear(benchmark::State& bench) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "mirel9x_bench";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  HistoryOpen opened = HistoryStore::OpenForReading(YearFile());
  StripFontLoad font = StripFont::Open();
  SettingsModel model;
  GradientImages gradients;
  const std::int64_t now = LocalStart(2026, 12, 8, 21);
  HistoryWindowHooks hooks;
  hooks.store = [&] { return opened.store.get(); };
  hooks.unavailable = [] { return std::string(); };
  hooks.flush = [] {};
  hooks.nowSeconds = [now] { return now; };
  hooks.settings = [] { return HistorySettings{}; };
  hooks.settingsChanged = [](const HistorySettings&) { return std::string(); };
  hooks.notificationsShown = [] { return true; };
  for (auto _ : bench) {
    HistoryWindow window(hooks, model, gradients, *font.font);
    window.Open();
    QApplication::processEvents();  // laid out and painted
    benchmark::DoNotOptimize(window.chart().totalRx);
  }
}
BENCHMARK(BM_HistoryWindowOpenOnAYear)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirel
