// The "変更" buttons on the proxy-switch, Active Scripting and Java applet
// strips. A left press is attributed to a button by the colour of the pixel
// under it alone: each button has a fixed set of colours (its face and text
// colours and the forms they take at lower colour depths), independent of the
// user's strip colours. The new state is the opposite of what the strip's
// readout shows, not of a fresh read, so the click always flips what the user
// sees.
#pragma once

#include <cstdint>
#include <string>

#include "readings/registry.h"

namespace mirel {

enum class SwitchToggle { kNone, kProxy, kActiveScripting, kJavaApplet };

// What the three switch strips show: "ON", "OFF", or whatever text their
// readout has not replaced yet.
struct SwitchReadouts {
  std::string proxy;            // item 107, the proxy switch
  std::string activeScripting;  // item 108
  std::string javaApplet;       // item 109
};

// What a mouse press on the monitor window does, by the buttons held: with
// the left one among them the window is dragged; exactly the right one opens
// the menu; exactly the left one also toggles, after the drag, the switch
// under the press (SwitchClicked with the colour at the press position).
// Anything else (the middle button) does nothing.
struct MonitorPress {
  bool drag = false;
  bool menu = false;
  bool toggle = false;
};
MonitorPress PressOnMonitor(bool left, bool right, bool middle);

// The button whose colour set holds `colour` (0x00BBGGRR, as ToColour gives
// for a pixel), or kNone.
SwitchToggle ToggleForColour(std::uint32_t colour);

// Handles a left press whose pixel has `colour`: writes the setting of the
// matching button through registry.WriteRegDword, from what its strip shows:
//   kProxy            ProxyEnable = 1 when the proxy switch reads "OFF", else 0
//   kActiveScripting  zone 3 "1400" = 0 when Active Scripting reads "OFF", else 3
//   kJavaApplet       zone 3 "1402" = 0 when Java applets read "OFF", else 3
// Returns the button that was handled (also when its write failed; the
// registry then reports the failure), kNone when the colour is no button's.
SwitchToggle ApplySwitchToggle(RegistryAccess& registry, std::uint32_t colour,
                               const SwitchReadouts& shown);

}  // namespace mirel
