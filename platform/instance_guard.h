// One monitor per user and desktop session. The first start holds a lock in
// a folder private to the user for its whole life and listens beside it; a
// later start finds the lock taken, asks the running monitor to come to the
// front, and ends. The lock belongs to a live process, not to a file on disk:
// whatever a crashed monitor (or anything else) left under the lock's name
// does not block the next start.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace mirel {

enum class InstanceClaim {
  kFirst,        // this process is the monitor of the session
  kForwarded,    // another one runs and was asked to come to the front
  kUnreachable,  // another one holds the lock but did not answer in time
};

class InstanceGuard {
 public:
  virtual ~InstanceGuard() = default;

  // Becomes the session's monitor, or asks the running one to come to the
  // front, waiting at most `wait` for it. Where the lock cannot be had at
  // all (no private folder, a name that cannot be used) this process runs
  // unguarded: kFirst, with a warning on the error stream.
  virtual InstanceClaim Claim(std::chrono::milliseconds wait) = 0;

  // After kFirst: becomes readable (signalled, on Windows) whenever Serve has
  // something to do; -1 when there is nothing to watch.
  virtual std::intptr_t Descriptor() const = 0;
  // Does what is pending without blocking: takes in later starts, answers
  // their requests (calling `activate` for each before the answer), drops
  // connections that stay idle or come in too many, and listens afresh when
  // listening failed.
  virtual void Serve(const std::function<void()>& activate) = 0;

  // Stops listening and lets go of the lock, removing both files (the
  // destructor does the same).
  virtual void Release() = 0;

  virtual std::filesystem::path LockPath() const = 0;
  virtual std::filesystem::path SocketPath() const = 0;
};

// `folder` holds the lock and the socket; `name` tells sessions apart.
std::unique_ptr<InstanceGuard> MakeInstanceGuard(const std::filesystem::path& folder,
                                                 const std::string& name);

// A folder only this user can write: $XDG_RUNTIME_DIR when it is the user's
// own (a folder, not a link, owned by the user, mode 0700), otherwise one
// made for the user in the temporary folder with mode 0700. Empty when
// neither can be had.
std::filesystem::path PrivateRuntimeFolder();

}  // namespace mirel
