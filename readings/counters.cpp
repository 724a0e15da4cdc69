#include "readings/counters.h"

#include <algorithm>
#include <limits>

#include "readings/rates.h"

namespace mirel {

void TrackWrap(std::uint32_t reading, bool& highHalf, std::uint64_t& wraps) {
  auto value = static_cast<std::int32_t>(reading);
  if (value > 0 && highHalf) {
    highHalf = false;
    ++wraps;
  }
  if (value < 0) highHalf = true;
}

CounterStep StepBetween(std::uint64_t previous, std::uint64_t now, bool wide) {
  if (now >= previous) return {now - previous, false};
  if (!wide && previous <= 0xFFFFFFFFull) return {now + (0x100000000ull - previous), false};
  return {now, true};
}

bool IsSamplingPause(std::int64_t elapsedMs, int intervalMs) {
  std::int64_t interval = std::max(intervalMs, 1);
  return elapsedMs > std::max<std::int64_t>(3 * interval, interval + 2000);
}

int RateIntervalMs(std::int64_t elapsedMs, int nominalMs) {
  if (elapsedMs <= 0 || nominalMs <= 0) return nominalMs;
  std::int64_t difference = elapsedMs > nominalMs ? elapsedMs - nominalMs : nominalMs - elapsedMs;
  if (difference * 4 <= nominalMs) return nominalMs;
  return static_cast<int>(std::min<std::int64_t>(elapsedMs, std::numeric_limits<int>::max()));
}

namespace {

struct Direction {
  std::uint32_t& counter;
  bool& highHalf;
  std::uint64_t& wraps;
  std::uint64_t& offset;
  std::uint64_t& total;
  std::uint64_t& prevTotal;
  std::int64_t& deltaK;
  std::int64_t& rate;
  std::string& text;
};

void Feed(Direction d, std::uint64_t reading, bool wide, bool haveBaseline, bool rebaseline,
          int intervalMs, int rateUnit) {
  std::uint64_t raw = reading;
  if (!wide) {
    d.counter = static_cast<std::uint32_t>(reading);
    TrackWrap(d.counter, d.highHalf, d.wraps);
    raw = d.wraps * 4294967296ull + d.counter;
  }
  std::uint64_t total = raw + d.offset;
  const bool reset = haveBaseline && StepBetween(d.prevTotal, total, true).reset;
  if (reset) {
    // Carry on from the previous total; the octets since the reset are lost,
    // which is better than a negative rate or a total that jumps back.
    d.offset = d.prevTotal - raw;
    total = d.prevTotal;
  }
  d.total = total;
  std::int64_t octets = static_cast<std::int64_t>(total - d.prevTotal);
  d.deltaK = DeltaKFixed(octets);
  if (haveBaseline) {
    if (rebaseline || reset) {
      d.deltaK = 0;
      d.rate = 0;
    } else {
      d.rate = RateFromDelta(d.deltaK, octets, intervalMs, rateUnit);
    }
    d.text = RateText(d.rate, rateUnit);
  }
  d.prevTotal = total;
}

}  // namespace

void ApplyCounters(MonitorState& s, const OctetCounters& counters, int intervalMs, int rateUnit,
                   bool rebaseline) {
  bool have = s.haveBaseline;
  Feed({s.rxCounter, s.rxHighHalf, s.rxWraps, s.rxCounterOffset, s.rxTotal, s.rxPrevTotal,
        s.rxDeltaK, s.rxRate, s.Text(102)},
       counters.rx, counters.wide, have, rebaseline, intervalMs, rateUnit);
  Feed({s.txCounter, s.txHighHalf, s.txWraps, s.txCounterOffset, s.txTotal, s.txPrevTotal,
        s.txDeltaK, s.txRate, s.Text(103)},
       counters.tx, counters.wide, have, rebaseline, intervalMs, rateUnit);
  s.haveBaseline = true;
}

}  // namespace mirel
