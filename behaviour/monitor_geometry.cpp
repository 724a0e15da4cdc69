#include "behaviour/monitor_geometry.h"

#include <algorithm>
#include <cmath>

namespace mirel {

bool PixelRect::Intersects(const PixelRect& o) const {
  return width > 0 && height > 0 && o.width > 0 && o.height > 0 && x < o.x + o.width &&
         o.x < x + width && y < o.y + o.height && o.y < y + height;
}

int TwipsToPixels(int twips) {
  return static_cast<int>(std::lround(twips / static_cast<double>(kTwipsPerPixel)));
}

PixelRect MonitorRectFromTwips(const DisplayGeometry& g) {
  return {TwipsToPixels(g.left), TwipsToPixels(g.top),
          std::max(1, TwipsToPixels(g.width - kBorderWidthTwips)),
          std::max(1, TwipsToPixels(g.height - kBorderHeightTwips))};
}

DisplayGeometry TwipsFromMonitorRect(const PixelRect& r, bool hasDrawingArea) {
  const int drawn = hasDrawingArea ? r.height : 0;
  DisplayGeometry d;
  d.left = r.x * kTwipsPerPixel;
  d.top = r.y * kTwipsPerPixel;
  d.width = r.width * kTwipsPerPixel + kBorderWidthTwips;
  d.height = drawn * kTwipsPerPixel + kBorderHeightTwips;
  d.scaleHeight = drawn;
  return d;
}

std::optional<PixelPoint> BroughtOntoAScreen(const PixelRect& window,
                                             const std::vector<ScreenArea>& screens,
                                             bool useAvailable) {
  const ScreenArea* primary = nullptr;
  for (const ScreenArea& s : screens) {
    if ((useAvailable ? s.available : s.full).Intersects(window)) return std::nullopt;
    if (s.primary || primary == nullptr) primary = &s;
  }
  if (primary == nullptr) return std::nullopt;  // nothing known: leave it
  return PixelPoint{primary->available.x, primary->available.y};
}

PixelRect ToolbarWindowRect() {
  return {TwipsToPixels(kToolbarWindowTwips.left), TwipsToPixels(kToolbarWindowTwips.top),
          TwipsToPixels(kToolbarWindowTwips.width), TwipsToPixels(kToolbarWindowTwips.height)};
}

}  // namespace mirel
