#include "platform/cpu_times.h"

#include <algorithm>

namespace mirel {

std::optional<int> CpuBusyPercent(const CpuTimes& before, const CpuTimes& after) {
  if (after.total <= before.total || after.busy < before.busy) return std::nullopt;
  std::uint64_t total = after.total - before.total;
  std::uint64_t busy = std::min(after.busy - before.busy, total);
  // Halves to even, as every fraction the monitor shows.
  std::uint64_t q = busy * 100 / total;
  std::uint64_t twiceRest = (busy * 100 % total) * 2;
  if (twiceRest > total || (twiceRest == total && q % 2 == 1)) ++q;
  return static_cast<int>(q);
}

}  // namespace mirel
