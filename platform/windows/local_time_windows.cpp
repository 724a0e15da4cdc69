#include <ctime>

#include "platform/local_time.h"

namespace mirel {

bool LocalTimeOf(std::int64_t seconds, std::tm& out) {
  const auto t = static_cast<std::time_t>(seconds);
  return localtime_s(&out, &t) == 0;
}

void ReloadTimeZone() {
  _tzset();
}

}  // namespace mirel
