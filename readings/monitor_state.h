// The monitor engine's state between ticks. Nothing here is saved.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "settings/item_catalogue.h"
#include "settings/settings_model.h"

namespace mirel {

inline constexpr int kItemCount = 15;  // keys "100".."114", slot = key - 100
inline constexpr int kShownSlots = 21;
// The memory item's value text begins with its label.
inline constexpr const char* kMemoryLabel = "メモリ使用率";

struct MonitorState {
  MonitorState() { valueText.fill(kLoadingText); }

  // Processor and memory.
  std::int16_t cpuPercent = 0;
  // The processor reading is a share since the previous read: the read after
  // a pause (or the first) is only a baseline.
  bool haveCpuBaseline = false;
  std::uint64_t lastCpuTick = 0;  // tickCount of the last processor read
  std::int64_t lastCpuMs = 0;     // monotonic time of that read
  std::int16_t memPercent = 0;
  std::string memoryText;  // "200MB/511MB"

  // 32-bit wrap tracking (only for sources whose counters are 32 bits wide).
  std::uint32_t rxCounter = 0;
  std::uint32_t txCounter = 0;
  bool rxHighHalf = false;
  bool txHighHalf = false;
  std::uint64_t rxWraps = 0;
  std::uint64_t txWraps = 0;

  // Totals and rates. Deltas are fixed point with four decimals (× 10000).
  std::uint64_t rxTotal = 0;
  std::uint64_t txTotal = 0;
  std::uint64_t rxPrevTotal = 0;
  std::uint64_t txPrevTotal = 0;
  bool haveBaseline = false;
  std::int64_t rxDeltaK = 0;  // kilobytes × 10000
  std::int64_t txDeltaK = 0;
  std::int64_t rxRate = 0;  // whole units of the chosen rate unit
  std::int64_t txRate = 0;
  std::uint64_t rxStartTotal = 0;  // baselines of the total items
  std::uint64_t txStartTotal = 0;

  // Counter continuity. A counter that went backwards (interface reset) is
  // re-based with an offset so that the totals never drop; a tick after a
  // pause in sampling, or on another interface, only re-baselines.
  std::uint64_t rxCounterOffset = 0;
  std::uint64_t txCounterOffset = 0;
  std::uint64_t tickCount = 0;         // ticks sampled so far
  std::uint64_t lastCounterTick = 0;   // tickCount of the last counter read
  std::int64_t lastCounterMs = 0;      // monotonic time of that read
  std::uint32_t counterInterface = 0;  // index of the interface it read
  std::string counterInterfaceName;    // and its name
  // One value text per item slot (key - 100).
  std::array<std::string, kItemCount> valueText;
  // Rebuilt at the start of every tick.
  std::array<bool, kShownSlots> shownFlags{};

  // The date line of the last tick with its shorter forms (Text(114) is the
  // full one).
  DateLineForms dateLine;

  // The last disk read; a drive that cannot be read leaves it as it is.
  struct DiskReadout {
    std::int64_t totalMB = 0;
    std::int64_t freeMB = 0;
    std::int64_t usedMB = 0;
    std::string name;
    bool valid = false;
  } disk;

  // Graph and composition.
  std::int16_t graphHeight = 0;
  std::int16_t graphPrevHeight = 0;
  std::int16_t composedHeight = 0;
  std::int16_t noticeScroll = 0;

  std::string& Text(int key) { return valueText.at(static_cast<std::size_t>(key - 100)); }
  const std::string& Text(int key) const {
    return valueText.at(static_cast<std::size_t>(key - 100));
  }
  const std::string& Text(ItemKey key) const { return Text(static_cast<int>(key)); }
};

}  // namespace mirel
