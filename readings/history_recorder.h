// Turns readings of every interface's counters into octets per bucket of
// the traffic history.
//
// The counters are read about once a minute. Between two readings of a
// running program, the octets go to the 5-minute buckets the interval
// spans, shared by time. Where the readings are further apart (the machine
// slept, the program did not run, the machine rebooted) the octets are
// known but not when they moved within the gap: they go to the smallest
// bucket that holds the whole gap (the day, the month) and to those above
// it, never spread over hours that nobody saw; a gap across a year's end
// places nothing.
//
// Mends, by the rule the rates follow (StepBetween): a counter that went
// backwards restarted from zero, so it adds what it holds; a machine that
// rebooted restarted every counter at its boot; an interface made anew
// (another device under the same name) counts from its making; a renamed
// interface (the same device) carries on under its new name.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/platform.h"
#include "readings/history_time.h"

namespace mirel {

// Two readings this far apart (wall clock) belong to one running program.
inline constexpr std::int64_t kSteadyGapMs = 3 * 60 * 1000;

// The last reading of one interface, as the store keeps it between runs.
struct LastReading {
  OctetCounters counters;
  std::uint64_t identity = 0;
  std::int64_t timeMs = 0;  // wall clock
  std::string bootId;
  std::int64_t bootTimeMs = 0;
};

struct BucketAmount {
  std::int32_t utcOffset = 0;
  std::uint64_t rx = 0;
  std::uint64_t tx = 0;
};

// (interface, table, bucket start).
using BucketKey = std::tuple<std::string, HistoryTable, std::int64_t>;

// What one write of the store carries.
struct HistoryBatch {
  std::map<BucketKey, BucketAmount> buckets;
  std::map<std::string, LastReading> last;  // of the interfaces there at the last reading
  std::map<std::string, bool> loopback;     // every interface read, and whether it is loopback
  bool Empty() const { return buckets.empty() && last.empty(); }
};

class HistoryRecorder {
 public:
  // `stored`: the last readings that the store kept from earlier runs.
  HistoryRecorder(BootInfo boot, std::map<std::string, LastReading> stored);

  // Feeds the counters of every interface, read at nowMs (wall clock). An
  // empty list (the read failed) is passed over: no interface is taken
  // for gone on its account.
  void Feed(std::int64_t nowMs, const std::vector<InterfaceCounters>& all);

  // The octets and readings since the last call; the next batch starts empty.
  HistoryBatch TakeBatch();
  const HistoryBatch& pending() const { return batch_; }
  // The last reading of an interface there at the last feed; null if none.
  const LastReading* LastOf(const std::string& name) const;

  // Octets that no bucket could hold (a gap across a year's end).
  std::uint64_t unplaced() const { return unplaced_; }

 private:
  struct Known {
    LastReading reading;
    bool present = false;  // there at the previous reading
  };

  Known* Resolve(const InterfaceCounters& now);
  bool SameBoot(const LastReading& r) const;
  void Place(const std::string& name, std::int64_t fromMs, std::int64_t toMs, std::uint64_t rx,
             std::uint64_t tx);
  void AddAt(const std::string& name, std::int64_t seconds, int firstTable, std::uint64_t rx,
             std::uint64_t tx);

  BootInfo boot_;
  std::map<std::string, Known> known_;
  std::int64_t lastFeedMs_ = 0;
  HistoryBatch batch_;
  std::uint64_t unplaced_ = 0;
  // The buckets of the last 5-minute bucket asked for: every interface of
  // a reading falls in the same ones.
  std::int64_t cachedFiveMinute_ = INT64_MIN;
  BucketTime cachedBuckets_[kHistoryTableCount];
};

}  // namespace mirel
