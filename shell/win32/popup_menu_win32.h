// The popup menu of the tray icon and of the monitor window: the menu model
// of the behaviour (entries, captions, marks and ids) as a Win32 menu,
// tracked until the user chooses or leaves it.
#pragma once

#include <windows.h>

#include "behaviour/popup_menu.h"

namespace mirel::win32 {

// Shows `menu` at `at` (screen, device pixels) for `owner` and returns the
// id of the chosen command, 0 when none was chosen.
int TrackMenu(HWND owner, const MenuModel& menu, POINT at);

}  // namespace mirel::win32
