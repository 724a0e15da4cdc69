// The buckets of the traffic history: 5 minutes, hours, days, months and
// years of local time. A bucket is named by the instant it starts (seconds
// since 1970) and the UTC offset in force then, so a day of 23 or 25 hours
// (a daylight-saving change) is one bucket, and the two 1 o'clock hours of
// the autumn change are two.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mirel {

enum class HistoryTable { kFiveMinutes = 0, kHours = 1, kDays = 2, kMonths = 3, kYears = 4 };
inline constexpr int kHistoryTableCount = 5;
inline constexpr std::array<HistoryTable, kHistoryTableCount> kHistoryTables = {
    HistoryTable::kFiveMinutes, HistoryTable::kHours, HistoryTable::kDays, HistoryTable::kMonths,
    HistoryTable::kYears};

// "fiveminutes", "hours", "days", "months", "years": the export's names.
const char* HistoryTableKey(HistoryTable table);
// "5分", "時間", "日", "月", "年": the window's.
const char* HistoryTableCaption(HistoryTable table);

struct BucketTime {
  std::int64_t start = 0;      // seconds since 1970
  std::int32_t utcOffset = 0;  // seconds east of UTC at start
};

// The UTC offset of the local time zone at an instant.
std::int32_t UtcOffsetAt(std::int64_t seconds);

// The bucket of `table` that holds the instant.
BucketTime BucketOf(HistoryTable table, std::int64_t seconds);
// The start of the bucket after the one that starts at `start`.
std::int64_t NextBucketStart(HistoryTable table, std::int64_t start);
// The start of the bucket `count` buckets before the one that holds the
// instant (count 0: that bucket).
std::int64_t BucketsBack(HistoryTable table, std::int64_t seconds, int count);

// Local calendar fields of an instant with a given offset.
struct LocalFields {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
LocalFields FieldsAt(std::int64_t seconds, std::int32_t utcOffset);

// The first instant of a local calendar time: the midnight, month or year
// start of the local date (hour and minute as given). A local time that
// the clocks skip (a daylight-saving change at midnight) starts when the
// clocks resume.
std::int64_t LocalStart(int year, int month, int day, int hour = 0, int minute = 0);

// "2026-12-08T00:00:00+09:00".
std::string Iso8601(BucketTime time);
// What the window and the text export show for a bucket: "2026-12-08 12:35"
// (5 minutes), "2026-12-08 12時" (hours), "2026-12-08" (days), "2026-12"
// (months), "2026" (years).
std::string BucketLabel(HistoryTable table, BucketTime time);

// A local date or time as the command line takes it: "2026", "2026-12",
// "2026-12-08", "2026-12-08T10", "2026-12-08T10:30" (a blank instead of the
// "T" also does). The span is [begin, end): a date reaches to its end, so
// "--end 2026-12-31" includes that day. nullopt when the text is none of these.
struct LocalSpan {
  std::int64_t begin = 0;
  std::int64_t end = 0;
};
std::optional<LocalSpan> ParseLocalTime(std::string_view text);

// Days since 1970-01-01 of a civil date and back (proleptic Gregorian).
std::int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(std::int64_t days, int& year, int& month, int& day);

}  // namespace mirel
