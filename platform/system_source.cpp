// What every system source shares.
#include "platform/platform.h"

namespace mirel {

// A source without a reader of its own for all counters reads them one
// interface at a time.
std::vector<InterfaceCounters> SystemSource::ReadAllCounters() {
  std::vector<InterfaceCounters> all;
  for (const InterfaceRow& row : LoadInterfaceTable()) {
    std::optional<OctetCounters> counters = ReadCounters(row);
    if (!counters) continue;
    all.push_back({row.description, row.index, *counters, row.type == kIfTypeLoopback});
  }
  return all;
}

}  // namespace mirel
