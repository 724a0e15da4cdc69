// The texts the program shows in message boxes, in one place for both shells.
#pragma once

#include <string>

#include "platform/platform.h"

namespace mirel {

// The adapter table could not be read: one message box each, and start-up
// goes on; empty for a status that shows none.
std::string AdapterMessage(AdapterTableStatus status);

}  // namespace mirel
