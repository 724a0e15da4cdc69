#include "readings/history_recorder.h"

#include <algorithm>
#include <unordered_set>

#include "readings/counters.h"

namespace mirel {

namespace {

// A boot time read on Windows drifts with the clock; a reading taken this
// long before it still counts as of this boot.
constexpr std::int64_t kBootTimeSlackMs = 2 * 60 * 1000;

std::uint64_t ShareOf(std::uint64_t octets, std::int64_t part, std::int64_t whole) {
  return static_cast<std::uint64_t>(static_cast<unsigned __int128>(octets) *
                                    static_cast<std::uint64_t>(part) /
                                    static_cast<std::uint64_t>(whole));
}

std::int64_t FloorSeconds(std::int64_t ms) {
  return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

}  // namespace

HistoryRecorder::HistoryRecorder(BootInfo boot, std::map<std::string, LastReading> stored)
    : boot_(std::move(boot)) {
  for (auto& [name, reading] : stored) known_[name] = Known{std::move(reading), false};
}

bool HistoryRecorder::SameBoot(const LastReading& r) const {
  if (!boot_.id.empty() && !r.bootId.empty()) return r.bootId == boot_.id;
  // Without ids: a reading from before this boot began belongs to another.
  return boot_.bootTimeMs == 0 || r.timeMs >= boot_.bootTimeMs - kBootTimeSlackMs;
}

HistoryRecorder::Known* HistoryRecorder::Resolve(const InterfaceCounters& now) {
  auto it = known_.find(now.name);
  return it != known_.end() ? &it->second : nullptr;
}

void HistoryRecorder::Feed(std::int64_t nowMs, const std::vector<InterfaceCounters>& all) {
  if (all.empty()) return;
  std::unordered_set<std::string> names;
  for (const InterfaceCounters& c : all) names.insert(c.name);
  const std::int64_t previousFeedMs = lastFeedMs_;

  for (const InterfaceCounters& c : all) {
    Known* known = Resolve(c);
    if (known == nullptr && c.identity != 0) {
      // The same device under a name that is not there any more: renamed.
      for (auto it = known_.begin(); it != known_.end(); ++it) {
        if (names.count(it->first) == 0 && it->second.reading.identity == c.identity &&
            SameBoot(it->second.reading)) {
          known = &(known_[c.name] = it->second);
          batch_.last.erase(it->first);
          known_.erase(it);
          break;
        }
      }
    }

    std::uint64_t rx = c.counters.rx;
    std::uint64_t tx = c.counters.tx;
    std::int64_t fromMs = previousFeedMs != 0 ? previousFeedMs : boot_.bootTimeMs;
    if (known != nullptr && SameBoot(known->reading)) {
      const LastReading& last = known->reading;
      const bool sameDevice = last.identity == 0 || c.identity == 0 || last.identity == c.identity;
      const bool wide = c.counters.wide && last.counters.wide;
      const CounterStep stepRx = StepBetween(last.counters.rx, c.counters.rx, wide);
      const CounterStep stepTx = StepBetween(last.counters.tx, c.counters.tx, wide);
      fromMs = last.timeMs;
      if (sameDevice) {
        rx = stepRx.octets;
        tx = stepTx.octets;
      }
      // Made anew: after its last reading, and after the reading that
      // found it gone.
      if ((!sameDevice || stepRx.reset || stepTx.reset) && !known->present)
        fromMs = std::max(fromMs, previousFeedMs);
    }
    // Never seen in this boot: it counts since it was made, which is after
    // the previous reading (or, at the first, after the boot).
    if (fromMs > 0) Place(c.name, fromMs, nowMs, rx, tx);

    LastReading reading{c.counters, c.identity, nowMs, boot_.id, boot_.bootTimeMs};
    known_[c.name] = Known{reading, true};
    batch_.last[c.name] = std::move(reading);
    batch_.loopback[c.name] = c.loopback;
  }
  for (auto& [name, known] : known_) {
    if (names.count(name) != 0) continue;
    known.present = false;
    batch_.last.erase(name);
  }
  lastFeedMs_ = nowMs;
}

void HistoryRecorder::Place(const std::string& name, std::int64_t fromMs, std::int64_t toMs,
                            std::uint64_t rx, std::uint64_t tx) {
  if (rx == 0 && tx == 0) return;
  if (toMs > fromMs && toMs - fromMs <= kSteadyGapMs) {
    // Shared by time among the 5-minute buckets the interval spans.
    const std::int64_t span = toMs - fromMs;
    std::uint64_t doneRx = 0, doneTx = 0;
    for (std::int64_t cursor = fromMs;;) {
      const BucketTime bucket = BucketOf(HistoryTable::kFiveMinutes, FloorSeconds(cursor));
      const std::int64_t upTo =
          std::min(NextBucketStart(HistoryTable::kFiveMinutes, bucket.start) * 1000, toMs);
      const std::uint64_t shareRx = upTo == toMs ? rx : ShareOf(rx, upTo - fromMs, span);
      const std::uint64_t shareTx = upTo == toMs ? tx : ShareOf(tx, upTo - fromMs, span);
      AddAt(name, bucket.start, 0, shareRx - doneRx, shareTx - doneTx);
      doneRx = shareRx;
      doneTx = shareTx;
      if (upTo >= toMs) return;
      cursor = upTo;
    }
  }
  // A gap: the smallest bucket that holds all of it.
  const std::int64_t a = FloorSeconds(std::min(fromMs, toMs));
  const std::int64_t b = FloorSeconds(std::max(fromMs, toMs));
  for (HistoryTable table : kHistoryTables) {
    if (BucketOf(table, a).start == BucketOf(table, b).start) {
      AddAt(name, b, static_cast<int>(table), rx, tx);
      return;
    }
  }
  unplaced_ += rx + tx;
}

void HistoryRecorder::AddAt(const std::string& name, std::int64_t seconds, int firstTable,
                            std::uint64_t rx, std::uint64_t tx) {
  if (rx == 0 && tx == 0) return;
  const BucketTime five = BucketOf(HistoryTable::kFiveMinutes, seconds);
  if (five.start != cachedFiveMinute_) {
    for (HistoryTable table : kHistoryTables)
      cachedBuckets_[static_cast<int>(table)] = BucketOf(table, five.start);
    cachedFiveMinute_ = five.start;
  }
  for (int t = firstTable; t < kHistoryTableCount; ++t) {
    const BucketTime& bucket = cachedBuckets_[t];
    BucketAmount& amount = batch_.buckets[{name, static_cast<HistoryTable>(t), bucket.start}];
    amount.utcOffset = bucket.utcOffset;
    amount.rx += rx;
    amount.tx += tx;
  }
}

const LastReading* HistoryRecorder::LastOf(const std::string& name) const {
  auto it = known_.find(name);
  return it != known_.end() && it->second.present ? &it->second.reading : nullptr;
}

HistoryBatch HistoryRecorder::TakeBatch() {
  HistoryBatch taken = std::move(batch_);
  batch_ = HistoryBatch{};
  return taken;
}

}  // namespace mirel
