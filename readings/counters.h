// Octet counters of the chosen interface turned into running totals and
// rates (the interface part of the tick).
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "readings/monitor_state.h"

namespace mirel {

// Wrap tracking for a 32-bit counter. A wrap is counted on the first reading
// below 2^31 that follows a reading of 2^31 or more; a reading of exactly 0
// counts nothing (a failed read looks like that).
void TrackWrap(std::uint32_t reading, bool& highHalf, std::uint64_t& wraps);

// How far a counter moved between two readings. A 64-bit counter that went
// backwards was reset (a driver reload, an interface made anew) and counts
// from zero again, so what it holds now is what moved since; a 32-bit one
// that went backwards wrapped once. The rates and the history both go by
// this rule.
struct CounterStep {
  std::uint64_t octets = 0;
  bool reset = false;
};
CounterStep StepBetween(std::uint64_t previous, std::uint64_t now, bool wide);

// Wall time after which the previous counter reading no longer belongs to the
// last interval (suspend, a stalled event loop): the next tick re-baselines.
bool IsSamplingPause(std::int64_t elapsedMs, int intervalMs);

// The interval a rate is divided by: the nominal one while the measured time
// since the previous reading is within a quarter of it, the measured one when
// a tick came that much late or early (a busy machine, a blocked event loop,
// a changed timer). A clock that did not move measures nothing: nominal.
int RateIntervalMs(std::int64_t elapsedMs, int nominalMs);

// Feeds one reading into the totals and rates of `state`.
// rebaseline: this reading starts a new interval without a rate (the counters
// were not read on the previous tick, the machine slept, or the interface
// changed); the rates then read 0.
// A direction whose total went backwards is a counter reset: its rate reads 0
// for this tick and the total carries on from where it was.
// intervalMs is the divisor of the rates (RateIntervalMs).
void ApplyCounters(MonitorState& state, const OctetCounters& counters, int intervalMs, int rateUnit,
                   bool rebaseline);

}  // namespace mirel
