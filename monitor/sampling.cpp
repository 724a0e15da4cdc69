#include "monitor/sampling.h"

#include <algorithm>
#include <charconv>
#include <chrono>

#include "monitor/counters.h"
#include "monitor/rates.h"

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

void SampleCounters(MonitorState& state, const SettingsModel& model, TickSources& sources,
                    int intervalMs, std::int64_t nowMs) {
  if (model.adapterIndex < 0 ||
      static_cast<std::size_t>(model.adapterIndex) >= sources.interfaces.size()) {
    return;  // no interface chosen: nothing to read
  }
  const InterfaceRow& row = sources.interfaces[static_cast<std::size_t>(model.adapterIndex)];
  std::optional<OctetCounters> counters = sources.system.ReadCounters(row);
  if (!counters) return;  // unreadable this tick; the next read re-baselines

  bool rebaseline = false;
  if (state.haveBaseline) {
    if (row.index != state.counterInterface) {
      // Another interface: its counters have nothing to do with the old ones.
      state.rxWraps = state.txWraps = 0;
      state.rxHighHalf = state.txHighHalf = false;
      state.rxCounterOffset = state.txCounterOffset = 0;
      state.rxPrevTotal = state.txPrevTotal = 0;
      rebaseline = true;
    } else if (state.lastCounterTick + 1 != state.tickCount ||
               IsSamplingPause(nowMs - state.lastCounterMs, intervalMs)) {
      rebaseline = true;
    }
  }
  ApplyCounters(state, *counters, intervalMs, model.rateUnit(), rebaseline);
  state.lastCounterTick = state.tickCount;
  state.lastCounterMs = nowMs;
  state.counterInterface = row.index;
}

// The LAN address. The first adapter is often one without an address (an
// unplugged port, a virtual interface), which would show 0.0.0.0 for ever:
// prefer the interface chosen for the rates, then any adapter that has an
// address, and only then the first one.
std::string LanAddress(const TickSources& sources, const SettingsModel& model) {
  const std::vector<AdapterEntry>& entries = sources.adapters.entries;
  if (entries.empty()) return kNoAddress;
  auto hasAddress = [](const AdapterEntry& e) {
    return !e.ipAddress.empty() && e.ipAddress != kNoAddress;
  };
  if (model.adapterIndex >= 0 &&
      static_cast<std::size_t>(model.adapterIndex) < sources.interfaces.size()) {
    const std::string& chosen =
        sources.interfaces[static_cast<std::size_t>(model.adapterIndex)].description;
    for (const AdapterEntry& e : entries) {
      if (e.description == chosen && hasAddress(e)) return e.ipAddress;
    }
  }
  for (const AdapterEntry& e : entries) {
    if (hasAddress(e)) return e.ipAddress;
  }
  return entries.front().ipAddress;
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

}  // namespace

void LoadInterfaceTable(SettingsModel& model, TickSources& sources) {
  sources.interfaces = sources.system.LoadInterfaceTable();
  model.interfaceList.clear();
  for (const InterfaceRow& row : sources.interfaces) model.interfaceList.push_back(row.description);
  model.adapterIndex = -1;
  if (sources.interfaces.empty()) return;
  // The interface that carries the default route is the one whose traffic
  // the user means; the first Ethernet row is only a fallback, as it is often
  // a bridge or a container interface.
  std::optional<std::size_t> routed = sources.system.DefaultRouteInterface(sources.interfaces);
  if (routed && *routed < sources.interfaces.size()) {
    model.adapterIndex = static_cast<int>(*routed);
    return;
  }
  for (std::size_t i = 0; i < sources.interfaces.size(); ++i) {
    if (sources.interfaces[i].type == kIfTypeEthernet) {
      model.adapterIndex = static_cast<int>(i);
      return;
    }
  }
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
    // A failed read keeps the last value (0 until one succeeds).
    if (std::optional<int> cpu = sources.system.ReadCpuPercent()) {
      state.cpuPercent = static_cast<std::int16_t>(*cpu);
    }
    state.Text(100) = std::to_string(state.cpuPercent) + "%";
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
  const auto reservedMB = static_cast<std::int64_t>(space->reservedBytes / 1024 / 1024);
  const std::int64_t usable = state.disk.totalMB - reservedMB;
  // A drive of size 0: 0% rather than a division by zero.
  texts.percentValue = PercentOf(std::max<std::int64_t>(usable - state.disk.freeMB, 0), usable);
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
