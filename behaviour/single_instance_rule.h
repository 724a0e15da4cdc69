// One monitor per desktop session: the decisions around it. Which name a
// session's monitor goes by, and what a start does with the answer to its
// claim. The lock and the socket that carry the claim are the platform's.
#pragma once

#include <optional>
#include <string>

#include "behaviour/command_line.h"
#include "platform/instance_guard.h"  // InstanceClaim, the answer to a claim

namespace mirel {

// The name of a session's monitor: one per user and display, since a window
// can only come forward on its own display. On Linux `id` is the user id and
// `place` the X display (":0", "host:10.0", the screen number does not
// count) or else the Wayland display; on Windows `id` is the session number
// and `place` the user name. Characters a file name should not hold become "_".
std::string InstanceName(unsigned id, const std::optional<std::string>& place);

// The display that tells a Linux session: the toolkit's -display option,
// else $DISPLAY, else $WAYLAND_DISPLAY.
std::optional<std::string> SessionDisplay(const std::optional<std::string>& displayOption,
                                          const EnvironmentLookup& env = ProcessEnvironment);

// What a start does after its claim.
struct ClaimOutcome {
  bool run = false;     // go on and start the monitor
  int exitStatus = 0;   // otherwise end with this status...
  std::string message;  // ...after writing this to the error output (may be empty)
};
// kFirst runs; kForwarded ends at once with 0 (the running monitor is in
// front); kUnreachable ends with 1 and says which lock holds it.
ClaimOutcome AfterClaim(InstanceClaim claim, const std::string& lockPath);

}  // namespace mirel
