#include <ctime>

#include "platform/local_time.h"

namespace mirel {

bool LocalTimeOf(std::int64_t seconds, std::tm& out) {
  const auto t = static_cast<std::time_t>(seconds);
  return localtime_r(&t, &out) != nullptr;
}

void ReloadTimeZone() {
  tzset();
}

}  // namespace mirel
