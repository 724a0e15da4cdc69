#include "drawing/monitor_engine.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "drawing/graph.h"
#include "drawing/strip_font.h"
#include "drawing/strips.h"
#include "drawing/toolbar_caption.h"
#include "readings/rates.h"

namespace mirel {

namespace {

constexpr int kWidthTwips = 2496;
constexpr int kTwipsPerPixel = 15;
constexpr int kWindowFrameTwips = 128;
// Samples far above or below the picture draw nothing more than these do;
// the bound keeps the 16-bit fields and the line length in range.
constexpr int kGraphHeightBound = 1000;

// What a strip was last drawn from. A strip is a picture of these inputs
// alone, so when a tick brings the same again (the addresses, the switches,
// the totals of an idle machine, the disks) the picture it keeps is already
// the right one and is not drawn again.
class StripMemo {
 public:
  // Whether the inputs are those of the last drawing; remembers them if not.
  bool Same(std::string_view text, StripColours colours, const Canvas* gradient, int bar) {
    const bool same = valid_ && text == text_ && colours.back == colours_.back &&
                      colours.text == colours_.text && bar == bar_ &&
                      (gradient != nullptr) == hasGradient_ && SameBar(gradient, bar);
    if (same) return true;
    valid_ = true;
    text_.assign(text);
    colours_ = colours;
    bar_ = bar;
    hasGradient_ = gradient != nullptr;
    KeepBar(gradient, bar);
    return false;
  }

 private:
  // The part of the gradient image that the bar copies, row by row.
  std::size_t BarPixels(const Canvas* gradient, int bar) const {
    if (gradient == nullptr || bar <= 0) return 0;
    return static_cast<std::size_t>(std::min(bar, gradient->width()));
  }
  bool SameBar(const Canvas* gradient, int bar) const {
    const std::size_t n = BarPixels(gradient, bar);
    if (n == 0) return true;
    const auto rows = static_cast<std::size_t>(std::min(gradient->height(), kStripHeight));
    if (barPixels_.size() != n * rows) return false;
    for (std::size_t r = 0; r < rows; ++r) {
      if (std::memcmp(gradient->data() + r * static_cast<std::size_t>(gradient->width()),
                      barPixels_.data() + r * n, n * sizeof(std::uint32_t)) != 0)
        return false;
    }
    return true;
  }
  void KeepBar(const Canvas* gradient, int bar) {
    barPixels_.clear();
    const std::size_t n = BarPixels(gradient, bar);
    if (n == 0) return;
    const auto rows = static_cast<std::size_t>(std::min(gradient->height(), kStripHeight));
    for (std::size_t r = 0; r < rows; ++r) {
      const std::uint32_t* row = gradient->data() + r * static_cast<std::size_t>(gradient->width());
      barPixels_.insert(barPixels_.end(), row, row + n);
    }
  }

  bool valid_ = false;
  std::string text_;
  StripColours colours_;
  int bar_ = 0;
  bool hasGradient_ = false;
  std::vector<std::uint32_t> barPixels_;
};

}  // namespace

std::optional<WindowFit> FitWindowToStack(bool& resizePending, int drawMode, int stackHeight) {
  if (!resizePending && drawMode != 1) return std::nullopt;
  resizePending = false;
  return WindowFit{stackHeight * kTwipsPerPixel + kWindowFrameTwips, kWidthTwips, stackHeight};
}

struct MonitorEngine::Surfaces {
  std::array<Canvas, kItemCount> strips;  // by slot (key - 100)
  std::vector<Canvas> driveStrips;        // by drive row
  Canvas notice{kStripWidth, kStripHeight, kNoticeRectColour};
  Canvas graph;
  Canvas scratch;
  Canvas composed{kComposedWidth, 0};
  std::array<Canvas, 3> switches{MakeSwitchImage(0), MakeSwitchImage(1), MakeSwitchImage(2)};
  std::array<StripMemo, kItemCount> stripMemos;
  std::vector<StripMemo> driveMemos;
};

MonitorEngine::MonitorEngine(SettingsModel& model, TickSources& sources, GradientImages& gradients,
                             const StripFont& font)
    : model_(model),
      sources_(sources),
      gradients_(gradients),
      font_(font),
      surfaces_(new Surfaces) {
  for (Canvas& strip : surfaces_->strips)
    strip.Resize(kStripWidth, kStripHeight, model.backColor());
  surfaces_->graph.Resize(kGraphPictureWidth, kGraphPictureHeight, model.graphBackColor());
  surfaces_->scratch.Resize(kGraphPictureWidth, kGraphPictureHeight);
}

MonitorEngine::~MonitorEngine() {
  delete surfaces_;
}

const Canvas& MonitorEngine::composed() const {
  return surfaces_->composed;
}

void MonitorEngine::ClearGraph() {
  state_.graphHeight = 0;
  state_.graphPrevHeight = 0;
  surfaces_->graph.Clear(model_.graphBackColor());
}

void MonitorEngine::RepaintGraphBackground() {
  surfaces_->graph.Clear(model_.graphBackColor());
}

void MonitorEngine::Tick(int intervalMs) {
  Tick(intervalMs, MonotonicNowMs());
}

void MonitorEngine::Tick(int intervalMs, std::int64_t nowMs) {
  state_.composedHeight = 0;
  SampleTick(state_, model_, sources_, intervalMs, nowMs);
  Draw();
}

void MonitorEngine::Draw() {
  state_.composedHeight = 0;
  // Strips.
  const StripColours colours{model_.backColor(), model_.textColor()};
  const int graphSource = model_.graphSource();
  const int rateUnit = model_.rateUnit();
  for (int key : kStripDrawOrder) {
    if (!StripDrawn(key, state_.shownFlags, graphSource)) continue;
    const Canvas* gradient = nullptr;
    const Canvas* switchImage = nullptr;
    int bar = 0;
    switch (key) {
      case 100:
        bar = PercentBarWidth(state_.cpuPercent);
        break;
      case 101:
        bar = PercentBarWidth(state_.memPercent);
        break;
      case 102:
        bar = RateBarWidth(state_.rxRate, FullScale(model_.receiveSpeed, rateUnit));
        break;
      case 103:
        bar = RateBarWidth(state_.txRate, FullScale(model_.sendSpeed, rateUnit));
        break;
      case 107:
      case 108:
      case 109:
        switchImage = &surfaces_->switches[static_cast<std::size_t>(key - 107)];
        break;
      default:
        break;
    }
    if (key <= 103) gradient = &gradients_.items[static_cast<std::size_t>(key - 100)];
    const bool mark = state_.overLimit && (key == 102 || key == 103);
    const std::string& text = state_.Text(key);
    // The memo tells a marked strip from the same strip without the mark.
    std::string marked;
    std::string_view memoText = text;
    if (mark) memoText = marked = text + '\x01';
    if (surfaces_->stripMemos[static_cast<std::size_t>(key - 100)].Same(memoText, colours, gradient,
                                                                        bar))
      continue;  // the strip already shows exactly this
    Canvas& strip = surfaces_->strips[static_cast<std::size_t>(key - 100)];
    if (key == 114 && state_.dateLine.full == text) {
      DrawDateStrip(strip, font_, state_.dateLine, colours);
      continue;
    }
    DrawItemStrip(strip, font_, key, text, colours, gradient, bar, switchImage);
    if (mark) DrawLimitMark(strip);
  }

  surfaces_->driveStrips.resize(model_.drives.size());
  surfaces_->driveMemos.resize(model_.drives.size());
  if (state_.shownFlags[12]) {
    const int hddUnit = model_.hddUnit();
    for (std::size_t d = 0; d < model_.drives.size(); ++d) {
      if (!model_.drives[d].checked) continue;
      const DiskTexts texts = ReadDiskTexts(state_, sources_.system, model_.drives[d], hddUnit);
      const Canvas* gradient = d < gradients_.drives.size() ? &gradients_.drives[d] : nullptr;
      const int bar = PercentBarWidth(texts.percentValue);
      const std::string all = texts.name + '\n' + texts.free + '\n' + texts.total + '\n' +
                              texts.percent + '\n' + std::to_string(hddUnit);
      if (surfaces_->driveMemos[d].Same(all, colours, gradient, bar)) continue;
      DrawDiskStrip(surfaces_->driveStrips[d], font_, texts, hddUnit, colours, gradient, bar);
    }
  }

  const bool notice = NoticeActive(sources_.web, model_.versionCheckAuto);
  if (notice) DrawNoticeStrip(surfaces_->notice, font_, sources_.web.notice, state_.noticeScroll);

  // Graph.
  if (graphSource >= 1 && graphSource <= 4) {
    int height = 0;
    switch (graphSource) {
      case 1:
        height = PercentGraphHeight(state_.cpuPercent);
        break;
      case 2:
        height = PercentGraphHeight(state_.memPercent);
        break;
      case 3:
        height = GraphSampleHeight(state_.rxRate, FullScale(model_.receiveSpeed, rateUnit));
        break;
      case 4:
        height = GraphSampleHeight(state_.txRate, FullScale(model_.sendSpeed, rateUnit));
        break;
    }
    state_.graphHeight =
        static_cast<std::int16_t>(std::clamp(height, -kGraphHeightBound, kGraphHeightBound));
    DrawGraphSegment(surfaces_->graph, state_.graphHeight, state_.graphPrevHeight,
                     model_.graphLineColor());
    ScrollGraph(surfaces_->graph, surfaces_->scratch, model_.graphBackColor());
  }

  // Composition: the notice refits the window on every tick it shows.
  if (notice) model_.resizePending = true;
  const StackParts parts{surfaces_->strips, surfaces_->driveStrips, surfaces_->graph,
                         notice ? &surfaces_->notice : nullptr};
  const int height =
      ComposeStack(surfaces_->composed, model_.items, model_.drives, parts, &changedRows_);
  state_.composedHeight = static_cast<std::int16_t>(height);
  if (std::optional<WindowFit> fitted =
          FitWindowToStack(model_.resizePending, model_.drawMode(), height)) {
    fit = fitted;
  }
  state_.graphPrevHeight = state_.graphHeight;

  toolbarCaption_ = ToolbarCaption(model_, state_);
}

}  // namespace mirel
