// Local time of the machine's time zone, for the traffic history's buckets:
// the C library's calls, which differ in name between the systems.
#pragma once

#include <cstdint>
#include <ctime>

namespace mirel {

// The local calendar time of an instant (seconds since 1970); false when the
// system cannot convert it.
bool LocalTimeOf(std::int64_t seconds, std::tm& out);
// Takes in a change of the time zone (TZ or the system's setting) made while
// the program runs.
void ReloadTimeZone();

}  // namespace mirel
