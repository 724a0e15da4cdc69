// The history window's bar chart as pixels: for every column of the model a
// received bar and a sent bar side by side, painted from the monitor's own
// gradient images of "受信量" and "送信量" (start colour at the bottom), on
// the monitor's back colour, with the value axis's steps as lines and the
// strip font's labels.
#pragma once

#include <cstdint>

#include "drawing/canvas.h"
#include "drawing/history_chart_model.h"
#include "drawing/strip_font.h"

namespace mirel {

struct ChartLook {
  std::uint32_t back = 0;              // 0x00BBGGRR
  std::uint32_t text = 0xFFFFFF;       // labels
  const Canvas* rxGradient = nullptr;  // the receive item's gradient image
  const Canvas* txGradient = nullptr;  // the send item's
};

// Where the parts of the chart lie on a canvas of a given size.
struct ChartLayout {
  int plotLeft = 0, plotTop = 0, plotWidth = 0, plotHeight = 0;
  int columnWidth = 0;
  int barWidth = 0;
  // The received bar of column i starts at ColumnX(i); the sent bar right of it.
  int ColumnX(int i) const { return plotLeft + i * columnWidth + (columnWidth - 2 * barWidth) / 2; }
  // Bar height in pixels of a value on this scale; at least 1 for any octet.
  int BarHeight(std::uint64_t value, std::uint64_t scaleMax) const;
};
ChartLayout LayoutChart(const ChartModel& model, int width, int height);

// Draws the whole chart over the canvas.
void DrawHistoryChart(Canvas& canvas, const StripFont& font, const ChartModel& model,
                      const ChartLook& look);

}  // namespace mirel
