#include "readings/history_time.h"

#include <algorithm>
#include <cstdio>

#include "platform/local_time.h"

namespace mirel {

namespace {

constexpr std::int64_t kDay = 86400;

std::int64_t FloorDivide(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

std::int64_t FloorModulo(std::int64_t a, std::int64_t b) {
  return a - FloorDivide(a, b) * b;
}

// Local seconds since 1970 (the local calendar read as if it were UTC).
std::int64_t LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
  // Months past 12 (the month after December) roll into the next year.
  year += (month - 1) / 12;
  month = (month - 1) % 12 + 1;
  return DaysFromCivil(year, month, day) * kDay + hour * 3600 + minute * 60 + second;
}

int DaysInMonth(int year, int month) {
  return static_cast<int>(DaysFromCivil(year + month / 12, month % 12 + 1, 1) -
                          DaysFromCivil(year, month, 1));
}

}  // namespace

const char* HistoryTableKey(HistoryTable table) {
  switch (table) {
    case HistoryTable::kFiveMinutes:
      return "fiveminutes";
    case HistoryTable::kHours:
      return "hours";
    case HistoryTable::kDays:
      return "days";
    case HistoryTable::kMonths:
      return "months";
    case HistoryTable::kYears:
      return "years";
  }
  return "";
}

const char* HistoryTableCaption(HistoryTable table) {
  switch (table) {
    case HistoryTable::kFiveMinutes:
      return "5分";
    case HistoryTable::kHours:
      return "時間";
    case HistoryTable::kDays:
      return "日";
    case HistoryTable::kMonths:
      return "月";
    case HistoryTable::kYears:
      return "年";
  }
  return "";
}

// Howard Hinnant's days_from_civil and civil_from_days.
std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
  const std::int64_t era = FloorDivide(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const std::int64_t era = FloorDivide(days, 146097);
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::int32_t UtcOffsetAt(std::int64_t seconds) {
  std::tm local{};
  if (!LocalTimeOf(seconds, local)) return 0;
  const std::int64_t asUtc = LocalSeconds(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                          local.tm_hour, local.tm_min, local.tm_sec);
  return static_cast<std::int32_t>(asUtc - seconds);
}

LocalFields FieldsAt(std::int64_t seconds, std::int32_t utcOffset) {
  const std::int64_t local = seconds + utcOffset;
  LocalFields f;
  CivilFromDays(FloorDivide(local, kDay), f.year, f.month, f.day);
  const std::int64_t rest = FloorModulo(local, kDay);
  f.hour = static_cast<int>(rest / 3600);
  f.minute = static_cast<int>(rest / 60 % 60);
  f.second = static_cast<int>(rest % 60);
  return f;
}

std::int64_t LocalStart(int year, int month, int day, int hour, int minute) {
  const std::int64_t local = LocalSeconds(year, month, day, hour, minute, 0);
  // The offsets in force around that local time; a change within a day of it
  // is among them. Of the instants they give, the first that shows exactly
  // that local time; when none does, the clocks skipped it, and the day
  // starts when they resume: with the smaller offset, the later instant.
  std::int64_t earliestMatch = INT64_MAX;
  std::int64_t latest = INT64_MIN;
  for (std::int64_t probe : {local - kDay, local, local + kDay}) {
    const std::int64_t candidate = local - UtcOffsetAt(probe);
    latest = std::max(latest, candidate);
    if (candidate + UtcOffsetAt(candidate) == local)
      earliestMatch = std::min(earliestMatch, candidate);
  }
  return earliestMatch != INT64_MAX ? earliestMatch : latest;
}

BucketTime BucketOf(HistoryTable table, std::int64_t seconds) {
  const std::int32_t offset = UtcOffsetAt(seconds);
  std::int64_t start = seconds;
  switch (table) {
    case HistoryTable::kFiveMinutes:
      start = seconds - FloorModulo(seconds + offset, 300);
      break;
    case HistoryTable::kHours:
      start = seconds - FloorModulo(seconds + offset, 3600);
      break;
    case HistoryTable::kDays:
    case HistoryTable::kMonths:
    case HistoryTable::kYears: {
      const LocalFields f = FieldsAt(seconds, offset);
      start = table == HistoryTable::kDays     ? LocalStart(f.year, f.month, f.day)
              : table == HistoryTable::kMonths ? LocalStart(f.year, f.month, 1)
                                               : LocalStart(f.year, 1, 1);
      break;
    }
  }
  start = std::min(start, seconds);
  return {start, UtcOffsetAt(start)};
}

std::int64_t NextBucketStart(HistoryTable table, std::int64_t start) {
  const LocalFields f = FieldsAt(start, UtcOffsetAt(start));
  switch (table) {
    case HistoryTable::kFiveMinutes:
      return BucketOf(table, start + 300).start;
    case HistoryTable::kHours:
      return BucketOf(table, start + 3600).start;
    case HistoryTable::kDays:
      return LocalStart(f.year, f.month, f.day + 1);
    case HistoryTable::kMonths:
      return LocalStart(f.year, f.month + 1, 1);
    case HistoryTable::kYears:
      return LocalStart(f.year + 1, 1, 1);
  }
  return start;
}

std::int64_t BucketsBack(HistoryTable table, std::int64_t seconds, int count) {
  std::int64_t start = BucketOf(table, seconds).start;
  if (table == HistoryTable::kFiveMinutes) return start - 300LL * count;
  if (table == HistoryTable::kHours) return start - 3600LL * count;
  for (int i = 0; i < count; ++i) start = BucketOf(table, start - 1).start;
  return start;
}

std::string Iso8601(BucketTime time) {
  const LocalFields f = FieldsAt(time.start, time.utcOffset);
  const int offset = time.utcOffset < 0 ? -time.utcOffset : time.utcOffset;
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", f.year, f.month,
                f.day, f.hour, f.minute, f.second, time.utcOffset < 0 ? '-' : '+', offset / 3600,
                offset / 60 % 60);
  return text;
}

std::string BucketLabel(HistoryTable table, BucketTime time) {
  const LocalFields f = FieldsAt(time.start, time.utcOffset);
  char text[40];
  switch (table) {
    case HistoryTable::kFiveMinutes:
      std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", f.year, f.month, f.day, f.hour,
                    f.minute);
      break;
    case HistoryTable::kHours:
      std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d時", f.year, f.month, f.day, f.hour);
      break;
    case HistoryTable::kDays:
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", f.year, f.month, f.day);
      break;
    case HistoryTable::kMonths:
      std::snprintf(text, sizeof text, "%04d-%02d", f.year, f.month);
      break;
    case HistoryTable::kYears:
      std::snprintf(text, sizeof text, "%04d", f.year);
      break;
  }
  return text;
}

std::optional<LocalSpan> ParseLocalTime(std::string_view text) {
  // Fields in order with the character before each: year, "-" month, "-" day,
  // "T" or " " hour, ":" minute, ":" second.
  int values[6] = {0, 1, 1, 0, 0, 0};
  const int widths[6] = {4, 2, 2, 2, 2, 2};
  int count = 0;
  std::size_t i = 0;
  while (count < 6) {
    if (count > 0) {
      if (i >= text.size()) break;
      const char sep = text[i];
      const bool fits = count <= 2   ? sep == '-'
                        : count == 3 ? (sep == 'T' || sep == ' ')
                                     : sep == ':';
      if (!fits) return std::nullopt;
      ++i;
    }
    int value = 0;
    for (int w = 0; w < widths[count]; ++w, ++i) {
      if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
      value = value * 10 + (text[i] - '0');
    }
    values[count++] = value;
  }
  if (i != text.size()) return std::nullopt;
  const int year = values[0], month = values[1], day = values[2], hour = values[3],
            minute = values[4], second = values[5];
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return std::nullopt;
  }
  LocalSpan span;
  span.begin = LocalStart(year, month, day, hour, minute) + second;
  switch (count) {
    case 1:
      span.end = LocalStart(year + 1, 1, 1);
      break;
    case 2:
      span.end = LocalStart(year, month + 1, 1);
      break;
    case 3:
      span.end = LocalStart(year, month, day + 1);
      break;
    case 4:
      span.end = LocalStart(year, month, day, hour + 1);
      break;
    case 5:
      span.end = LocalStart(year, month, day, hour, minute + 1);
      break;
    default:
      span.end = span.begin + 1;
      break;
  }
  return span;
}

}  // namespace mirel
