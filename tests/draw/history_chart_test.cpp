// The history window's chart: its model from known buckets, and its pixels.
#include "drawing/history_chart.h"

#include <gtest/gtest.h>

namespace mirel {
namespace {

const StripFont& Font() {
  static StripFontLoad load = StripFont::Open();
  if (!load.font) ADD_FAILURE() << load.error;
  return *load.font;
}

constexpr std::uint64_t kMB = 1024 * 1024;
constexpr std::uint64_t kGB = 1024 * kMB;

HistoryBucket Day(int month, int day, std::uint64_t rx, std::uint64_t tx) {
  return {BucketOf(HistoryTable::kDays, LocalStart(2026, month, day, 12)), rx, tx};
}

std::vector<std::string> Labels(const std::vector<ChartTick>& ticks) {
  std::vector<std::string> out;
  for (const ChartTick& t : ticks) out.push_back(t.label);
  return out;
}

TEST(HistoryChart, ModelOfAMonthOfDaysAndItsPixels) {
  std::uint64_t top = 0;
  EXPECT_EQ(Labels(ChartTicks(1700 * kMB, top)),
            (std::vector<std::string>{"0", "0.5 GB", "1.0 GB", "1.5 GB", "2.0 GB"}));
  EXPECT_EQ(top, 2 * kGB);
  EXPECT_EQ(Labels(ChartTicks(867 * kMB, top)).back(), "1000 MB");
  EXPECT_EQ(Labels(ChartTicks(0, top)), (std::vector<std::string>{"0", "1 KB"}));

  // A month of days up to 8 December: the 7th of November falls outside.
  const std::vector<HistoryBucket> buckets = {Day(11, 7, 5 * kGB, 0), Day(12, 1, kGB, 100 * kMB),
                                              Day(12, 8, 512 * kMB, 0)};
  const ChartModel model =
      BuildChartModel(HistoryTable::kDays, buckets, LocalStart(2026, 12, 8, 12));
  ASSERT_EQ(model.columns.size(), 31u);
  EXPECT_EQ(BucketLabel(HistoryTable::kDays, model.columns.front().time), "2026-11-08");
  EXPECT_EQ(BucketLabel(HistoryTable::kDays, model.columns.back().time), "2026-12-08");
  EXPECT_EQ(model.totalRx, kGB + 512 * kMB);
  EXPECT_EQ(model.totalTx, 100 * kMB);
  EXPECT_EQ(model.scaleMax, kGB);
  std::vector<std::string> labels;
  for (const ChartColumn& c : model.columns)
    if (!c.label.empty()) labels.push_back(c.label);
  EXPECT_EQ(labels, (std::vector<std::string>{"11日", "16日", "21日", "26日", "12/1", "6日"}));

  // A gradient that tells its columns apart: red grows from left to right.
  Canvas rxGradient(157, 13), txGradient(157, 13);
  for (int x = 0; x < 157; ++x) {
    rxGradient.FillRect(x, 0, 1, 13, Rgb(x, 0, 255));
    txGradient.FillRect(x, 0, 1, 13, Rgb(x, 255, 0));
  }
  const ChartLook look{Rgb(0, 0, 0), Rgb(255, 255, 255), &rxGradient, &txGradient};
  Canvas canvas(420, 200);
  DrawHistoryChart(canvas, Font(), model, look);
  const ChartLayout l = LayoutChart(model, canvas.width(), canvas.height());
  const int bottom = l.plotTop + l.plotHeight - 1;
  const int dec1 = 23;  // 1 December is the 24th column
  ASSERT_EQ(model.columns[dec1].rx, kGB);
  // The full-scale bar: the gradient's start at the bottom, its end at the top.
  EXPECT_EQ(canvas.GetPixel(l.ColumnX(dec1), bottom), Rgb(0, 0, 255));
  EXPECT_EQ(canvas.GetPixel(l.ColumnX(dec1) + l.barWidth - 1, l.plotTop), Rgb(156, 0, 255));
  // The sent bar beside it is a tenth as high.
  const int txHeight = l.BarHeight(100 * kMB, kGB);
  EXPECT_EQ(txHeight, l.plotHeight / 10);
  const int txX = l.ColumnX(dec1) + l.barWidth;
  EXPECT_EQ(canvas.GetPixel(txX, bottom - txHeight + 1),
            txGradient.GetPixel((txHeight - 1) * 156 / (l.plotHeight - 1), 6));
  EXPECT_EQ(canvas.GetPixel(txX, bottom - txHeight - 1), Rgb(0, 0, 0));
  // A day without traffic shows nothing but the background.
  for (int y = l.plotTop + 2; y <= bottom; ++y) {
    if (canvas.GetPixel(l.ColumnX(1), y) != Rgb(0, 0, 0) &&
        canvas.GetPixel(l.ColumnX(1), y) != Rgb(63, 63, 63)) {  // a step line
      ADD_FAILURE() << "a bar on a day without traffic at y " << y;
      break;
    }
  }
  // The zero line under the bars is the text colour.
  EXPECT_EQ(canvas.GetPixel(l.ColumnX(1), bottom + 1), Rgb(255, 255, 255));

  // Receive and send in the same colours: the sent bars go halfway to the back.
  const ChartLook same{Rgb(0, 0, 0), Rgb(255, 255, 255), &rxGradient, &rxGradient};
  DrawHistoryChart(canvas, Font(), model, same);
  EXPECT_EQ(canvas.GetPixel(l.ColumnX(dec1), bottom), Rgb(0, 0, 255));
  EXPECT_EQ(canvas.GetPixel(txX, bottom), Rgb(0, 0, 128));
}

}  // namespace
}  // namespace mirel
