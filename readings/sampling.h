// The sampling half of the tick: memory, shown flags, processor, memory and
// interface counters as far as anything shows them, rates and totals, and the
// status readouts.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "readings/monitor_state.h"
#include "readings/registry.h"
#include "readings/web_check_results.h"
#include "settings/settings_model.h"

namespace mirel {

// What the tick reads besides the settings. Filled by start-up and kept up
// to date by ApplyNetworkChanges.
struct TickSources {
  SystemSource& system;
  RegistryAccess& registry;
  const WebCheckResults& web;
  std::vector<InterfaceRow> interfaces;  // model.interfaceList is their names
  AdapterTable adapters;
  std::string routedInterface = {};  // the interface of the default route; empty: none
  // What "総受信量" and "総送信量" show instead of this session's totals when
  // the user chose the history's today or this month: received and sent of
  // the chosen interface; nullopt (or no function) keeps the session's.
  std::function<std::optional<std::pair<std::uint64_t, std::uint64_t>>(const InterfaceRow& row)>
      historyTotals = {};
};

// Captures the interface table into sources.interfaces and fills the
// interface list of the model with its automatic choice.
void LoadInterfaceTable(SettingsModel& model, TickSources& sources);

// What ApplyNetworkChanges altered, for the views of the list and the choice.
struct NetworkUpdate {
  bool listChanged = false;       // model.interfaceList is another list
  bool choiceChanged = false;     // another interface is chosen, or none
  bool addressesChanged = false;  // the adapter table was read again
};

// Re-reads what changed: the interface table on link changes, the default
// route on link and route changes, the adapter table (the LAN address) on
// link and address changes. With automatic choice the default route's
// interface is chosen; without, the chosen interface stays chosen by name,
// also while it is gone (its row stays, marked index 0, and reads nothing).
NetworkUpdate ApplyNetworkChanges(SettingsModel& model, TickSources& sources,
                                  const NetworkChanges& changes);

// Start-up: the processor reading is a share since the previous read, so
// one read now makes the first tick's value cover about one interval.
void TakeStartBaselines(MonitorState& state, TickSources& sources, std::int64_t nowMs);

// The name of the chosen interface; empty when none is chosen.
std::string ChosenInterfaceName(const SettingsModel& model, const TickSources& sources);
// The LAN address that item 105 shows.
std::string LanAddress(const TickSources& sources, const SettingsModel& model);

// Steps 1-7 of the tick. intervalMs is the refresh timer's current interval.
void SampleTick(MonitorState& state, SettingsModel& model, TickSources& sources, int intervalMs);
// The same with the monotonic time of the tick in milliseconds given, which
// tells a sampling pause (suspend, a stalled loop) from a normal interval.
void SampleTick(MonitorState& state, SettingsModel& model, TickSources& sources, int intervalMs,
                std::int64_t nowMs);
// Milliseconds of the steady clock, the time base of the overload above.
std::int64_t MonotonicNowMs();

// The texts of one disk strip, read while the strip is drawn. A drive that
// cannot be read (its file system is gone) has its name and no figures.
struct DiskTexts {
  std::string name;     // " C:"-style in GB units, the name alone in MB units
  std::string free;     // "14.4" / "14800"
  std::string total;    // "39.0" / "40000"
  std::string percent;  // "63%"
  int percentValue = 0;
  bool hasFigures = true;
};
DiskTexts ReadDiskTexts(MonitorState& state, SystemSource& system, DriveRow& row, int hddUnit);

}  // namespace mirel
