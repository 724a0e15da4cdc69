// Processor time counters as every platform layer reads them, and the busy
// share between two readings.
#pragma once

#include <cstdint>
#include <optional>

namespace mirel {

// Time the processors spent busy and in total, in the system's own unit.
struct CpuTimes {
  std::uint64_t busy = 0;
  std::uint64_t total = 0;
};

// Busy share 0-100 between two readings (halves to even); nullopt when no
// time passed or the counters went backwards.
std::optional<int> CpuBusyPercent(const CpuTimes& before, const CpuTimes& after);

}  // namespace mirel
