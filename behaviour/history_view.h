// What the history window shows, decided once for both shells: today's and
// this month's lines with their limits, the chart's model, the table's rows,
// the run's totals and range, the list of interfaces, paging through time
// and the CSV of the shown table. A shell lays these out with its widgets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drawing/history_chart_model.h"
#include "readings/history_settings.h"
#include "readings/history_store.h"

namespace mirel {

struct HistoryFigureLine {
  std::string text;  // "今日　受信 1.23 GB　送信 …　合計 …　（上限 2.00 GB の 72%）"
  int level = 0;  // of its limit: 0 below the warning, 1 past it, 2 used up
};

struct HistoryRow {
  std::string period, rx, tx, total;
};

struct HistoryView {
  std::string problem;  // why there is no history; empty when there is
  HistoryFigureLine today;
  HistoryFigureLine month;
  ChartModel chart;
  std::vector<HistoryRow> rows;  // one per chart column, oldest first
  std::string range;             // "2026-11-08 〜 2026-12-08"
  std::string totals;            // "この期間の計　受信 …　送信 …　合計 …"
  bool latest = true;            // the last column is the current bucket
};

// The caption of the interface choice for all summed.
inline constexpr const char* kAllSummedCaption = "すべて (ループバックを除く)";

// The view of `table` for `scope` with the chart's last column holding
// lastSeconds; store null: a view saying `unavailable`.
HistoryView BuildHistoryView(HistoryStore* store, const std::string& unavailable,
                             const HistorySettings& settings, HistoryTable table,
                             const HistoryScope& scope, std::int64_t lastSeconds,
                             std::int64_t nowSeconds);

// The interfaces to choose from: the store's, loopback last.
std::vector<HistoryInterface> HistoryChoices(HistoryStore* store);

// The chart one page back (direction < 0) or on: the lastSeconds of that
// page; at or past now it follows the clock again (`following` then true).
std::int64_t HistoryPage(HistoryTable table, std::int64_t lastSeconds, int direction,
                         std::int64_t nowSeconds, bool& following);

// The shown table's buckets as CSV for a spreadsheet (UTF-8 with a byte
// order mark, which spreadsheets need to take it as UTF-8).
std::string HistoryViewCsv(HistoryStore& store, HistoryTable table, const HistoryScope& scope,
                           const ChartModel& chart);

// The limit's scope of an interface choice: a name, or kAllInterfaces.
std::string LimitScopeOf(const HistoryScope& scope);

// --- The window's settings ("上限と表示の設定") ------------------------------------

// A limit as its editor shows it: megabytes below a gigabyte, else
// gigabytes; 0 for none.
struct LimitAmount {
  double amount = 0;
  bool gigabytes = true;
};
LimitAmount LimitAmountOf(const TrafficLimit* limit);
std::uint64_t LimitOctetsOf(const LimitAmount& amount);
// "1.5", "200", "" for none: what an editor of text shows.
std::string LimitAmountText(double amount);
// What a user typed ("1.5", "２００", blank for none); nullopt unless a
// number from 0 up.
std::optional<double> ParseLimitAmount(const std::string& text);
// Sets (octets above 0) or removes the scope's limit of a period.
void SetLimit(HistorySettings& settings, const std::string& scope, LimitPeriod period,
              std::uint64_t octets);

// The settings' captions, in the order the editors show them.
inline constexpr const char* kLimitScopeCaption = "上限の対象";
inline constexpr const char* kDailyLimitCaption = "1日の上限 (受信+送信)";
inline constexpr const char* kMonthlyLimitCaption = "1か月の上限 (受信+送信)";
inline constexpr const char* kWarnPercentCaption = "先に知らせる使用率";
inline constexpr const char* kMonthStartCaption = "1か月の始まり";
inline constexpr const char* kTotalsCaption = "総受信量・総送信量の表示";
// By TotalsSource.
inline constexpr const char* kTotalsChoices[] = {"起動してから (これまでどおり)", "今日", "今月"};
struct RetentionChoice {
  const char* caption;  // "5分ごとの記録を残す期間"
  const char* unit;     // "時間"
  int HistoryRetention::*field;
};
inline constexpr RetentionChoice kRetentionChoices[] = {
    {"5分ごとの記録を残す期間", "時間", &HistoryRetention::fiveMinuteHours},
    {"1時間ごとの記録を残す期間", "日", &HistoryRetention::hourDays},
    {"1日ごとの記録を残す期間", "日", &HistoryRetention::dayDays},
    {"1か月ごとの記録を残す期間", "か月", &HistoryRetention::monthMonths},
    {"1年ごとの記録を残す期間", "年", &HistoryRetention::yearYears}};
inline constexpr int kRetentionMax = 100000;
inline constexpr const char* kForEverCaption = "無期限";  // a retention of 0
inline constexpr const char* kNoLimitCaption = "なし";    // a limit of 0

}  // namespace mirel
