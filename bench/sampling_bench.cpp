// One sampling tick with every item shown: on this machine's /proc and /sys,
// and on a small fixture tree. Run with --benchmark_repetitions to get the
// median the figures are quoted as.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "behaviour/history_keeper.h"
#include "readings/sampling.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;

// Browser settings in memory: the tick's cost, not the desktop's, is measured.
class MemoryStore : public BrowserSettingsStore {
 public:
  std::optional<RegValue> Query(std::string_view key, std::string_view name) override {
    auto it = values_.find(std::string(key) + "\\" + std::string(name));
    if (it == values_.end()) return std::nullopt;
    return it->second;
  }
  KeyDisposition CreateKey(std::string_view) override { return KeyDisposition::kOpenedExisting; }
  bool SetString(std::string_view key, std::string_view name, std::string_view text) override {
    values_[std::string(key) + "\\" + std::string(name)] = {RegValue::Kind::kString,
                                                            std::string(text), 0};
    return true;
  }
  bool SetDword(std::string_view key, std::string_view name, std::uint32_t v) override {
    values_[std::string(key) + "\\" + std::string(name)] = {RegValue::Kind::kDword, "", v};
    return true;
  }

 private:
  std::map<std::string, RegValue> values_;
};

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

fs::path MakeFixtureTree() {
  fs::path root = fs::temp_directory_path() / ("mirel9x-bench-" + std::to_string(::getpid()));
  Write(root / "proc/stat", "cpu  100 0 100 700 100 0 0 0 0 0\ncpu0 50 0 50 350 50 0 0 0 0 0\n");
  Write(root / "proc/meminfo",
        "MemTotal:  8388608 kB\nMemFree: 1000 kB\nMemAvailable: 4194304 kB\n");
  Write(root / "proc/net/route",
        "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n"
        "eth0\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\n");
  for (auto [name, index, type] : {std::tuple{"lo", 1, 772}, std::tuple{"eth0", 2, 1}}) {
    fs::path dir = root / "sys/class/net" / name;
    Write(dir / "ifindex", std::to_string(index) + "\n");
    Write(dir / "type", std::to_string(type) + "\n");
    Write(dir / "uevent", "");
    Write(dir / "statistics/rx_bytes", "123456789\n");
    Write(dir / "statistics/tx_bytes", "98765\n");
  }
  return root;
}

// With a history, the wall clock moves a second a tick: every 60th tick
// reads all counters and writes a batch.
void RunTicks(benchmark::State& bench, SystemSource& system, bool history = false) {
  MemoryStore store;
  store.SetString(kInternetSettingsKey, "ProxyServer", "proxy.example:8080");
  store.SetDword(kInternetSettingsKey, "ProxyEnable", 1);
  store.SetDword(kZone3Key, "1400", 0);
  RegistryAccess registry(store);
  WebCheckResults web;
  TickSources sources{system, registry, web, {}, {}};
  sources.adapters = system.LoadAdapterTable();
  SettingsModel model;
  for (int key = 100; key <= 114; ++key)
    model.items.push_back({"", std::to_string(key), "", "", true});
  LoadInterfaceTable(model, sources);
  MonitorState state;
  std::int64_t now = 0;
  std::int64_t wall = WallClockNowMs();
  std::unique_ptr<HistoryKeeper> keeper;
  fs::path historyDir = fs::temp_directory_path() / ("mirel9x-bench-" + std::to_string(::getpid()));
  if (history)
    keeper = std::make_unique<HistoryKeeper>(system, historyDir / "tick.sqlite", HistorySettings{},
                                             wall);
  for (auto _ : bench) {
    now += 1000;
    SampleTick(state, model, sources, 1000, now);
    if (keeper) keeper->Tick(wall += 1000);
    benchmark::DoNotOptimize(state.valueText);
  }
  if (keeper) {
    keeper.reset();
    fs::remove_all(historyDir);
  }
}

void BM_SampleTickThisMachine(benchmark::State& bench) {
  std::unique_ptr<SystemSource> system = MakeSystemSource();
  RunTicks(bench, *system);
}
BENCHMARK(BM_SampleTickThisMachine)->Unit(benchmark::kMicrosecond);

void BM_SampleTickThisMachineWithHistory(benchmark::State& bench) {
  std::unique_ptr<SystemSource> system = MakeSystemSource();
  RunTicks(bench, *system, true);
}
BENCHMARK(BM_SampleTickThisMachineWithHistory)->Unit(benchmark::kMicrosecond);

// Reading every interface's counters, as the history does once a minute.
void BM_ReadAllCounters(benchmark::State& bench) {
  std::unique_ptr<SystemSource> system = MakeSystemSource();
  for (auto _ : bench) benchmark::DoNotOptimize(system->ReadAllCounters());
}
BENCHMARK(BM_ReadAllCounters)->Unit(benchmark::kMicrosecond);

void BM_SampleTickFixtureTree(benchmark::State& bench) {
  fs::path root = MakeFixtureTree();
  std::unique_ptr<SystemSource> system = MakeSystemSource({root / "proc", root / "sys"});
  RunTicks(bench, *system);
  fs::remove_all(root);
}
BENCHMARK(BM_SampleTickFixtureTree)->Unit(benchmark::kMicrosecond);

// The readers the tick is made of, on this machine.
void BM_ReadProcessor(benchmark::State& bench) {
  std::unique_ptr<SystemSource> system = MakeSystemSource();
  for (auto _ : bench) benchmark::DoNotOptimize(system->ReadCpuPercent());
}
BENCHMARK(BM_ReadProcessor)->Unit(benchmark::kMicrosecond);

void BM_ReadMemory(benchmark::State& bench) {
  std::unique_ptr<SystemSource> system = MakeSystemSource();
  for (auto _ : bench) benchmark::DoNotOptimize(system->ReadMemory());
}
BENCHMARK(BM_ReadMemory)->Unit(benchmark::kMicrosecond);

void BM_ReadCounters(benchmark::State& bench) {
  std::unique_ptr<SystemSource> system = MakeSystemSource();
  std::vector<InterfaceRow> rows = system->LoadInterfaceTable();
  if (rows.empty()) {
    bench.SkipWithError("no interfaces");
    return;
  }
  for (auto _ : bench) benchmark::DoNotOptimize(system->ReadCounters(rows.back()));
}
BENCHMARK(BM_ReadCounters)->Unit(benchmark::kMicrosecond);

void BM_DateLine(benchmark::State& bench) {
  std::unique_ptr<SystemSource> system = MakeSystemSource();
  for (auto _ : bench) benchmark::DoNotOptimize(system->DateLine());
}
BENCHMARK(BM_DateLine)->Unit(benchmark::kMicrosecond);

// What the tick reads: the line with its shorter forms.
void BM_DateLines(benchmark::State& bench) {
  std::unique_ptr<SystemSource> system = MakeSystemSource();
  for (auto _ : bench) benchmark::DoNotOptimize(system->DateLines());
}
BENCHMARK(BM_DateLines)->Unit(benchmark::kMicrosecond);

// The disk strips read their drives while they are drawn; one drive's texts.
void BM_DiskTextsOneDrive(benchmark::State& bench) {
  std::unique_ptr<SystemSource> system = MakeSystemSource();
  MonitorState state;
  DriveRow row{"/", "ハードディスク", "", "", true};
  for (auto _ : bench) benchmark::DoNotOptimize(ReadDiskTexts(state, *system, row, 0));
}
BENCHMARK(BM_DiskTextsOneDrive)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace mirel
