#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/file_lock.h"

namespace mirel {

namespace {

class PosixFileLock final : public FileLock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}
  ~PosixFileLock() override { ::close(fd_); }  // closing lets the lock go

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<FileLock> FileLock::TryLock(const std::filesystem::path& file, Result& result) {
  result = Result::kFailed;
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) result = Result::kHeldElsewhere;
    ::close(fd);
    return nullptr;
  }
  result = Result::kLocked;
  return std::make_unique<PosixFileLock>(fd);
}

}  // namespace mirel
