// Windows sends a program without a console no termination signals: the end
// of a session reaches the shell's windows as WM_QUERYENDSESSION and
// WM_ENDSESSION, which the shell handles.
#include "platform/termination.h"

namespace mirel {

std::unique_ptr<TerminationRequests> WatchTerminationRequests() {
  return nullptr;
}

}  // namespace mirel
