// An exclusive lock on a file among processes, held while the object lives
// and let go by the system when the process ends, however it ends: so that
// of two monitors of one user (two sessions) only one records the history.
#pragma once

#include <filesystem>
#include <memory>

namespace mirel {

class FileLock {
 public:
  enum class Result {
    kLocked,
    kHeldElsewhere,  // another process holds it
    kFailed,         // the file cannot be made or locked
  };
  // Makes the file when it is missing.
  static std::unique_ptr<FileLock> TryLock(const std::filesystem::path& file, Result& result);
  virtual ~FileLock() = default;
};

}  // namespace mirel
