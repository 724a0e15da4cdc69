// The "変更" buttons on the proxy-switch, Active Scripting and Java applet
// strips. A left press is attributed to a button by the colour of the pixel
// under it alone: each button has a fixed set of colours (its face and text
// colours and the forms they take at lower colour depths), independent of the
// user's strip colours. The new state is the opposite of what the strip's
// readout shows, not of a fresh read, so the click always flips what the user
// sees.
#pragma once

#include <cstdint>

#include "browser_control/registry.h"
#include "monitor/monitor_state.h"

namespace mirel {

enum class SwitchToggle { kNone, kProxy, kActiveScripting, kJavaApplet };

// The button whose colour set holds `colour` (0x00BBGGRR, as ToColour gives
// for a pixel), or kNone.
SwitchToggle ToggleForColour(std::uint32_t colour);

// Handles a left press whose pixel has `colour`: writes the setting of the
// matching button through registry.WriteRegDword, from the readouts of items
// 107, 108 and 109 in `state`:
//   kProxy            ProxyEnable = 1 when item 107 reads "OFF", else 0
//   kActiveScripting  zone 3 "1400" = 0 when item 108 reads "OFF", else 3
//   kJavaApplet       zone 3 "1402" = 0 when item 109 reads "OFF", else 3
// Returns the button that was handled (also when its write failed; the
// registry then reports the failure), kNone when the colour is no button's.
SwitchToggle ApplySwitchToggle(RegistryAccess& registry, std::uint32_t colour,
                               const MonitorState& state);

}  // namespace mirel
