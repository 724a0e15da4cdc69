// What the user chose for the traffic history, kept in preferences.conf
// (the settings file has no line for it):
//
//   history.retention.fiveminutes = 48      hours of 5-minute buckets
//   history.retention.hours = 14            days of hourly buckets
//   history.retention.days = 548            days of daily buckets
//   history.retention.months = 0            months (0: for ever)
//   history.retention.years = 0             years (0: for ever)
//   history.month.startday = 1              the day a monthly allowance starts (1-31)
//   history.limit.warnpercent = 80          the first notice, in percent of a limit
//   history.limit.eth0.daily = 2GB          a limit of received + sent, per interface
//   history.limit.*.monthly = 50GB          ... or of all interfaces summed ("*")
//   history.totals = session                what 総受信量/総送信量 show: session, today, month
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readings/history_time.h"
#include "settings/user_preferences.h"

namespace mirel {

// The scope of a limit for all interfaces summed.
inline constexpr const char* kAllInterfaces = "*";

enum class LimitPeriod { kDay, kMonth };

struct TrafficLimit {
  std::string scope;  // an interface name, or kAllInterfaces
  LimitPeriod period = LimitPeriod::kMonth;
  std::uint64_t octets = 0;
};

enum class TotalsSource { kSession, kToday, kMonth };

// How long each table keeps its buckets; 0 keeps them for ever.
struct HistoryRetention {
  int fiveMinuteHours = 48;
  int hourDays = 14;
  int dayDays = 548;  // about a year and a half
  int monthMonths = 0;
  int yearYears = 0;
};

// The retention's cut-off for a table: buckets starting before it go.
// nullopt: the table keeps everything.
std::optional<std::int64_t> RetentionCutoff(const HistoryRetention& retention, HistoryTable table,
                                            std::int64_t nowSeconds);

struct HistorySettings {
  HistoryRetention retention;
  int monthStartDay = 1;
  int warnPercent = 80;
  std::vector<TrafficLimit> limits;
  TotalsSource totals = TotalsSource::kSession;

  const TrafficLimit* Limit(const std::string& scope, LimitPeriod period) const;
};

HistorySettings ReadHistorySettings(const UserPreferences& preferences);
// Writes every history key; limits that are no longer set lose their line.
void WriteHistorySettings(const HistorySettings& settings, UserPreferences& preferences);

// "2GB", "500 MB", "1.5 TB", "1048576" (octets), kilo being 1024; nullopt
// for anything else.
std::optional<std::uint64_t> ParseOctets(std::string_view text);
// The shortest exact form of ParseOctets: "2GB", "1536MB", "1000".
std::string OctetsSetting(std::uint64_t octets);

// The monthly allowance's current period: from the start day of this month
// (or of the last one, before that day), to the same day of the next. A
// start day past the month's end is its last day.
struct Span {
  std::int64_t begin = 0;
  std::int64_t end = 0;
};
Span MonthPeriod(std::int64_t nowSeconds, int startDay);
Span DayPeriod(std::int64_t nowSeconds);

// Which notice a usage calls for: 0 none, 1 past the warning percentage,
// 2 at or past the limit.
int LimitLevel(std::uint64_t used, std::uint64_t limit, int warnPercent);
// The notice's text: "今月の通信量が上限の80%を超えました (eth0: 8.02 GB / 10.0 GB)".
std::string LimitNoticeText(const TrafficLimit& limit, int level, int warnPercent,
                            std::uint64_t used);
// "すべて" for kAllInterfaces, else the name.
std::string ScopeCaption(const std::string& scope);

}  // namespace mirel
