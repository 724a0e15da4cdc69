#include "drawing/history_chart.h"

#include <algorithm>
#include <cstdlib>

namespace mirel {

namespace {

constexpr int kTopMargin = 16;     // the legend
constexpr int kBottomMargin = 15;  // the labels under the columns
constexpr int kRightMargin = 6;
constexpr int kSwatch = 9;

// A colour value between a and b, `part` of 256 of the way to b.
std::uint32_t Mix(std::uint32_t a, std::uint32_t b, int part) {
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF);
    const int cb = static_cast<int>((b >> shift) & 0xFF);
    out |= static_cast<std::uint32_t>(ca + (cb - ca) * part / 256) << shift;
  }
  return out;
}

// The colour of a bar's row `row` (0 at the bottom) of plotHeight rows, from
// the gradient image as the monitor's bars show it from left to right.
std::uint32_t BarColour(const Canvas* gradient, int row, int plotHeight, std::uint32_t fallback) {
  if (gradient == nullptr || gradient->width() == 0) return fallback;
  const int x = plotHeight > 1 ? row * (gradient->width() - 1) / (plotHeight - 1) : 0;
  return gradient->GetPixel(x, gradient->height() / 2);
}

// A bar, its colours `shade` of 256 of the way to the back colour.
void DrawBar(Canvas& canvas, int x, int bottom, int width, int height, int plotHeight,
             const Canvas* gradient, std::uint32_t fallback, std::uint32_t back, int shade) {
  for (int row = 0; row < height; ++row) {
    canvas.FillRect(x, bottom - row, width, 1,
                    Mix(BarColour(gradient, row, plotHeight, fallback), back, shade));
  }
}

// How far apart two colours look, roughly: the sum of the channels' distances.
int Distance(std::uint32_t a, std::uint32_t b) {
  int d = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    d += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  return d;
}

}  // namespace

int ChartLayout::BarHeight(std::uint64_t value, std::uint64_t scaleMax) const {
  if (value == 0 || scaleMax == 0) return 0;
  const auto h = static_cast<int>(static_cast<unsigned __int128>(value) *
                                  static_cast<unsigned>(plotHeight) / scaleMax);
  return std::clamp(h, 1, plotHeight);
}

ChartLayout LayoutChart(const ChartModel& model, int width, int height) {
  ChartLayout l;
  // Room for the widest step label (6 pixels a character) and a gap.
  std::size_t widest = 1;
  for (const ChartTick& t : model.ticks) widest = std::max(widest, t.label.size());
  l.plotLeft = static_cast<int>(widest) * kHalfWidthAdvance + 6;
  l.plotTop = kTopMargin;
  l.plotHeight = std::max(1, height - kTopMargin - kBottomMargin);
  const int columns = std::max<int>(1, static_cast<int>(model.columns.size()));
  l.columnWidth = std::max(2, (width - l.plotLeft - kRightMargin) / columns);
  l.plotWidth = l.columnWidth * columns;
  const int gap = std::max(1, l.columnWidth / 5);
  l.barWidth = std::max(1, (l.columnWidth - gap) / 2);
  return l;
}

void DrawHistoryChart(Canvas& canvas, const StripFont& font, const ChartModel& model,
                      const ChartLook& look) {
  canvas.Clear(look.back);
  const ChartLayout l = LayoutChart(model, canvas.width(), canvas.height());
  const std::uint32_t grid = Mix(look.back, look.text, 64);
  const std::uint32_t rxColour =
      BarColour(look.rxGradient, l.plotHeight - 1, l.plotHeight, 0x0080FF);
  std::uint32_t txColour = BarColour(look.txGradient, l.plotHeight - 1, l.plotHeight, 0xFF00FF);
  // Receive and send in (nearly) the same colours would be one bar: the
  // sent one is then drawn halfway to the back colour.
  const int txShade = Distance(rxColour, txColour) < 96 ? 128 : 0;
  txColour = Mix(txColour, look.back, txShade);
  const int bottom = l.plotTop + l.plotHeight - 1;

  // Legend, at the top right.
  int x = canvas.width() - kRightMargin - 2 * (kSwatch + 3 + 24 + 8);
  for (const auto& [colour, caption] : {std::pair{rxColour, "受信"}, std::pair{txColour, "送信"}}) {
    canvas.FillRect(x, 3, kSwatch, kSwatch, colour);
    x = font.Draw(canvas, x + kSwatch + 3, 1, caption, look.text) + 8;
  }

  // The value axis: a line and a label per step.
  for (const ChartTick& tick : model.ticks) {
    const int y = bottom + 1 - l.BarHeight(tick.value, model.scaleMax);
    canvas.FillRect(l.plotLeft, y, l.plotWidth, 1, tick.value == 0 ? look.text : grid);
    const int labelX = l.plotLeft - 4 - font.TextWidth(tick.label);
    font.Draw(canvas, labelX, std::clamp(y - 6, 0, canvas.height() - kCellHeight), tick.label,
              look.text);
  }

  int labelEnd = 0;
  for (std::size_t i = 0; i < model.columns.size(); ++i) {
    const ChartColumn& column = model.columns[i];
    const int sx = l.ColumnX(static_cast<int>(i));
    DrawBar(canvas, sx, bottom, l.barWidth, l.BarHeight(column.rx, model.scaleMax), l.plotHeight,
            look.rxGradient, 0x0080FF, look.back, 0);
    DrawBar(canvas, sx + l.barWidth, bottom, l.barWidth, l.BarHeight(column.tx, model.scaleMax),
            l.plotHeight, look.txGradient, 0xFF00FF, look.back, txShade);
    if (column.label.empty()) continue;
    // Hours and 5 minutes are labelled at the tick of the hour's start (the
    // column's left edge), days, months and years under their column; a
    // label that would run into the one before is left out.
    const int edge = l.plotLeft + static_cast<int>(i) * l.columnWidth;
    const bool atEdge =
        model.table == HistoryTable::kFiveMinutes || model.table == HistoryTable::kHours;
    const int mark = atEdge ? edge : edge + l.columnWidth / 2;
    canvas.FillRect(mark, bottom + 2, 1, 2, look.text);
    const int width = font.TextWidth(column.label);
    const int labelX = std::max(mark - width / 2, 0);
    if (labelX < labelEnd + 4) continue;
    labelEnd = font.Draw(canvas, labelX, bottom + 3, column.label, look.text);
  }
}

}  // namespace mirel
