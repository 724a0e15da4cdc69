#include "readings/sampling.h"

#include <algorithm>
#include <charconv>
#include <chrono>

#include "readings/counters.h"
#include "readings/rates.h"

namespace mirel {

namespace {

constexpr const char* kNoAddress = "0.0.0.0";

// The item key as a number, or -1 when the row's key is not a number.
int KeyNumber(const std::string& key) {
  int value = -1;
  auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), value);
  if (ec != std::errc() || end != key.data() + key.size()) return -1;
  return value;
}

void RebuildShownFlags(MonitorState& state, const SettingsModel& model) {
  state.shownFlags.fill(false);
  for (const ItemRow& row : model.items) {
    int slot = KeyNumber(row.key) - 100;
    if (slot >= 0 && slot < kShownSlots)
      state.shownFlags[static_cast<std::size_t>(slot)] = row.checked;
  }
}

bool Shown(const MonitorState& state, int key) {
  return state.shownFlags[static_cast<std::size_t>(key - 100)];
}

const InterfaceRow* ChosenRow(const SettingsModel& model, const TickSources& sources) {
  if (model.adapterIndex < 0 ||
      static_cast<std::size_t>(model.adapterIndex) >= sources.interfaces.size()) {
    return nullptr;
  }
  return &sources.interfaces[static_cast<std::size_t>(model.adapterIndex)];
}

// Nothing to read (no interface chosen, the chosen one is gone, or its
// counters cannot be read): the rates read 0 rather than the last rate
// frozen on the strips and the graph.
void ZeroRates(MonitorState& state, int rateUnit) {
  state.rxRate = state.txRate = 0;
  state.rxDeltaK = state.txDeltaK = 0;
  state.Text(102) = RateText(0, rateUnit);
  state.Text(103) = RateText(0, rateUnit);
}

void SampleCounters(MonitorState& state, const SettingsModel& model, TickSources& sources,
                    int intervalMs, std::int64_t nowMs) {
  const InterfaceRow* row = ChosenRow(model, sources);
  std::optional<OctetCounters> counters;
  if (row != nullptr && row->index != 0) counters = sources.system.ReadCounters(*row);
  if (!counters) {
    // The tick after this one finds no reading of the tick before: it only
    // re-baselines.
    ZeroRates(state, model.rateUnit());
    return;
  }

  const std::int64_t elapsedMs = nowMs - state.lastCounterMs;
  bool rebaseline = false;
  if (state.haveBaseline) {
    if (row->description != state.counterInterfaceName) {
      // Another interface: its counters have nothing to do with the old ones.
      state.rxWraps = state.txWraps = 0;
      state.rxHighHalf = state.txHighHalf = false;
      state.rxCounterOffset = state.txCounterOffset = 0;
      state.rxPrevTotal = state.txPrevTotal = 0;
      rebaseline = true;
    } else if (row->index != state.counterInterface ||
               state.lastCounterTick + 1 != state.tickCount ||
               IsSamplingPause(elapsedMs, intervalMs)) {
      // The same interface made anew (a VPN that reconnected), or a gap: the
      // totals carry on from where they were, the rate starts again.
      rebaseline = true;
    }
  }
  ApplyCounters(state, *counters, RateIntervalMs(elapsedMs, intervalMs), model.rateUnit(),
                rebaseline);
  state.lastCounterTick = state.tickCount;
  state.lastCounterMs = nowMs;
  state.counterInterface = row->index;
  state.counterInterfaceName = row->description;
}

bool HasAddress(const AdapterEntry& e) {
  return !e.ipAddress.empty() && e.ipAddress != kNoAddress;
}

const AdapterEntry* AdapterWithAddress(const std::vector<AdapterEntry>& entries,
                                       const std::string& name) {
  if (name.empty()) return nullptr;
  for (const AdapterEntry& e : entries) {
    if (e.description == name && HasAddress(e)) return &e;
  }
  return nullptr;
}

std::string SwitchText(const std::string& value, const char* onValue, bool onMeansOn) {
  bool matches = value == onValue;
  return (matches == onMeansOn) ? "ON" : "OFF";
}

void ReadStatusTexts(MonitorState& state, const SettingsModel& model, TickSources& sources) {
  static constexpr int kOrder[] = {105, 106, 107, 108, 109, 110, 111, 104, 114};
  for (int key : kOrder) {
    if (!Shown(state, key)) continue;
    std::string& text = state.Text(key);
    switch (key) {
      case 105:
        text = LanAddress(sources, model);
        break;
      case 106:
        text = sources.registry.ReadRegValue(kInternetSettingsKey, "ProxyServer");
        break;
      case 107:
        // 1 means in use; anything else, a missing value included, is off.
        text = SwitchText(sources.registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable"), "1",
                          true);
        break;
      case 108:
      case 109:
        // The zone values say 3 for disabled; anything else runs scripts.
        text = SwitchText(sources.registry.ReadRegValue(kZone3Key, key == 108 ? "1400" : "1402"),
                          "3", false);
        break;
      case 110:
        text =
            TotalText(state.rxTotal >= state.rxStartTotal ? state.rxTotal - state.rxStartTotal : 0);
        break;
      case 111:
        text =
            TotalText(state.txTotal >= state.txStartTotal ? state.txTotal - state.txStartTotal : 0);
        break;
      case 104:
        text = sources.web.globalIp;
        break;
      case 114:
        state.dateLine = sources.system.DateLines();
        text = state.dateLine.full;
        break;
    }
  }
}

// The first Ethernet row: the choice when no default route says better. It
// is often a bridge or a container interface, so it is only a fallback.
int FirstEthernet(const std::vector<InterfaceRow>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].type == kIfTypeEthernet && rows[i].index != 0) return static_cast<int>(i);
  }
  return -1;
}

int PositionOf(const std::vector<InterfaceRow>& rows, const std::string& name) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].description == name) return static_cast<int>(i);
  }
  return -1;
}

// Asks for the default route's interface; its position in the table, or -1.
int FindRouted(TickSources& sources) {
  std::optional<std::size_t> routed = sources.system.DefaultRouteInterface(sources.interfaces);
  if (!routed || *routed >= sources.interfaces.size()) {
    sources.routedInterface.clear();
    return -1;
  }
  sources.routedInterface = sources.interfaces[*routed].description;
  return static_cast<int>(*routed);
}

}  // namespace

void LoadInterfaceTable(SettingsModel& model, TickSources& sources) {
  sources.interfaces = sources.system.LoadInterfaceTable();
  model.interfaceList.clear();
  for (const InterfaceRow& row : sources.interfaces) model.interfaceList.push_back(row.description);
  // The interface that carries the default route is the one whose traffic
  // the user means.
  const int routed = FindRouted(sources);
  model.adapterIndex = routed >= 0 ? routed : FirstEthernet(sources.interfaces);
}

NetworkUpdate ApplyNetworkChanges(SettingsModel& model, TickSources& sources,
                                  const NetworkChanges& changes) {
  NetworkUpdate update;
  std::optional<InterfaceRow> before;
  if (const InterfaceRow* row = ChosenRow(model, sources)) before = *row;

  if (changes.links) {
    std::vector<InterfaceRow> rows = sources.system.LoadInterfaceTable();
    int chosen = -1;
    if (before) {
      chosen = PositionOf(rows, before->description);
      if (chosen < 0 && !model.adapterAutoDetect) {
        // The user's interface is gone (unplugged, a VPN down): it stays
        // chosen, in its place in the list, and reads nothing until it is
        // back, rather than the rates silently moving to another interface.
        InterfaceRow gone = *before;
        gone.index = 0;
        chosen = std::min(model.adapterIndex, static_cast<int>(rows.size()));
        rows.insert(rows.begin() + chosen, std::move(gone));
      }
    }
    std::vector<std::string> names;
    names.reserve(rows.size());
    for (const InterfaceRow& row : rows) names.push_back(row.description);
    update.listChanged = names != model.interfaceList;
    model.interfaceList = std::move(names);
    sources.interfaces = std::move(rows);
    model.adapterIndex = chosen;
  }

  if (changes.links || changes.routes) {
    const int routed = FindRouted(sources);
    if (model.adapterAutoDetect) {
      // Follow the default route. Without one there is nothing to follow: the
      // chosen interface stays while it is there (a Wi-Fi that drops for a
      // moment), and only a choice that is gone falls back.
      const InterfaceRow* current = ChosenRow(model, sources);
      if (routed >= 0) {
        model.adapterIndex = routed;
      } else if (current == nullptr || current->index == 0) {
        model.adapterIndex = FirstEthernet(sources.interfaces);
      }
    }
  }

  if (changes.links || changes.addresses) {
    sources.adapters = sources.system.LoadAdapterTable();
    update.addressesChanged = true;
  }

  const InterfaceRow* after = ChosenRow(model, sources);
  update.choiceChanged = (after == nullptr) != !before ||
                         (after != nullptr && (after->description != before->description ||
                                               after->index != before->index));
  return update;
}

void TakeStartBaselines(MonitorState& state, TickSources& sources, std::int64_t nowMs) {
  sources.system.ReadCpuPercent();
  state.haveCpuBaseline = true;
  state.lastCpuTick = state.tickCount;
  state.lastCpuMs = nowMs;
}

std::string ChosenInterfaceName(const SettingsModel& model, const TickSources& sources) {
  const InterfaceRow* row = ChosenRow(model, sources);
  return row != nullptr ? row->description : std::string();
}

// The LAN address. The first adapter is often one without an address (an
// unplugged port, a virtual interface) or a container bridge's: prefer the
// interface chosen for the rates, then the one that carries the default
// route, then any adapter that has an address, and only then the first one.
std::string LanAddress(const TickSources& sources, const SettingsModel& model) {
  const std::vector<AdapterEntry>& entries = sources.adapters.entries;
  if (entries.empty()) return kNoAddress;
  if (const InterfaceRow* chosen = ChosenRow(model, sources)) {
    if (const AdapterEntry* e = AdapterWithAddress(entries, chosen->description))
      return e->ipAddress;
  }
  if (const AdapterEntry* e = AdapterWithAddress(entries, sources.routedInterface)) {
    return e->ipAddress;
  }
  for (const AdapterEntry& e : entries) {
    if (HasAddress(e)) return e.ipAddress;
  }
  return entries.front().ipAddress;
}

std::int64_t MonotonicNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SampleTick(MonitorState& state, SettingsModel& model, TickSources& sources, int intervalMs) {
  SampleTick(state, model, sources, intervalMs, MonotonicNowMs());
}

void SampleTick(MonitorState& state, SettingsModel& model, TickSources& sources, int intervalMs,
                std::int64_t nowMs) {
  ++state.tickCount;
  RebuildShownFlags(state, model);
  const int graph = model.graphSource();

  if (graph == 1 || Shown(state, 100) || model.toolbarCpu) {
    // The read after start-up without a baseline, or after the processor was
    // not sampled for a while, would average the whole gap: it only becomes
    // the baseline, and the value starts again from "no reading yet".
    const bool resumed = !state.haveCpuBaseline || state.lastCpuTick + 1 != state.tickCount ||
                         IsSamplingPause(nowMs - state.lastCpuMs, intervalMs);
    std::optional<int> cpu = sources.system.ReadCpuPercent();
    state.haveCpuBaseline = true;
    state.lastCpuTick = state.tickCount;
    state.lastCpuMs = nowMs;
    if (resumed) {
      state.cpuPercent = 0;
      state.Text(100) = kLoadingText;
    } else {
      // A failed read keeps the last value (0 until one succeeds).
      if (cpu) state.cpuPercent = static_cast<std::int16_t>(*cpu);
      state.Text(100) = std::to_string(state.cpuPercent) + "%";
    }
  }

  if (model.toolbarMemory || graph == 2 || Shown(state, 101)) {
    MemoryReading reading = sources.system.ReadMemory();
    MemoryFigures mem = ComputeMemory(reading.totalBytes, reading.availBytes);
    state.memPercent = static_cast<std::int16_t>(mem.percent);
    state.memoryText = mem.text;
    state.Text(101) = kMemoryLabel + mem.text;
  }

  if (graph == 3 || graph == 4 || model.toolbarReceive || model.toolbarSend || Shown(state, 102) ||
      Shown(state, 103) || Shown(state, 110) || Shown(state, 111)) {
    SampleCounters(state, model, sources, intervalMs, nowMs);
  }

  ReadStatusTexts(state, model, sources);
}

DiskTexts ReadDiskTexts(MonitorState& state, SystemSource& system, DriveRow& row, int hddUnit) {
  if (row.startColor.empty()) row.startColor = std::to_string(kWhite);
  DiskTexts texts;
  std::optional<DriveSpace> space = system.ReadDriveSpace(row.text);
  if (!space) {
    // Gone or unreadable: its own name and nothing else. The figures of the
    // drive read before belong to another file system.
    texts.name = hddUnit == 0 ? " " + row.text : row.text;
    texts.hasFigures = false;
    return texts;
  }
  state.disk.totalMB = static_cast<std::int64_t>(space->totalBytes / 1024 / 1024);
  state.disk.freeMB = static_cast<std::int64_t>(space->freeBytes / 1024 / 1024);
  state.disk.usedMB = state.disk.totalMB - state.disk.freeMB;
  state.disk.name = space->name;
  state.disk.valid = true;

  // Used against what the user can fill, as df counts it: the blocks kept
  // for the administrator are neither. Without them this is used ÷ total.
  // From the byte counts: on a file system of a few megabytes, whole
  // megabytes would be off by several percent.
  const std::uint64_t total = space->totalBytes;
  const std::uint64_t usable = total > space->reservedBytes ? total - space->reservedBytes : 0;
  const std::uint64_t used = usable > space->freeBytes ? usable - space->freeBytes : 0;
  // A drive of size 0: 0% rather than a division by zero.
  texts.percentValue = PercentOfBytes(used, usable);
  texts.percent = std::to_string(texts.percentValue) + "%";
  if (hddUnit == 0) {
    texts.free = GigabyteText(state.disk.freeMB);
    texts.total = GigabyteText(state.disk.totalMB);
    texts.name = " " + state.disk.name;
  } else {
    texts.free = std::to_string(state.disk.freeMB);
    texts.total = std::to_string(state.disk.totalMB);
    texts.name = state.disk.name;
  }
  return texts;
}

}  // namespace mirel
