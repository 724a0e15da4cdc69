#include "readings/history_settings.h"

#include <algorithm>
#include <cmath>

#include "readings/history_export.h"

namespace mirel {

namespace {

constexpr std::string_view kLimitPrefix = "history.limit.";
constexpr std::string_view kWarnKey = "history.limit.warnpercent";

int NumberOr(const UserPreferences& p, std::string_view key, int fallback, int low, int high) {
  const std::optional<long long> v = p.GetNumber(key);
  if (!v || *v < low || *v > high) return fallback;
  return static_cast<int>(*v);
}

const char* PeriodKey(LimitPeriod period) {
  return period == LimitPeriod::kDay ? "daily" : "monthly";
}

struct RetentionKey {
  const char* key;
  int HistoryRetention::*field;
};
constexpr RetentionKey kRetentionKeys[] = {
    {"history.retention.fiveminutes", &HistoryRetention::fiveMinuteHours},
    {"history.retention.hours", &HistoryRetention::hourDays},
    {"history.retention.days", &HistoryRetention::dayDays},
    {"history.retention.months", &HistoryRetention::monthMonths},
    {"history.retention.years", &HistoryRetention::yearYears},
};

const char* TotalsKey(TotalsSource s) {
  switch (s) {
    case TotalsSource::kToday:
      return "today";
    case TotalsSource::kMonth:
      return "month";
    case TotalsSource::kSession:
      break;
  }
  return "session";
}

std::string Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

}  // namespace

const TrafficLimit* HistorySettings::Limit(const std::string& scope, LimitPeriod period) const {
  for (const TrafficLimit& l : limits) {
    if (l.scope == scope && l.period == period) return &l;
  }
  return nullptr;
}

std::optional<std::uint64_t> ParseOctets(std::string_view text) {
  std::string t = Trim(text);
  static constexpr struct {
    const char* suffix;
    int power;
  } kSuffixes[] = {{"TB", 4}, {"GB", 3}, {"MB", 2}, {"KB", 1}, {"B", 0}};
  int power = 0;
  for (const auto& s : kSuffixes) {
    const std::string_view suffix(s.suffix);
    if (t.size() >= suffix.size() &&
        std::equal(
            suffix.begin(), suffix.end(), t.end() - static_cast<long>(suffix.size()),
            [](char a, char b) { return a == std::toupper(static_cast<unsigned char>(b)); })) {
      t = Trim(std::string_view(t).substr(0, t.size() - suffix.size()));
      power = s.power;
      break;
    }
  }
  if (t.empty() || t.find_first_not_of("0123456789.") != std::string::npos ||
      std::count(t.begin(), t.end(), '.') > 1 || t == ".") {
    return std::nullopt;
  }
  const double value = std::stod(t) * std::pow(1024.0, power);
  if (!(value >= 0) || value > 9.0e18) return std::nullopt;
  return static_cast<std::uint64_t>(std::llround(value));
}

std::string OctetsSetting(std::uint64_t octets) {
  static constexpr const char* kUnits[] = {"", "KB", "MB", "GB", "TB"};
  int unit = 0;
  while (unit < 4 && octets != 0 && octets % 1024 == 0) {
    octets /= 1024;
    ++unit;
  }
  return std::to_string(octets) + kUnits[unit];
}

HistorySettings ReadHistorySettings(const UserPreferences& p) {
  HistorySettings s;
  for (const RetentionKey& r : kRetentionKeys)
    s.retention.*r.field = NumberOr(p, r.key, s.retention.*r.field, 0, 1000000);
  s.monthStartDay = NumberOr(p, "history.month.startday", 1, 1, 31);
  s.warnPercent = NumberOr(p, kWarnKey, 80, 1, 100);
  const std::string totals = p.GetOr("history.totals", "session");
  if (totals == "today") s.totals = TotalsSource::kToday;
  if (totals == "month") s.totals = TotalsSource::kMonth;
  for (const std::string& key : p.Keys()) {
    if (key.rfind(kLimitPrefix, 0) != 0 || key == kWarnKey) continue;
    const std::size_t dot = key.rfind('.');
    if (dot <= kLimitPrefix.size()) continue;
    const std::string scope = key.substr(kLimitPrefix.size(), dot - kLimitPrefix.size());
    const std::string period = key.substr(dot + 1);
    if (period != "daily" && period != "monthly") continue;
    const std::optional<std::uint64_t> octets = ParseOctets(p.GetOr(key, ""));
    if (!octets || *octets == 0) continue;
    const LimitPeriod which = period == "daily" ? LimitPeriod::kDay : LimitPeriod::kMonth;
    if (s.Limit(scope, which) == nullptr) s.limits.push_back({scope, which, *octets});
  }
  return s;
}

void WriteHistorySettings(const HistorySettings& s, UserPreferences& p) {
  for (const RetentionKey& r : kRetentionKeys) p.Set(r.key, std::to_string(s.retention.*r.field));
  p.Set("history.month.startday", std::to_string(s.monthStartDay));
  p.Set(kWarnKey, std::to_string(s.warnPercent));
  p.Set("history.totals", TotalsKey(s.totals));
  for (const std::string& key : p.Keys()) {
    if (key.rfind(kLimitPrefix, 0) == 0 && key != kWarnKey) p.Remove(key);
  }
  for (const TrafficLimit& l : s.limits) {
    p.Set(std::string(kLimitPrefix) + l.scope + "." + PeriodKey(l.period), OctetsSetting(l.octets));
  }
}

std::optional<std::int64_t> RetentionCutoff(const HistoryRetention& retention, HistoryTable table,
                                            std::int64_t nowSeconds) {
  const LocalFields f = FieldsAt(nowSeconds, UtcOffsetAt(nowSeconds));
  switch (table) {
    case HistoryTable::kFiveMinutes:
      if (retention.fiveMinuteHours <= 0) return std::nullopt;
      return nowSeconds - std::int64_t{retention.fiveMinuteHours} * 3600;
    case HistoryTable::kHours:
      if (retention.hourDays <= 0) return std::nullopt;
      return nowSeconds - std::int64_t{retention.hourDays} * 86400;
    case HistoryTable::kDays:
      if (retention.dayDays <= 0) return std::nullopt;
      return nowSeconds - std::int64_t{retention.dayDays} * 86400;
    case HistoryTable::kMonths: {
      if (retention.monthMonths <= 0) return std::nullopt;
      // This month and the ones before it, as many as kept in all.
      const int months = f.year * 12 + (f.month - 1) - (retention.monthMonths - 1);
      return LocalStart(months / 12, months % 12 + 1, 1);
    }
    case HistoryTable::kYears:
      if (retention.yearYears <= 0) return std::nullopt;
      return LocalStart(f.year - (retention.yearYears - 1), 1, 1);
  }
  return std::nullopt;
}

Span DayPeriod(std::int64_t nowSeconds) {
  const std::int64_t begin = BucketOf(HistoryTable::kDays, nowSeconds).start;
  return {begin, NextBucketStart(HistoryTable::kDays, begin)};
}

Span MonthPeriod(std::int64_t nowSeconds, int startDay) {
  const LocalFields f = FieldsAt(nowSeconds, UtcOffsetAt(nowSeconds));
  auto startIn = [startDay](int year, int month) {
    // Month 0 is the December before, month 13 the January after.
    if (month < 1) month += 12, --year;
    if (month > 12) month -= 12, ++year;
    const int last = static_cast<int>(DaysFromCivil(year + month / 12, month % 12 + 1, 1) -
                                      DaysFromCivil(year, month, 1));
    return LocalStart(year, month, std::min(startDay, last));
  };
  std::int64_t begin = startIn(f.year, f.month);
  std::int64_t end = startIn(f.year, f.month + 1);
  if (nowSeconds < begin) {
    end = begin;
    begin = startIn(f.year, f.month - 1);
  }
  return {begin, end};
}

int LimitLevel(std::uint64_t used, std::uint64_t limit, int warnPercent) {
  if (limit == 0) return 0;
  if (used >= limit) return 2;
  const auto threshold = static_cast<unsigned __int128>(limit) * static_cast<unsigned>(warnPercent);
  return static_cast<unsigned __int128>(used) * 100 >= threshold ? 1 : 0;
}

std::string ScopeCaption(const std::string& scope) {
  return scope == kAllInterfaces ? std::string("すべて") : scope;
}

std::string LimitNoticeText(const TrafficLimit& limit, int level, int warnPercent,
                            std::uint64_t used) {
  const std::string when = limit.period == LimitPeriod::kDay ? "今日" : "今月";
  const std::string figures = " (" + ScopeCaption(limit.scope) + ": " + FormatOctets(used) + " / " +
                              FormatOctets(limit.octets) + ")";
  if (level >= 2) return when + "の通信量が上限に達しました" + figures;
  return when + "の通信量が上限の" + std::to_string(warnPercent) + "%を超えました" + figures;
}

}  // namespace mirel
