// mirel9x-tool history-fill: a history file of simulated traffic, recorded
// through the same recorder and store as the program's, a reading a minute:
// for the pictures of the history window, its benchmark and the size of a
// year's file. The traffic follows fixed rules and a fixed seed, so the same
// arguments (and time zone) give the same file.
#include <charconv>
#include <cmath>
#include <iostream>

#include "platform/atomic_file.h"
#include "readings/history_store.h"
#include "tools/tool_command.h"

namespace mirel::tool {
namespace {

constexpr const char* kUsage =
    "history-fill --file FILE [--days N] [--end TIME] [--keep-all]   a history of N days "
    "(365) of simulated traffic on eth0, wlan0 and lo up to TIME (2026-12-08T21:00), pruned as "
    "the program prunes unless --keep-all";

// A small fixed-seed generator: the same numbers on every machine.
class Noise {
 public:
  double Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state_ >> 11) / 9007199254740992.0;
  }

 private:
  std::uint64_t state_ = 0x6d6972656c39ull;
};

// Octets per minute: an evening peak, quiet nights, more at weekends, and a
// large download now and then.
struct Traffic {
  double rxPerMinute[24];
  double txShare;
  bool daytimeOnly;
};

constexpr Traffic kEth0{{0.2, 0.15, 0.1, 0.1, 0.1, 0.15, 0.3, 0.7, 1.0, 1.2, 1.4, 1.4,
                         1.7, 1.6,  1.4, 1.4, 1.6, 1.7,  2.1, 3.2, 4.2, 4.5, 3.5, 1.0},
                        0.12,
                        false};
constexpr Traffic kWlan0{{0,   0,   0,   0,   0,   0,   0,   0.5, 1.0, 1.0, 1.0, 1.0,
                          1.5, 1.0, 1.0, 1.0, 1.0, 1.5, 2.0, 1.5, 1.0, 0.5, 0,   0},
                         0.25,
                         true};
constexpr double kMegabyte = 1024.0 * 1024.0;

int Run(const Args& args) {
  std::string file;
  int days = 365;
  std::int64_t end = 0;
  bool keepAll = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--file" && hasValue) {
      file = args[++i];
    } else if (args[i] == "--days" && hasValue &&
               std::from_chars(args[i + 1].data(), args[i + 1].data() + args[i + 1].size(), days)
                       .ec == std::errc() &&
               days > 0) {
      ++i;
    } else if (args[i] == "--end" && hasValue && ParseLocalTime(args[i + 1])) {
      end = ParseLocalTime(args[++i])->begin;
    } else if (args[i] == "--keep-all") {
      keepAll = true;
    } else {
      std::cerr << "usage: mirel9x-tool " << kUsage << "\n";
      return 2;
    }
  }
  if (file.empty()) {
    std::cerr << "usage: mirel9x-tool " << kUsage << "\n";
    return 2;
  }
  if (end == 0) end = ParseLocalTime("2026-12-08T21:00")->begin;
  HistoryOpen opened = HistoryStore::OpenForWriting(PathFromUtf8(file));
  if (!opened.store) {
    std::cerr << "history-fill: " << opened.message << "\n";
    return 1;
  }
  HistoryStore& store = *opened.store;
  HistoryRetention retention;
  if (keepAll) retention = {0, 0, 0, 0, 0};

  const std::int64_t start = end - std::int64_t{days} * 86400;
  const BootInfo boot{"simulated", (start - 60) * 1000};
  HistoryRecorder recorder(boot, store.LastReadings());
  Noise noise;
  std::uint64_t eth0Rx = 0, eth0Tx = 0, wlanRx = 0, wlanTx = 0, loBoth = 0;
  for (std::int64_t t = start; t <= end; t += 60) {
    const LocalFields f = FieldsAt(t, UtcOffsetAt(t));
    const int weekday = static_cast<int>((DaysFromCivil(f.year, f.month, f.day) + 4) % 7);
    const double weekend = weekday == 0 || weekday == 6 ? 1.4 : 1.0;
    // A large download on about one evening in twelve.
    const double burst = f.hour == 20 && noise.Next() < 1.0 / (12 * 60) * 60 ? 300.0 : 0.0;
    const double rx =
        (kEth0.rxPerMinute[f.hour] * weekend * (0.5 + noise.Next()) + burst) * kMegabyte;
    eth0Rx += static_cast<std::uint64_t>(rx);
    eth0Tx += static_cast<std::uint64_t>(rx * kEth0.txShare * (0.5 + noise.Next()));
    const double wlan = kWlan0.rxPerMinute[f.hour] * (weekday == 0 || weekday == 6 ? 0.2 : 1.0) *
                        noise.Next() * kMegabyte;
    wlanRx += static_cast<std::uint64_t>(wlan);
    wlanTx += static_cast<std::uint64_t>(wlan * kWlan0.txShare);
    loBoth += 20000 + static_cast<std::uint64_t>(noise.Next() * 20000);
    recorder.Feed(t * 1000, {{"lo", 1, {loBoth, loBoth, true}, true},
                             {"eth0", 2, {eth0Rx, eth0Tx, true}, false},
                             {"wlan0", 3, {wlanRx, wlanTx, true}, false}});
    // A batch an hour here (the program writes one a minute; the buckets
    // come out the same), and the pruning the program does hourly, daily.
    if ((t - start) % 3600 == 0 || t + 60 > end) {
      if (std::string error = store.Commit(recorder.TakeBatch()); !error.empty()) {
        std::cerr << "history-fill: " << error << "\n";
        return 1;
      }
    }
    if ((t - start) % 86400 == 0) store.Prune(retention, t);
  }
  store.Prune(retention, end);
  std::cout << "history-fill: " << days << " days up to "
            << Iso8601(BucketOf(HistoryTable::kFiveMinutes, end)) << " in " << file << "\n";
  return 0;
}

Register reg("history-fill", &Run, kUsage);

}  // namespace
}  // namespace mirel::tool
