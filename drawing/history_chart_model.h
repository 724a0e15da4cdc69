// What the history window's bar chart shows, without pixels: a fixed run
// of buckets ending at a chosen one, the value axis with round steps in the
// units the figures are shown in, and the labels under the buckets. Both
// shells draw it with DrawHistoryChart; tests read it directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "readings/history_store.h"
#include "readings/history_time.h"

namespace mirel {

// How many buckets the chart shows of each table: six hours of 5-minute
// buckets, two days of hours, a month of days, a year of months, ten years.
int ChartColumnCount(HistoryTable table);

struct ChartColumn {
  BucketTime time;
  std::uint64_t rx = 0;
  std::uint64_t tx = 0;
  std::string label;  // under the column, or empty
};

struct ChartTick {
  std::uint64_t value = 0;
  std::string label;  // "512 MB", "1 GB"
};

struct ChartModel {
  HistoryTable table = HistoryTable::kDays;
  std::vector<ChartColumn> columns;  // oldest first
  std::uint64_t scaleMax = 0;        // the top of the value axis
  std::vector<ChartTick> ticks;      // from 0 up to scaleMax
  std::uint64_t totalRx = 0;
  std::uint64_t totalTx = 0;
  std::int64_t begin = 0;  // the first column's start
  std::int64_t end = 0;    // the end of the last column
};

// The chart of `buckets` (one table, oldest first, as the store gives
// them) over ChartColumnCount buckets that end with the one holding lastSeconds.
ChartModel BuildChartModel(HistoryTable table, const std::vector<HistoryBucket>& buckets,
                           std::int64_t lastSeconds);
// The span such a chart covers, to ask the store for.
struct ChartSpan {
  std::int64_t begin = 0;
  std::int64_t end = 0;
};
ChartSpan ChartSpanOf(HistoryTable table, std::int64_t lastSeconds);

// A round top for the value axis at or above `peak` and its steps: 1, 2 or
// 5 times a power of ten of a unit (KB, MB, ...), three to five steps.
std::vector<ChartTick> ChartTicks(std::uint64_t peak, std::uint64_t& scaleMax);

}  // namespace mirel
