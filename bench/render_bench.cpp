// The tick with every item shown, two drives, the graph on the receive rate
// and the new-version notice: the drawing half alone, and sampling plus
// drawing, both with readings from memory so that only the program's own
// work is measured.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>

#include "drawing/gradient.h"
#include "drawing/monitor_engine.h"
#include "drawing/strip_font.h"
#include "readings/fixed_sources.h"
#include "readings/registry.h"
#include "readings/web_check_results.h"
#include "settings/item_catalogue.h"

namespace mirel {
namespace {

struct Bench {
  FixedSystemSource system;
  FixedBrowserStore store;
  RegistryAccess registry{store};
  WebCheckResults web;
  TickSources sources{system, registry, web, {}, {}};
  SettingsModel model;
  GradientImages gradients;
  StripFontLoad font = StripFont::Open();
  std::unique_ptr<MonitorEngine> engine;

  Bench() {
    if (!font.font) {
      std::cerr << font.error << "\n";
      std::exit(1);
    }
    system.cpuPercent = 37;
    system.memory = {536870912, 326107136};
    system.adapters = {AdapterTableStatus::kOk, {{"eth0", "192.168.1.5"}}};
    system.drives = {{41943040000, 15518924800, "/"}, {107374182400, 53687091200, "/home"}};
    system.dateLine = "2026/12/07 月曜日  12:34:56";
    store.SetString(kInternetSettingsKey, "ProxyServer", "proxy.example:3128");
    store.SetDword(kInternetSettingsKey, "ProxyEnable", 1);
    store.SetDword(kZone3Key, "1400", 3);
    store.SetDword(kZone3Key, "1402", 0);
    web.pageState = "ok";
    web.latestVersion = "319";
    web.notice = "新しいバージョンがあります";
    web.globalIp = "203.0.113.9";

    for (const CatalogueItem& item : ItemCatalogue())
      model.items.push_back({item.name, item.key, "16711680", "255", true});
    for (const DriveSpace& d : system.drives)
      model.drives.push_back({d.name, "ハードディスク", "65280", "16711680", true});
    model.record[SettingsRecord::kGraphSource] = "3";
    model.record[SettingsRecord::kBackColor] = "0";
    model.record[SettingsRecord::kTextColor] = "16777215";
    model.record[SettingsRecord::kGraphLineColor] = "65280";
    model.record[SettingsRecord::kGraphBackColor] = "4210752";
    model.versionCheckAuto = true;
    model.toolbarShown = model.toolbarCpu = model.toolbarMemory = true;
    model.toolbarReceive = model.toolbarSend = true;
    model.receiveSpeed = 64;
    model.sendSpeed = 16;
    LoadInterfaceTable(model, sources);
    RenderAllGradients(model, gradients);
    engine = std::make_unique<MonitorEngine>(model, sources, gradients, *font.font);
  }

  void Step(std::int64_t& nowMs) {
    system.counters.rx += 262144;
    system.counters.tx += 40000;
    nowMs += 1000;
  }
};

// Every strip drawn anew on every pass: the back colour alternates, so no
// strip keeps its picture and every row of the stack changes.
void BM_DrawAndCompose(benchmark::State& st) {
  Bench b;
  std::int64_t now = 0;
  for (int i = 0; i < 3; ++i) {  // a rate exists from the second tick on
    b.Step(now);
    b.engine->Tick(1000, now);
  }
  int pass = 0;
  for (auto _ : st) {
    b.model.record[SettingsRecord::kBackColor] = (++pass & 1) != 0 ? "0" : "1";
    b.engine->Draw();
    benchmark::DoNotOptimize(b.engine->composed().data());
  }
}
BENCHMARK(BM_DrawAndCompose)->Repetitions(5)->ReportAggregatesOnly(true);

// What an idle machine changes from one tick to the next: the processor and
// memory readings and the time; the rates, totals, addresses, switches and
// disks stay as they are, and the graph scrolls.
void BM_DrawAndComposeIdleTick(benchmark::State& st) {
  Bench b;
  std::int64_t now = 0;
  for (int i = 0; i < 3; ++i) {
    b.Step(now);
    b.engine->Tick(1000, now);
  }
  MonitorState& s = b.engine->state();
  int pass = 0;
  for (auto _ : st) {
    const bool odd = (++pass & 1) != 0;
    s.cpuPercent = odd ? 3 : 4;
    s.Text(100) = odd ? "3%" : "4%";
    s.memPercent = odd ? 60 : 61;
    s.Text(101) = odd ? "メモリ使用率310MB/512MB" : "メモリ使用率311MB/512MB";
    s.Text(114) = odd ? "2026/12/07 月曜日  12:34:56" : "2026/12/07 月曜日  12:34:57";
    b.engine->Draw();
    benchmark::DoNotOptimize(b.engine->composed().data());
  }
}
BENCHMARK(BM_DrawAndComposeIdleTick)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_WholeTick(benchmark::State& st) {
  Bench b;
  std::int64_t now = 0;
  for (auto _ : st) {
    b.Step(now);
    b.engine->Tick(1000, now);
    benchmark::DoNotOptimize(b.engine->composed().data());
  }
}
BENCHMARK(BM_WholeTick)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace mirel
