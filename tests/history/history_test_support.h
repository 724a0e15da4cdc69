// Helpers of the history tests: a time zone for the length of a test, and
// local times written as text.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "readings/history_time.h"

namespace mirel {

class LocalZone {
 public:
  explicit LocalZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~LocalZone() {
    if (old_)
      setenv("TZ", old_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  LocalZone(const LocalZone&) = delete;
  LocalZone& operator=(const LocalZone&) = delete;

 private:
  std::optional<std::string> old_;
};

// The first instant of a local time in the zone in force ("2026-10-25T02:00").
inline std::int64_t At(const char* local) {
  const std::optional<LocalSpan> span = ParseLocalTime(local);
  EXPECT_TRUE(span) << local;
  return span ? span->begin : 0;
}

}  // namespace mirel
