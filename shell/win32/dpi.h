// The scale of the desktop. The program is per-monitor DPI aware (its
// manifest says so), so Windows gives it device pixels; the monitor window
// shows its 157-pixel strips at a whole multiple of the 96-dpi size, as the
// Linux build does at a device pixel ratio of 2, so that every strip pixel
// stays a square of equal pixels. The program's own coordinates (those of
// the settings file) are device pixels divided by that multiple.
#pragma once

#include <windows.h>

namespace mirel::win32 {

// The dots per inch of the monitor that shows the window (of the primary
// monitor for no window); 96 where Windows cannot tell.
UINT WindowDpi(HWND window);
// 1 below 144 dpi, 2 from 144 (150 %) to 239, 3 from 240, ...: the nearest
// whole multiple, halves rounded up.
int WholeScale(UINT dpi);

}  // namespace mirel::win32
