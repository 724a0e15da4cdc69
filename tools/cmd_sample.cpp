// mirel9x-tool sample: runs sampling ticks on this machine with every item
// shown and prints each value text, to look at the real numbers. Between the
// ticks it follows the network as the program does, and says which interface
// the rates are read from whenever that (or the LAN address) changes.
#include <poll.h>

#include <algorithm>
#include <iostream>

#include "readings/network_burst.h"
#include "readings/sampling.h"
#include "settings/item_catalogue.h"
#include "settings/settings_file.h"
#include "tools/tool_command.h"

namespace mirel::tool {
namespace {

constexpr int kGraphKey = 113;  // the graph has no value text
constexpr int kDiskKey = 112;

bool ParseCount(const std::string& text, int& out) {
  try {
    std::size_t used = 0;
    out = std::stoi(text, &used);
    return used == text.size() && out > 0;
  } catch (const std::exception&) {
    return false;
  }
}

// Sleeps until `deadline` (monotonic milliseconds), taking in the network
// changes that arrive meanwhile, one re-read per burst as the program does.
void WaitFollowing(NetworkWatch* watch, NetworkBurst& burst, SettingsModel& model,
                   TickSources& sources, std::int64_t deadline) {
  for (std::int64_t now; (now = MonotonicNowMs()) < deadline;) {
    const bool watching = watch != nullptr && !burst.Gathering();
    std::int64_t until = deadline;
    if (burst.Gathering()) until = std::min(until, burst.CheckAt());
    pollfd p{watching ? static_cast<int>(watch->Descriptor()) : -1, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::max<std::int64_t>(0, until - now)));
    now = MonotonicNowMs();
    const bool woke = watching && ready > 0 && (p.revents & POLLIN) != 0;
    if (!woke && !(burst.Gathering() && now >= burst.CheckAt())) continue;
    burst.Drained(watch->Drain(), now);
    if (std::optional<NetworkChanges> due = burst.TakeDue(now))
      ApplyNetworkChanges(model, sources, *due);
  }
}

int Run(const Args& args) {
  std::string settingsFile;
  int ticks = 3;
  int intervalMs = 0;                   // from the settings unless given
  std::vector<std::string> drivePaths;  // instead of the fixed disks found
  for (std::size_t i = 0; i < args.size(); ++i) {
    bool hasValue = i + 1 < args.size();
    if (args[i] == "--settings" && hasValue) {
      settingsFile = args[++i];
    } else if (args[i] == "--ticks" && hasValue && ParseCount(args[i + 1], ticks)) {
      ++i;
    } else if (args[i] == "--interval-ms" && hasValue && ParseCount(args[i + 1], intervalMs)) {
      ++i;
    } else if (args[i] == "--drive" && hasValue) {
      drivePaths.push_back(args[++i]);
    } else {
      std::cerr << "sample: unexpected argument '" << args[i] << "'\n";
      return 2;
    }
  }

  std::unique_ptr<SystemSource> system = MakeSystemSource();
  std::unique_ptr<BrowserSettingsStore> store = MakeBrowserSettingsStore(UserConfigDir());
  RegistryAccess registry(*store);
  WebCheckResults web;
  TickSources sources{*system, registry, web, {}, {}};
  SettingsModel model;
  model.record[SettingsRecord::kHddUnit] = "0";

  std::unique_ptr<NetworkWatch> watch = system->WatchNetwork();
  NetworkBurst burst;
  LoadInterfaceTable(model, sources);
  sources.adapters = system->LoadAdapterTable();

  std::vector<std::string> driveTexts = drivePaths.empty() ? system->ListFixedDrives() : drivePaths;

  if (!settingsFile.empty()) {
    std::unique_ptr<TextCodec> codec = MakeAnsiCodec();
    LoadResult loaded = LoadSettings(settingsFile, *codec, model);
    if (!loaded.ok) {
      std::cerr << "sample: " << loaded.error << "\n";
      return 1;
    }
    BuildItemRows(model, loaded.packed);
    BuildDriveRows(model, driveTexts, loaded.packed);
  } else {
    model.adapterAutoDetect = true;  // follow the default route
    for (int key = 100; key <= 114; ++key) model.items.push_back({"", std::to_string(key), "", ""});
    for (const std::string& d : driveTexts) model.drives.push_back({d, "ハードディスク", "", ""});
  }
  for (ItemRow& row : model.items) row.checked = true;
  for (DriveRow& row : model.drives) row.checked = true;
  if (intervalMs == 0) intervalMs = RefreshIntervalMs(model);

  MonitorState state;
  const char* unit = model.hddUnit() == 0 ? "GB" : "MB";
  std::string shownInterface = "-", shownAddress;
  std::int64_t next = MonotonicNowMs();
  TakeStartBaselines(state, sources, next);
  for (int t = 0; t < ticks; ++t) {
    next += intervalMs;  // on a fixed schedule, as the refresh timer runs
    WaitFollowing(watch.get(), burst, model, sources, next);
    std::string name = ChosenInterfaceName(model, sources);
    if (!name.empty() &&
        sources.interfaces[static_cast<std::size_t>(model.adapterIndex)].index == 0)
      name += " (gone)";  // a manual choice whose interface is not there now
    std::string address = LanAddress(sources, model);
    if (name != shownInterface || address != shownAddress) {
      std::cout << "interface: " << (name.empty() ? "(none)" : name) << "  LAN " << address << "\n";
      shownInterface = name;
      shownAddress = address;
    }
    SampleTick(state, model, sources, intervalMs);
    for (const ItemRow& row : model.items) {
      int key = std::atoi(row.key.c_str());
      if (key < 100 || key > 114 || key == kGraphKey) continue;
      if (key != kDiskKey) {
        std::cout << row.key << "\t" << state.Text(key) << "\n";
        continue;
      }
      for (DriveRow& drive : model.drives) {
        DiskTexts d = ReadDiskTexts(state, *system, drive, model.hddUnit());
        std::cout << kDiskKey << ":" << drive.text << "\t" << d.name;
        if (d.hasFigures)
          std::cout << " " << d.free << unit << "/" << d.total << unit << " " << d.percent;
        std::cout << "\n";
      }
    }
    std::cout << "\n" << std::flush;
  }
  return 0;
}

Register reg("sample", &Run,
             "sample [--settings FILE] [--ticks N] [--interval-ms MS] [--drive PATH]...   "
             "sampling ticks on this machine, every item shown, following the network (the "
             "interface line); the drive rows are the fixed disks, or the paths given");

}  // namespace
}  // namespace mirel::tool
