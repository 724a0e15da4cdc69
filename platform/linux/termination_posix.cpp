// Termination requests on POSIX systems: a self-pipe. The handler writes one
// byte and is reset to the default by SA_RESETHAND, so a second signal ends
// a program that no longer gets to its event loop.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/termination.h"

namespace mirel {

namespace {

int writeEnd = -1;

extern "C" void OnTerminationSignal(int) {
  const int saved = errno;
  const char byte = 1;
  (void)!::write(writeEnd, &byte, 1);
  errno = saved;
}

class PipeRequests final : public TerminationRequests {
 public:
  explicit PipeRequests(int readEnd) : readEnd_(readEnd) {}
  PipeRequests(const PipeRequests&) = delete;
  PipeRequests& operator=(const PipeRequests&) = delete;
  // The handlers stay: the write end stays open for them.
  ~PipeRequests() override = default;

  std::intptr_t Descriptor() const override { return readEnd_; }
  bool Take() override {
    char bytes[64];
    bool any = false;
    while (::read(readEnd_, bytes, sizeof bytes) > 0) any = true;
    return any;
  }

 private:
  int readEnd_;
};

}  // namespace

std::unique_ptr<TerminationRequests> WatchTerminationRequests() {
  static int readEnd = -1;
  if (readEnd < 0) {
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return nullptr;
    readEnd = ends[0];
    writeEnd = ends[1];
    struct sigaction action {};
    action.sa_handler = &OnTerminationSignal;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
  }
  return std::make_unique<PipeRequests>(readEnd);
}

}  // namespace mirel
