// Every core test runs against an in-memory GSettings and a fixed locale,
// never against the desktop settings of the machine that runs it. Set here
// rather than through ctest, so running the binary by hand is just as safe.
// (On Windows the locale is the user's, and there is no GSettings.)
#include <cstdlib>

namespace {

#ifndef _WIN32
const bool kEnvironmentSet = [] {
  setenv("GSETTINGS_BACKEND", "memory", 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  return true;
}();
#endif

}  // namespace
