// Where the monitor window stands, in the two units the program meets: the
// settings file's twips (15 per pixel, the outer size of a window with a
// thin border) and the window system's pixels. Both shells place their
// borderless monitor window through these, so a file saved on one opens the
// window at the same place on the other.
#pragma once

#include <optional>
#include <vector>

#include "settings/settings_model.h"

namespace mirel {

inline constexpr int kTwipsPerPixel = 15;

struct PixelPoint {
  int x = 0;
  int y = 0;
  bool operator==(const PixelPoint&) const = default;
};

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PixelRect&) const = default;
  bool Intersects(const PixelRect& other) const;
};

// One screen of the desktop: all of it, and what panels leave of it.
struct ScreenArea {
  PixelRect full;
  PixelRect available;
  bool primary = false;
};

// The settings file holds the outer size of a window with a thin border;
// the monitor window has none, so that border is taken off: 2496 twips wide
// is the 158 pixels of the stack, and 15 × h + 128 twips high is h pixels.
inline constexpr int kBorderWidthTwips = 126;
inline constexpr int kBorderHeightTwips = 128;

int TwipsToPixels(int twips);

// The window's place and size from the settings (never less than a pixel).
PixelRect MonitorRectFromTwips(const DisplayGeometry& g);
// The window's place and size as the settings file stores them. Without a
// drawing area (no item shown) the height is that of the border alone.
DisplayGeometry TwipsFromMonitorRect(const PixelRect& r, bool hasDrawingArea);

// A window that lies wholly outside every screen (a monitor that is gone
// since the settings were saved) comes back to the primary screen's usable
// corner: the new top-left, or nullopt when it can stay. `useAvailable`
// tests against the usable areas instead of whole screens.
std::optional<PixelPoint> BroughtOntoAScreen(const PixelRect& window,
                                             const std::vector<ScreenArea>& screens,
                                             bool useAvailable = false);

// The toolbar window: left of and above the visible screen, so that what
// the user sees of it is its task-bar entry.
inline constexpr DisplayGeometry kToolbarWindowTwips{-16513, -1140, 975, 1590, 0};
PixelRect ToolbarWindowRect();

}  // namespace mirel
