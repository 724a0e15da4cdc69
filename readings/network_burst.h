// One re-read of the network per burst of notices. A container that starts,
// or a VPN that comes up, sends dozens of notices within milliseconds, and a
// storm of them (veth pairs coming and going) cost a re-read of the
// interface table, the routes and the addresses for every few: the notices
// are gathered until they have been quiet for kQuietMs, or at the latest
// kLatestMs after the first, so that a real change is still followed within
// a second. While a burst is gathered, the watch need not wake the program
// for each notice: it is drained when the burst is checked. Times are
// monotonic milliseconds, given by the caller.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace mirel {

class NetworkBurst {
 public:
  static constexpr std::int64_t kQuietMs = 150;
  static constexpr std::int64_t kLatestMs = 800;

  // What a drain of the watch at nowMs said.
  void Drained(const NetworkChanges& changes, std::int64_t nowMs);
  // The changes of the burst once it is over (quiet, or at its latest);
  // nullopt before, and when nothing is gathered.
  std::optional<NetworkChanges> TakeDue(std::int64_t nowMs);

  // Whether a burst is being gathered: the watch is then drained at
  // CheckAt() rather than whenever it wakes.
  bool Gathering() const { return gathering_; }
  std::int64_t CheckAt() const { return std::min(last_ + kQuietMs, first_ + kLatestMs); }

 private:
  NetworkChanges pending_;
  bool gathering_ = false;
  std::int64_t first_ = 0;
  std::int64_t last_ = 0;
};

}  // namespace mirel
