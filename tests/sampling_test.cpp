#include "readings/sampling.h"

#include <gtest/gtest.h>

#include <map>

#include "readings/counters.h"
#include "readings/rates.h"

namespace mirel {
namespace {

// A machine whose readings the test sets, counting every question asked.
class FakeSystem : public SystemSource {
 public:
  std::optional<int> cpu = 37;
  MemoryReading memory{512ull << 20, 311ull << 20};
  std::vector<InterfaceRow> table;
  std::optional<std::size_t> routed;
  std::map<std::uint32_t, OctetCounters> counters;  // by interface index
  std::map<std::string, DriveSpace> drives;
  std::string dateLine = "2003/04/14 月曜日  12:34:56";

  AdapterTable adapters;
  int cpuReads = 0, memoryReads = 0, counterReads = 0, dateReads = 0, driveReads = 0;
  int tableLoads = 0, routeReads = 0, adapterLoads = 0;

  std::optional<int> ReadCpuPercent() override {
    ++cpuReads;
    return cpu;
  }
  MemoryReading ReadMemory() override {
    ++memoryReads;
    return memory;
  }
  std::vector<InterfaceRow> LoadInterfaceTable() override {
    ++tableLoads;
    return table;
  }
  // `routed` is a position in `table`; the answer is the same interface's
  // position in the rows asked about, as the real source maps it by name.
  std::optional<std::size_t> DefaultRouteInterface(const std::vector<InterfaceRow>& rows) override {
    ++routeReads;
    if (!routed || *routed >= table.size()) return std::nullopt;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].description == table[*routed].description) return i;
    }
    return std::nullopt;
  }
  std::optional<OctetCounters> ReadCounters(const InterfaceRow& row) override {
    ++counterReads;
    auto it = counters.find(row.index);
    if (it == counters.end()) return std::nullopt;
    return it->second;
  }
  AdapterTable LoadAdapterTable() override {
    ++adapterLoads;
    return adapters;
  }
  std::vector<std::string> ListFixedDrives() override { return {}; }
  std::optional<DriveSpace> ReadDriveSpace(const std::string& drive) override {
    ++driveReads;
    auto it = drives.find(drive);
    if (it == drives.end()) return std::nullopt;
    return it->second;
  }
  std::string DateLine() override {
    ++dateReads;
    return dateLine;
  }
};

// Browser settings held in a map; records the order of the questions.
class FakeStore : public BrowserSettingsStore {
 public:
  std::map<std::pair<std::string, std::string>, RegValue> values;
  std::vector<std::string> asked;

  std::optional<RegValue> Query(std::string_view key, std::string_view name) override {
    asked.push_back(std::string(name));
    auto it = values.find({std::string(key), std::string(name)});
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  KeyDisposition CreateKey(std::string_view) override { return KeyDisposition::kOpenedExisting; }
  bool SetString(std::string_view, std::string_view, std::string_view) override { return false; }
  bool SetDword(std::string_view, std::string_view, std::uint32_t) override { return false; }

  void SetDword(const char* key, const char* name, std::uint32_t v) {
    values[{key, name}] = RegValue{RegValue::Kind::kDword, "", v};
  }
  void SetText(const char* key, const char* name, const char* text) {
    values[{key, name}] = RegValue{RegValue::Kind::kString, text, 0};
  }
};

// Everything one tick needs, wired together.
struct Rig {
  Rig() {
    for (int key = 100; key <= 114; ++key) model.items.push_back({"", std::to_string(key), "", ""});
    system.table = {{1, kIfTypeLoopback, "lo"}, {2, kIfTypeEthernet, "eth0"}};
    system.counters[2] = {1'000'000, 2'000'000, true};
  }

  void Show(std::initializer_list<int> keys) {
    for (int key : keys) model.items[static_cast<std::size_t>(key - 100)].checked = true;
  }
  void Tick(int intervalMs = 1000) {
    now += intervalMs;
    SampleTick(state, model, sources, intervalMs, now);
  }
  // What start-up does before the first tick.
  void Baseline() { TakeStartBaselines(state, sources, now); }

  FakeSystem system;
  FakeStore store;
  RegistryAccess registry{store};
  WebCheckResults web;
  TickSources sources{system, registry, web, {}, {}};
  SettingsModel model;
  MonitorState state;
  std::int64_t now = 1'000'000;
};

class SamplingTest : public testing::Test, public Rig {};

TEST_F(SamplingTest, NothingShownReadsNothing) {
  LoadInterfaceTable(model, sources);
  Tick();
  Tick();
  EXPECT_EQ(system.cpuReads + system.memoryReads + system.counterReads + system.dateReads, 0);
  EXPECT_TRUE(store.asked.empty());
  for (int key = 100; key <= 114; ++key) EXPECT_EQ(state.Text(key), kLoadingText) << key;
}

TEST_F(SamplingTest, EachQuantityIsReadExactlyWhenSomethingShowsIt) {
  struct Case {
    const char* what;
    std::function<void(Rig&)> setup;
    int cpu, memory, counters;
  };
  const Case cases[] = {
      {"item 100", [](Rig& t) { t.Show({100}); }, 1, 0, 0},
      {"toolbar processor, item hidden", [](Rig& t) { t.model.toolbarCpu = true; }, 1, 0, 0},
      {"graph on processor", [](Rig& t) { t.model.record[SettingsRecord::kGraphSource] = "1"; }, 1,
       0, 0},
      {"item 101", [](Rig& t) { t.Show({101}); }, 0, 1, 0},
      {"toolbar memory", [](Rig& t) { t.model.toolbarMemory = true; }, 0, 1, 0},
      {"graph on memory", [](Rig& t) { t.model.record[SettingsRecord::kGraphSource] = "2"; }, 0, 1,
       0},
      {"item 103", [](Rig& t) { t.Show({103}); }, 0, 0, 1},
      {"item 111", [](Rig& t) { t.Show({111}); }, 0, 0, 1},
      {"toolbar receive", [](Rig& t) { t.model.toolbarReceive = true; }, 0, 0, 1},
      {"graph on send", [](Rig& t) { t.model.record[SettingsRecord::kGraphSource] = "4"; }, 0, 0,
       1},
      {"items that need no sample",
       [](Rig& t) {
         t.Show({104, 105, 112, 113, 114});
       },
       0, 0, 0},
  };
  for (const Case& c : cases) {
    Rig t;
    LoadInterfaceTable(t.model, t.sources);
    c.setup(t);
    t.Tick();
    EXPECT_EQ(t.system.cpuReads, c.cpu) << c.what;
    EXPECT_EQ(t.system.memoryReads, c.memory) << c.what;
    EXPECT_EQ(t.system.counterReads, c.counters) << c.what;
  }
}

TEST_F(SamplingTest, ShownFlagsFollowTheItemListEveryTick) {
  Baseline();
  Show({100});
  Tick();
  EXPECT_TRUE(state.shownFlags[0]);
  model.items[0].checked = false;
  Tick();
  EXPECT_FALSE(state.shownFlags[0]);
  EXPECT_EQ(system.cpuReads, 2);      // the start-up baseline and one tick
  EXPECT_EQ(state.Text(100), "37%");  // not sampled: keeps its text
}

TEST_F(SamplingTest, ProcessorKeepsItsLastValueWhenAReadFails) {
  Baseline();
  Show({100});
  system.cpu = std::nullopt;
  Tick();
  EXPECT_EQ(state.Text(100), "0%");  // no reading ever: 0%
  system.cpu = 12;
  Tick();
  system.cpu = std::nullopt;
  Tick();
  EXPECT_EQ(state.Text(100), "12%");
  EXPECT_EQ(state.cpuPercent, 12);
}

TEST_F(SamplingTest, MemoryText) {
  Show({101});
  Tick();
  EXPECT_EQ(state.Text(101), "メモリ使用率201MB/512MB");
  EXPECT_EQ(state.memoryText, "201MB/512MB");
  EXPECT_EQ(state.memPercent, 39);
}

TEST_F(SamplingTest, RatesTotalsAndTheirStartTexts) {
  LoadInterfaceTable(model, sources);
  Show({102, 103, 110, 111});
  Tick();
  // The first sampling tick only sets the baseline.
  EXPECT_EQ(state.Text(102), kLoadingText);
  EXPECT_EQ(state.Text(110), "0.953MB");  // 1,000,000 octets: 976 whole KB
  system.counters[2] = {1'000'000 + 300, 2'000'000, true};
  Tick();
  EXPECT_EQ(state.Text(102), "1Kbyte/秒");
  EXPECT_EQ(state.Text(103), "0Kbyte/秒");

  model.record[SettingsRecord::kRateUnit] = "1";
  system.counters[2] = {1'000'300 + 10240, 2'000'000, true};
  Tick(500);
  EXPECT_EQ(state.Text(102), "160Kbit/秒");

  // The total items count from their baselines; a baseline above the total
  // (set on another interface) shows 0 rather than wrapping round.
  state.rxStartTotal = state.rxTotal;
  state.txStartTotal = state.txTotal + 1;
  system.counters[2].rx += 1048576;
  Tick(500);
  EXPECT_EQ(state.Text(110), "1.000MB");
  EXPECT_EQ(state.Text(111), "0");
}

TEST_F(SamplingTest, NoInterfaceToSampleIsHarmless) {
  Show({102, 103, 110, 111});
  const std::function<void(Rig&)> setups[] = {
      [](Rig&) {},  // never loaded: empty table, no choice
      [](Rig& t) {
        t.system.table.clear();
        LoadInterfaceTable(t.model, t.sources);
      },
      [](Rig& t) {
        LoadInterfaceTable(t.model, t.sources);
        t.model.adapterIndex = 7;  // a saved choice beyond this machine's table
      },
  };
  for (const auto& setup : setups) {
    Rig t;
    t.Show({102, 103, 110, 111});
    setup(t);
    t.Tick();
    t.Tick();
    EXPECT_EQ(t.system.counterReads, 0);
    EXPECT_EQ(t.state.Text(102), "0Kbyte/秒");  // nothing moves on no interface
    EXPECT_EQ(t.state.Text(110), "0");
  }
}

TEST_F(SamplingTest, APauseInSamplingRebaselinesInsteadOfShowingOneHugeInterval) {
  LoadInterfaceTable(model, sources);
  Show({102});
  Tick();
  system.counters[2].rx += 2048;
  Tick();
  EXPECT_EQ(state.Text(102), "2Kbyte/秒");

  // Hidden for a while: the counters are not read, traffic goes on.
  model.items[2].checked = false;
  Tick();
  Tick();
  system.counters[2].rx += 50 * 1024 * 1024;
  model.items[2].checked = true;
  Tick();
  EXPECT_EQ(state.Text(102), "0Kbyte/秒");
  system.counters[2].rx += 4096;
  Tick();
  EXPECT_EQ(state.Text(102), "4Kbyte/秒");

  // The machine slept: one tick arrives an hour late.
  system.counters[2].rx += 900 * 1024 * 1024;
  now += 3'600'000;
  Tick();
  EXPECT_EQ(state.Text(102), "0Kbyte/秒");

  // A slightly late tick still counts as one nominal interval.
  system.counters[2].rx += 3072;
  now += 200;
  Tick();
  EXPECT_EQ(state.Text(102), "3Kbyte/秒");
}

TEST_F(SamplingTest, AnotherInterfaceStartsItsOwnBaseline) {
  system.table.push_back({3, kIfTypeWireless, "wlan0"});
  system.counters[3] = {10, 20, true};
  LoadInterfaceTable(model, sources);
  Show({102, 110});
  Tick();
  system.counters[2].rx += 1024;
  Tick();
  model.adapterIndex = 2;
  Tick();
  EXPECT_EQ(state.Text(102), "0Kbyte/秒");
  EXPECT_EQ(state.rxTotal, 10u);
  system.counters[3].rx += 5120;
  Tick();
  EXPECT_EQ(state.Text(102), "5Kbyte/秒");
}

TEST_F(SamplingTest, InterfaceChoicePrefersTheDefaultRoute) {
  system.table = {
      {1, kIfTypeLoopback, "lo"}, {2, kIfTypeEthernet, "docker0"}, {3, kIfTypeWireless, "wlan0"}};
  system.routed = 2;
  LoadInterfaceTable(model, sources);
  EXPECT_EQ(model.interfaceList, (std::vector<std::string>{"lo", "docker0", "wlan0"}));
  EXPECT_EQ(model.adapterIndex, 2);

  system.routed = std::nullopt;  // no default route: the first Ethernet row
  LoadInterfaceTable(model, sources);
  EXPECT_EQ(model.adapterIndex, 1);

  system.table = {{1, kIfTypeLoopback, "lo"}, {3, kIfTypeWireless, "wlan0"}};
  LoadInterfaceTable(model, sources);
  EXPECT_EQ(model.adapterIndex, -1);

  system.table.clear();
  LoadInterfaceTable(model, sources);
  EXPECT_TRUE(model.interfaceList.empty());
  EXPECT_EQ(model.adapterIndex, -1);
}

TEST_F(SamplingTest, SwitchReadouts) {
  Show({106, 107, 108, 109});
  struct Case {
    std::function<void(FakeStore&)> set;
    const char *proxy, *proxyUse, *activeScripting, *java;
  };
  const Case cases[] = {
      {[](FakeStore&) {}, "", "OFF", "ON", "ON"},  // nothing stored
      {[](FakeStore& s) {
         s.SetText(kInternetSettingsKey, "ProxyServer", "proxy.example:8080");
         s.SetDword(kInternetSettingsKey, "ProxyEnable", 1);
         s.SetDword(kZone3Key, "1400", 3);
         s.SetDword(kZone3Key, "1402", 0);
       },
       "proxy.example:8080", "ON", "OFF", "ON"},
      {[](FakeStore& s) {
         s.SetDword(kInternetSettingsKey, "ProxyEnable", 2);
         s.SetDword(kZone3Key, "1400", 1);
         s.SetDword(kZone3Key, "1402", 3);
       },
       "", "OFF", "ON", "OFF"},
      {[](FakeStore& s) { s.SetDword(kInternetSettingsKey, "ProxyEnable", 0); }, "", "OFF", "ON",
       "ON"},
  };
  for (const Case& c : cases) {
    Rig t;
    t.Show({106, 107, 108, 109});
    c.set(t.store);
    t.Tick();
    EXPECT_EQ(t.state.Text(106), c.proxy);
    EXPECT_EQ(t.state.Text(107), c.proxyUse);
    EXPECT_EQ(t.state.Text(108), c.activeScripting);
    EXPECT_EQ(t.state.Text(109), c.java);
  }
}

TEST_F(SamplingTest, ReadoutsAreReadEveryTickInTheirOrder) {
  Show({104, 105, 106, 107, 108, 109, 114});
  sources.adapters.entries = {{"eth0", "192.168.1.20"}, {"wlan0", "10.0.0.5"}};
  web.globalIp = "203.0.113.9";
  Tick();
  EXPECT_EQ(store.asked, (std::vector<std::string>{"ProxyServer", "ProxyEnable", "1400", "1402"}));
  EXPECT_EQ(state.Text(105), "192.168.1.20");
  EXPECT_EQ(state.Text(104), "203.0.113.9");
  EXPECT_EQ(state.Text(114), "2003/04/14 月曜日  12:34:56");

  // Another program switches the proxy on: the next tick shows it.
  store.SetDword(kInternetSettingsKey, "ProxyEnable", 1);
  Tick();
  EXPECT_EQ(state.Text(107), "ON");
  EXPECT_EQ(system.dateReads, 2);

  sources.adapters.entries.clear();
  Tick();
  EXPECT_EQ(state.Text(105), "0.0.0.0");
}

TEST_F(SamplingTest, LanAddressComesFromAnAdapterThatHasOne) {
  system.table.push_back({3, kIfTypeWireless, "wlan0"});
  system.routed = 2;  // wlan0 carries the default route
  LoadInterfaceTable(model, sources);
  Show({105});
  sources.adapters.entries = {
      {"eth0", "0.0.0.0"}, {"docker0", "172.17.0.1"}, {"wlan0", "10.0.0.5"}};
  Tick();
  EXPECT_EQ(state.Text(105), "10.0.0.5");  // the interface in use

  model.adapterIndex = -1;
  Tick();
  EXPECT_EQ(state.Text(105), "10.0.0.5");  // else the default route's interface

  system.routed = std::nullopt;
  ApplyNetworkChanges(model, sources, {false, true, false});
  Tick();
  EXPECT_EQ(state.Text(105), "172.17.0.1");  // else the first adapter with an address

  sources.adapters.entries = {{"eth0", "0.0.0.0"}, {"eth1", "0.0.0.0"}};
  Tick();
  EXPECT_EQ(state.Text(105), "0.0.0.0");
}

TEST_F(SamplingTest, ProcessorValueCoversOneIntervalAfterStartAndAfterAPause) {
  Show({100});
  // No start-up baseline: the first read is the share since boot.
  system.cpu = 90;
  Tick();
  EXPECT_EQ(state.Text(100), kLoadingText);
  EXPECT_EQ(state.cpuPercent, 0);
  system.cpu = 20;
  Tick();
  EXPECT_EQ(state.Text(100), "20%");

  // With the start-up baseline the first tick already has a value.
  Rig t;
  t.Show({100});
  t.Baseline();
  t.system.cpu = 30;
  t.Tick();
  EXPECT_EQ(t.state.Text(100), "30%");
  EXPECT_EQ(t.system.cpuReads, 2);

  // Hidden for two ticks: the read on showing again averages the hidden
  // time, so it is a baseline only.
  t.model.items[0].checked = false;
  t.Tick();
  t.Tick();
  t.model.items[0].checked = true;
  t.system.cpu = 95;
  t.Tick();
  EXPECT_EQ(t.state.Text(100), kLoadingText);
  EXPECT_EQ(t.state.cpuPercent, 0);
  t.system.cpu = 41;
  t.Tick();
  EXPECT_EQ(t.state.Text(100), "41%");

  // A tick long after the one before (the machine slept) likewise.
  t.now += 3'600'000;
  t.system.cpu = 3;
  t.Tick();
  EXPECT_EQ(t.state.Text(100), kLoadingText);
  t.system.cpu = 7;
  t.Tick();
  EXPECT_EQ(t.state.Text(100), "7%");
}

TEST(RateIntervalTest, MeasuredOnlyWhenOffByMoreThanAQuarter) {
  const struct {
    std::int64_t elapsed;
    int nominal, expected;
  } cases[] = {
      {500, 500, 500},       {625, 500, 500},       {375, 500, 500}, {626, 500, 626},
      {374, 500, 374},       {2400, 500, 2400},     {0, 500, 500},   {-40, 500, 500},
      {10400, 10000, 10000}, {13000, 10000, 13000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RateIntervalMs(c.elapsed, c.nominal), c.expected) << c.elapsed << "/" << c.nominal;
  }
}

TEST_F(SamplingTest, LateOrEarlyTickDividesByTheMeasuredInterval) {
  LoadInterfaceTable(model, sources);
  Show({102, 103});
  Tick(500);
  // A steady 100 Kbyte/s received. On time: the worked examples hold.
  system.counters[2].rx += 51200;
  Tick(500);
  EXPECT_EQ(state.Text(102), "100Kbyte/秒");
  // 1.9 s late at 0.5 s: 2.4 s of traffic is 100 Kbyte/s, not 480.
  system.counters[2].rx += 245760;
  now += 1900;
  Tick(500);
  EXPECT_EQ(state.Text(102), "100Kbyte/秒");
  EXPECT_EQ(state.rxRate, 100);
  // Early (the timer restarted with another interval): 0.25 s of traffic.
  system.counters[2].rx += 25600;
  now -= 250;
  Tick(500);
  EXPECT_EQ(state.Text(102), "100Kbyte/秒");
  // Within a quarter the nominal interval stands, as the worked examples
  // assume: 120 ms late over 500 ms of traffic reads 100.
  system.counters[2].rx += 51200;
  now += 120;
  Tick(500);
  EXPECT_EQ(state.Text(102), "100Kbyte/秒");
  // Later than a sampling pause: re-baselined, no rate at all.
  system.counters[2].rx += 1 << 30;
  now += 2600;
  Tick(500);
  EXPECT_EQ(state.Text(102), "0Kbyte/秒");
}

TEST_F(SamplingTest, AGoneOrUnreadableInterfaceReadsZeroAndRebaselinesOnReturn) {
  LoadInterfaceTable(model, sources);
  Show({102, 103, 110});
  model.record[SettingsRecord::kGraphSource] = "3";
  Tick();
  system.counters[2].rx += 40960;
  system.counters[2].tx += 20480;
  Tick();
  EXPECT_EQ(state.Text(102), "40Kbyte/秒");
  const std::uint64_t total = state.rxTotal;

  // The counters cannot be read: no frozen 40 on the strip or the graph.
  system.counters.erase(2);
  Tick();
  EXPECT_EQ(state.Text(102), "0Kbyte/秒");
  EXPECT_EQ(state.Text(103), "0Kbyte/秒");
  EXPECT_EQ(state.rxRate, 0);
  EXPECT_EQ(state.txRate, 0);
  Tick();
  EXPECT_EQ(state.rxRate, 0);

  // Back, with counters that moved meanwhile: the first tick re-baselines
  // instead of showing everything since it went as one interval.
  system.counters[2] = {1'000'000 + 40960 + 900'000, 2'000'000 + 20480, true};
  Tick();
  EXPECT_EQ(state.Text(102), "0Kbyte/秒");
  EXPECT_EQ(state.rxTotal, total + 900'000);
  system.counters[2].rx += 8192;
  Tick();
  EXPECT_EQ(state.Text(102), "8Kbyte/秒");
}

// A machine whose network the tests change between ticks, as a watch would
// report it.
class NetworkChangeTest : public SamplingTest {
 protected:
  NetworkChangeTest() {
    system.table = {{1, kIfTypeLoopback, "lo"},
                    {2, kIfTypeEthernet, "eth0"},
                    {3, kIfTypeWireless, "wlan0"},
                    {7, kIfTypeEthernet, "docker0"}};
    system.counters[3] = {5'000'000, 6'000'000, true};
    system.counters[7] = {7'000'000, 8'000'000, true};
    system.routed = 1;  // eth0
    system.adapters = {AdapterTableStatus::kOk,
                       {{"eth0", "192.168.1.20"}, {"wlan0", "0.0.0.0"}, {"docker0", "172.17.0.1"}}};
    sources.adapters = system.adapters;
    LoadInterfaceTable(model, sources);
    Show({102, 103, 105});
  }

  NetworkUpdate Change(bool links, bool routes, bool addresses) {
    return ApplyNetworkChanges(model, sources, NetworkChanges{links, routes, addresses});
  }
  std::string Chosen() const { return ChosenInterfaceName(model, sources); }
};

TEST_F(NetworkChangeTest, AutomaticChoiceFollowsTheDefaultRouteWithoutASpike) {
  model.adapterAutoDetect = true;
  Tick();
  system.counters[2].rx += 10240;
  Tick();
  EXPECT_EQ(state.Text(102), "10Kbyte/秒");
  EXPECT_EQ(state.Text(105), "192.168.1.20");

  // Wi-Fi takes over the default route, and gets its address by DHCP.
  system.routed = 2;
  NetworkUpdate u = Change(false, true, false);
  EXPECT_TRUE(u.choiceChanged);
  EXPECT_FALSE(u.listChanged);
  EXPECT_EQ(Chosen(), "wlan0");
  system.adapters.entries[1].ipAddress = "10.0.0.5";
  EXPECT_TRUE(Change(false, false, true).addressesChanged);
  system.counters[3].rx += 999'999;
  Tick();
  // Another interface's counters: a new baseline, neither a spike nor a
  // negative rate from the difference of the two interfaces' counters.
  EXPECT_EQ(state.Text(102), "0Kbyte/秒");
  EXPECT_EQ(state.Text(103), "0Kbyte/秒");
  EXPECT_EQ(state.Text(105), "10.0.0.5");
  system.counters[3].rx += 3072;
  Tick();
  EXPECT_EQ(state.Text(102), "3Kbyte/秒");

  // The route goes (Wi-Fi drops for a moment): nothing to follow, the choice
  // stays rather than falling to a bridge.
  system.routed = std::nullopt;
  EXPECT_FALSE(Change(false, true, false).choiceChanged);
  EXPECT_EQ(Chosen(), "wlan0");

  // A VPN tunnel comes up and carries the default route.
  system.table.push_back({9, kIfTypeTunnel, "tun0"});
  system.counters[9] = {0, 0, true};
  system.routed = 4;
  u = Change(true, true, false);
  EXPECT_TRUE(u.listChanged);
  EXPECT_EQ(Chosen(), "tun0");
  EXPECT_EQ(model.interfaceList.back(), "tun0");

  // The tunnel goes: no route, the chosen row is gone, so the fallback.
  system.table.pop_back();
  system.routed = std::nullopt;
  u = Change(true, true, false);
  EXPECT_TRUE(u.choiceChanged);
  EXPECT_EQ(Chosen(), "eth0");
  EXPECT_EQ(model.interfaceList.size(), 4u);
}

TEST_F(NetworkChangeTest, ManualChoiceStaysWithItsInterfaceByName) {
  model.adapterAutoDetect = false;
  model.adapterIndex = 2;  // wlan0, from the settings file
  Tick();
  system.counters[3].rx += 2048;
  Tick();
  EXPECT_EQ(state.Text(102), "2Kbyte/秒");

  // An interface appears before it in the list: the position moves with it.
  system.table.insert(system.table.begin() + 1, {11, kIfTypeEthernet, "enp0s1"});
  system.routed = 1;
  NetworkUpdate u = Change(true, true, false);
  EXPECT_TRUE(u.listChanged);
  EXPECT_FALSE(u.choiceChanged);
  EXPECT_EQ(model.adapterIndex, 3);
  EXPECT_EQ(Chosen(), "wlan0");

  // wlan0 goes: it stays chosen, in its place, and reads nothing.
  system.table.erase(system.table.begin() + 3);
  system.counters.erase(3);
  Change(true, false, false);
  EXPECT_EQ(Chosen(), "wlan0");
  EXPECT_EQ(model.adapterIndex, 3);
  EXPECT_EQ(model.interfaceList,
            (std::vector<std::string>{"lo", "enp0s1", "eth0", "wlan0", "docker0"}));
  const int reads = system.counterReads;
  Tick();
  EXPECT_EQ(system.counterReads, reads);  // nothing there to ask
  EXPECT_EQ(state.Text(102), "0Kbyte/秒");
  const std::uint64_t total = state.rxTotal;

  // Back under a new index with counters from 0: the same interface, so the
  // totals carry on and the rate starts again.
  system.table.insert(system.table.begin() + 3, {12, kIfTypeWireless, "wlan0"});
  system.counters[12] = {100, 50, true};
  u = Change(true, false, false);
  EXPECT_FALSE(u.listChanged);
  EXPECT_TRUE(u.choiceChanged);  // the same name, another interface index
  EXPECT_EQ(sources.interfaces[3].index, 12u);
  Tick();
  EXPECT_EQ(state.Text(102), "0Kbyte/秒");
  EXPECT_EQ(state.rxTotal, total);
  system.counters[12].rx += 5120;
  Tick();
  EXPECT_EQ(state.Text(102), "5Kbyte/秒");
  EXPECT_EQ(state.rxTotal, total + 5120);

  // Automatic choice on: a gone interface is not kept.
  model.adapterAutoDetect = true;
  system.table.erase(system.table.begin() + 3);
  Change(true, false, false);
  EXPECT_EQ(Chosen(), "enp0s1");  // the default route's
  EXPECT_EQ(model.interfaceList.size(), 4u);
}

TEST_F(NetworkChangeTest, OnlyWhatChangedIsReadAgainAndTicksReadNoneOfIt) {
  const struct {
    bool links, routes, addresses;
    int tables, routes_, adapters;
  } cases[] = {
      {false, false, false, 0, 0, 0},
      {false, true, false, 0, 1, 0},
      {false, false, true, 0, 0, 1},
      {true, false, false, 1, 1, 1},
  };
  for (const auto& c : cases) {
    Rig t;
    t.system.table = system.table;
    LoadInterfaceTable(t.model, t.sources);
    t.Show({102, 103, 105, 110});
    const int tables = t.system.tableLoads, routes = t.system.routeReads;
    for (int i = 0; i < 3; ++i) t.Tick();
    ApplyNetworkChanges(t.model, t.sources, {c.links, c.routes, c.addresses});
    EXPECT_EQ(t.system.tableLoads - tables, c.tables);
    EXPECT_EQ(t.system.routeReads - routes, c.routes_);
    EXPECT_EQ(t.system.adapterLoads, c.adapters);
  }
}

TEST_F(NetworkChangeTest, LanAddressFollowsAddressChangesAndAvoidsTheContainerBridge) {
  model.adapterAutoDetect = true;
  Tick();
  EXPECT_EQ(state.Text(105), "192.168.1.20");

  // DHCP renews with another address: shown after the address notice.
  system.adapters.entries[0].ipAddress = "192.168.1.77";
  Tick();
  EXPECT_EQ(state.Text(105), "192.168.1.20");  // no notice, nothing re-read
  Change(false, false, true);
  Tick();
  EXPECT_EQ(state.Text(105), "192.168.1.77");

  // The chosen interface has no address (a manual choice of the loopback):
  // the default route's interface is shown, not the bridge listed first.
  system.adapters.entries = {{"docker0", "172.17.0.1"}, {"eth0", "192.168.1.77"}};
  Change(false, false, true);
  model.adapterIndex = 0;
  Tick();
  EXPECT_EQ(state.Text(105), "192.168.1.77");

  // The network arrives after login: no address at first, then one.
  system.adapters.entries = {{"eth0", "0.0.0.0"}};
  system.routed = std::nullopt;
  Change(false, true, true);
  Tick();
  EXPECT_EQ(state.Text(105), "0.0.0.0");
  system.adapters.entries = {{"eth0", "10.1.2.3"}};
  system.routed = 1;
  Change(false, true, true);
  Tick();
  EXPECT_EQ(state.Text(105), "10.1.2.3");
}

TEST_F(SamplingTest, DiskTexts) {
  system.drives["/"] = {40000ull << 20, 14800ull << 20, "/"};
  system.drives["/empty"] = {0, 0, "/empty"};
  DriveRow root{"/", "ハードディスク", "", "255", true};
  DriveRow gone{"/media/gone", "ハードディスク", "123", "255", true};
  DriveRow empty{"/empty", "ハードディスク", "123", "255", true};

  DiskTexts t = ReadDiskTexts(state, system, root, 0);
  EXPECT_EQ(t.name, " /");
  EXPECT_EQ(t.free, "14.4");
  EXPECT_EQ(t.total, "39.0");
  EXPECT_EQ(t.percent, "63%");
  EXPECT_EQ(t.percentValue, 63);
  EXPECT_TRUE(t.hasFigures);
  EXPECT_EQ(root.startColor, "16777215");  // an empty start colour becomes white

  t = ReadDiskTexts(state, system, root, 1);
  EXPECT_EQ(t.name, "/");
  EXPECT_EQ(t.free, "14800");
  EXPECT_EQ(t.total, "40000");

  // A drive that cannot be read (gone since start-up) shows its own name and
  // no figures, never those of the drive read before it.
  for (int unit : {0, 1}) {
    t = ReadDiskTexts(state, system, gone, unit);
    EXPECT_EQ(t.name, unit == 0 ? " /media/gone" : "/media/gone");
    EXPECT_FALSE(t.hasFigures);
    EXPECT_EQ(t.free + t.total + t.percent, "");
    EXPECT_EQ(t.percentValue, 0);
  }
  EXPECT_EQ(gone.startColor, "123");

  t = ReadDiskTexts(state, system, empty, 0);  // size 0: no division by zero
  EXPECT_EQ(t.percent, "0%");
  EXPECT_EQ(t.name, " /empty");
}

TEST_F(SamplingTest, DiskPercentLeavesOutTheAdministratorsReserve) {
  // 100,000 MB with 20,000 MB free to the user and 5,000 MB more kept for
  // the administrator: 75,000 used of the 95,000 a user can fill, as df
  // counts it (79%), not 80,000 of 100,000.
  system.drives["/home"] = {100000ull << 20, 20000ull << 20, "/home", 5000ull << 20};
  DriveRow home{"/home", "ハードディスク", "", "", true};
  DiskTexts t = ReadDiskTexts(state, system, home, 0);
  EXPECT_EQ(t.percent, "79%");
  EXPECT_EQ(t.percentValue, 79);
  EXPECT_EQ(t.free, "19.5");   // the figures stay what the user can use
  EXPECT_EQ(t.total, "97.6");  // and the whole size
  // Halves to even: 63 used of 126 usable is 50%; 1 of 8 is 12.5% -> 12%.
  system.drives["/home"] = {130ull << 20, 63ull << 20, "/home", 4ull << 20};
  EXPECT_EQ(ReadDiskTexts(state, system, home, 1).percent, "50%");
  system.drives["/home"] = {10ull << 20, 7ull << 20, "/home", 2ull << 20};
  EXPECT_EQ(ReadDiskTexts(state, system, home, 1).percent, "12%");
  // A tiny file system: 262,144 bytes used of 22 MiB is 1%, where whole
  // megabytes (21 free of 22) would make it 5%; the texts stay in MB.
  system.drives["/home"] = {22ull << 20, (22ull << 20) - (256u << 10), "/home", 0};
  t = ReadDiskTexts(state, system, home, 1);
  EXPECT_EQ(t.percent + " " + t.free + "/" + t.total, "1% 21/22");
}

TEST_F(SamplingTest, DateLineKeepsItsShorterForms) {
  Show({114});
  Tick();
  EXPECT_EQ(state.Text(114), "2003/04/14 月曜日  12:34:56");
  EXPECT_EQ(state.dateLine.full, state.Text(114));
  EXPECT_EQ(system.dateReads, 1);
}

}  // namespace
}  // namespace mirel
