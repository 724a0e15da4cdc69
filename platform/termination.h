// Requests from outside to end the program (SIGTERM at logout or from a
// service manager, SIGINT, SIGHUP), delivered to the event loop as a
// descriptor to watch, so that the program ends as it does from its menu.
// Nothing but a byte written to a pipe happens in the signal handler.
#pragma once

#include <cstdint>
#include <memory>

namespace mirel {

class TerminationRequests {
 public:
  virtual ~TerminationRequests() = default;
  // Becomes readable when a request came.
  virtual std::intptr_t Descriptor() const = 0;
  // Takes the pending requests; true when there was one.
  virtual bool Take() = 0;
};

// Installs the handlers (once a process); null where the system sends no
// such requests (Windows ends a session through window messages).
std::unique_ptr<TerminationRequests> WatchTerminationRequests();

}  // namespace mirel
