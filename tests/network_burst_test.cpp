#include "readings/network_burst.h"

#include <gtest/gtest.h>

#include <vector>

namespace mirel {
namespace {

struct Due {
  std::int64_t at;
  NetworkChanges changes;
};

// Notices at `from`, `from + every`, ... before `until`, each with the
// change `kind(i)`; the burst is asked every millisecond up to `end`.
template <typename Kind>
std::vector<Due> Simulate(std::int64_t from, std::int64_t until, std::int64_t every, Kind kind,
                          std::int64_t end) {
  NetworkBurst burst;
  std::vector<Due> due;
  for (std::int64_t t = from; t <= end; ++t) {
    if (t < until && (t - from) % every == 0) burst.Drained(kind((t - from) / every), t);
    if (std::optional<NetworkChanges> d = burst.TakeDue(t)) due.push_back({t, *d});
  }
  return due;
}

TEST(NetworkBurstTest, OneReReadPerBurstAndStillOneASecondInAStorm) {
  // One notice: read again once it has been quiet for a moment.
  std::vector<Due> due = Simulate(
      1000, 1001, 1,
      [](auto) {
        return NetworkChanges{false, true, false};
      },
      3000);
  ASSERT_EQ(due.size(), 1u);
  EXPECT_EQ(due[0].at, 1000 + NetworkBurst::kQuietMs);
  EXPECT_TRUE(due[0].changes.routes && !due[0].changes.links && !due[0].changes.addresses);

  // A container starting: notices 20 ms apart for 100 ms, then quiet. One
  // re-read, with every kind of change of the burst.
  due = Simulate(
      5000, 5101, 20,
      [](std::int64_t i) {
        return i == 0 ? NetworkChanges{true, false, false} : NetworkChanges{false, false, true};
      },
      7000);
  ASSERT_EQ(due.size(), 1u);
  EXPECT_EQ(due[0].at, 5100 + NetworkBurst::kQuietMs);
  EXPECT_TRUE(due[0].changes.links && due[0].changes.addresses && !due[0].changes.routes);

  // A storm that never pauses: a re-read at the latest kLatestMs after the
  // first notice of each round, so the route is followed within a second.
  due = Simulate(
      0, 10000, 50,
      [](auto) {
        return NetworkChanges{true, true, true};
      },
      12000);
  ASSERT_GE(due.size(), 11u);
  EXPECT_LE(due.size(), 13u);
  EXPECT_EQ(due[0].at, NetworkBurst::kLatestMs);
  for (std::size_t i = 1; i + 1 < due.size(); ++i) EXPECT_LE(due[i].at - due[i - 1].at, 1000);

  // Notices that change nothing the monitor reads gather nothing.
  EXPECT_TRUE(Simulate(
                  0, 1000, 10, [](auto) { return NetworkChanges{}; }, 2000)
                  .empty());
}

}  // namespace
}  // namespace mirel
