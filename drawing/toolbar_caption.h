// The caption of the toolbar window: the readings the user ticked, so that
// they show in the task bar.
#pragma once

#include <string>

#include "readings/monitor_state.h"
#include "settings/settings_model.h"

namespace mirel {

// Processor, memory, receive and send, in that order, each followed by its
// own separator (" ", " ", "受 ", "送 "); the program title when nothing is
// ticked or the toolbar is not shown.
std::string ToolbarCaption(const SettingsModel& model, const MonitorState& state);

}  // namespace mirel
