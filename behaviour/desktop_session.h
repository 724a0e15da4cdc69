// What the desktop session lets the monitor do, decided before and after the
// application object exists: which Qt platform to start on, whether the
// global cursor position can be trusted, and the one-time words to the user
// about what a session cannot give.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mirel {

class UserPreferences;

// Reads a variable of the environment; nullopt when it is not set.
using SessionEnvironment = std::function<std::optional<std::string>(const char* name)>;

// The Qt platform to set before the application object exists: "xcb" on a
// Wayland session that has XWayland (DISPLAY set), where the window keeps its
// position and stays on top, when the user chose no platform (neither
// QT_QPA_PLATFORM nor -platform on the command line). nullopt: leave Qt's
// own choice. `args` without the program name.
std::optional<std::string> ChooseQtPlatform(const std::vector<std::string>& args,
                                            const SessionEnvironment& env);

// A Wayland session: WAYLAND_DISPLAY set or XDG_SESSION_TYPE=wayland.
bool IsWaylandSession(const SessionEnvironment& env);

// Whether the global cursor position can be read: not on a Wayland session,
// natively or through XWayland. Natively a client never learns it; the X
// server of XWayland knows it only while the pointer is over an X window
// (elsewhere it stays where it last left one). There the window's own enter
// and leave events tell. Other platforms (offscreen) answer for themselves.
bool CursorPositionKnown(const std::string& qtPlatform, bool waylandSession);

// The one-time words: shown once per desktop (XDG_CURRENT_DESKTOP), which
// the preferences remember under the key.
inline constexpr const char* kToldNoTrayKey = "desktop.told.no-tray";
inline constexpr const char* kToldNativeWaylandKey = "desktop.told.native-wayland";
inline constexpr const char* kNoTrayText =
    "通知領域 (トレイ) が見つからないため、アイコンを表示できません。"
    "モニタ ウィンドウを右クリックすると、同じメニューが開きます。"
    "通知領域が後から現れたときは、そこにアイコンを表示します。";
inline constexpr const char* kNativeWaylandText =
    "Wayland で直接動いているため、ウィンドウの位置を保つことと、常に手前に表示することが"
    "できません (どちらもウィンドウ マネージャが決めます)。「マウスオーバーで表示」では、"
    "ポインタがウィンドウに乗っている間、表示が消えます。トレイのアイコンのメニューは、"
    "モニタ ウィンドウを一度クリックした後に、その下に開きます。XWayland があるデスクトップでは、"
    "Qt のプラットフォームを指定せずに起動すると XWayland を通して動き、位置と手前の表示が"
    "保たれます。";

// Whether to tell now, and marks it told for this desktop when so.
bool TellOnce(UserPreferences& preferences, const char* key, const SessionEnvironment& env);

}  // namespace mirel
