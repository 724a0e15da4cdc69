#include "drawing/history_chart_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mirel {

namespace {

std::string ColumnLabel(HistoryTable table, BucketTime time) {
  const LocalFields f = FieldsAt(time.start, time.utcOffset);
  switch (table) {
    case HistoryTable::kFiveMinutes:
      return f.minute == 0 ? std::to_string(f.hour) + "時" : std::string();
    case HistoryTable::kHours:
      if (f.hour == 0) return std::to_string(f.month) + "/" + std::to_string(f.day);
      return f.hour % 6 == 0 ? std::to_string(f.hour) + "時" : std::string();
    case HistoryTable::kDays:
      if (f.day == 1) return std::to_string(f.month) + "/1";
      return f.day % 5 == 1 && f.day < 30 ? std::to_string(f.day) + "日" : std::string();
    case HistoryTable::kMonths:
      return f.month == 1 ? std::to_string(f.year) : std::to_string(f.month) + "月";
    case HistoryTable::kYears:
      return std::to_string(f.year);
  }
  return {};
}

std::string TickLabel(double units, double step, int unit) {
  static constexpr const char* kUnits[] = {"B", "KB", "MB", "GB", "TB"};
  if (units == 0) return "0";
  char text[32];
  std::snprintf(text, sizeof text, step < 1 ? "%.1f %s" : "%.0f %s", units, kUnits[unit]);
  return text;
}

}  // namespace

int ChartColumnCount(HistoryTable table) {
  switch (table) {
    case HistoryTable::kFiveMinutes:
      return 72;
    case HistoryTable::kHours:
      return 48;
    case HistoryTable::kDays:
      return 31;
    case HistoryTable::kMonths:
      return 12;
    case HistoryTable::kYears:
      return 10;
  }
  return 1;
}

ChartSpan ChartSpanOf(HistoryTable table, std::int64_t lastSeconds) {
  const std::int64_t last = BucketOf(table, lastSeconds).start;
  return {BucketsBack(table, lastSeconds, ChartColumnCount(table) - 1),
          NextBucketStart(table, last)};
}

std::vector<ChartTick> ChartTicks(std::uint64_t peak, std::uint64_t& scaleMax) {
  if (peak == 0) {
    // Nothing to show: an axis up to 1 KB, with no steps between.
    scaleMax = 1024;
    return {{0, "0"}, {1024, "1 KB"}};
  }
  int unit = 0;
  double size = 1;
  while (unit < 4 && static_cast<double>(peak) >= size * 1024) {
    size *= 1024;
    ++unit;
  }
  const double m = std::max(static_cast<double>(peak) / size, 1.0);
  static constexpr double kSteps[] = {0.2, 0.5, 1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
  double step = kSteps[0];
  for (double s : kSteps) {
    step = s;
    if (std::ceil(m / s - 1e-9) <= 5) break;
  }
  const int steps = std::max(1, static_cast<int>(std::ceil(m / step - 1e-9)));
  std::vector<ChartTick> ticks;
  for (int i = 0; i <= steps; ++i) {
    const double units = i * step;
    ticks.push_back(
        {static_cast<std::uint64_t>(std::llround(units * size)), TickLabel(units, step, unit)});
  }
  scaleMax = ticks.back().value;
  return ticks;
}

ChartModel BuildChartModel(HistoryTable table, const std::vector<HistoryBucket>& buckets,
                           std::int64_t lastSeconds) {
  ChartModel model;
  model.table = table;
  const ChartSpan span = ChartSpanOf(table, lastSeconds);
  model.begin = span.begin;
  model.end = span.end;
  auto next = std::lower_bound(
      buckets.begin(), buckets.end(), span.begin,
      [](const HistoryBucket& b, std::int64_t start) { return b.time.start < start; });
  std::uint64_t peak = 0;
  for (std::int64_t start = span.begin; start < span.end; start = NextBucketStart(table, start)) {
    ChartColumn column;
    column.time = {start, UtcOffsetAt(start)};
    // Buckets of the store that fall in this column (one, unless the time
    // zone changed and two starts share a column).
    const std::int64_t columnEnd = NextBucketStart(table, start);
    for (; next != buckets.end() && next->time.start < columnEnd; ++next) {
      column.rx += next->rx;
      column.tx += next->tx;
    }
    column.label = ColumnLabel(table, column.time);
    model.totalRx += column.rx;
    model.totalTx += column.tx;
    peak = std::max({peak, column.rx, column.tx});
    model.columns.push_back(std::move(column));
  }
  model.ticks = ChartTicks(peak, model.scaleMax);
  return model;
}

}  // namespace mirel
