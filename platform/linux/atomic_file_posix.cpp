// The atomic file writer on POSIX systems: open O_EXCL, fsync, rename.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/atomic_file_detail.h"

namespace mirel {

namespace fs = std::filesystem;
using namespace atomic_detail;

namespace atomic_detail {

unsigned long CurrentProcessId() {
  return static_cast<unsigned long>(getpid());
}

bool ProcessIsGone(unsigned long pid) {
  if (pid == static_cast<unsigned long>(getpid()) || pid > 0x7FFFFFFFul) return false;
  // EPERM: it runs, as another user.
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace atomic_detail

namespace {

// What failed in words, then the path and the system's own text.
std::string Failure(const char* what, const fs::path& path, int error) {
  return std::string(what) + " (" + PathText(path) + ": " + std::strerror(error) + ")";
}

}  // namespace

std::string WriteFileAtomically(const fs::path& file, std::string_view bytes) {
  fs::path target = ReplaceTarget(file);
  RemoveStaleTemporaries(target);
  fs::path temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = TemporaryName(target);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return Failure(kCannotCreate, target.parent_path(), errno);

  auto fail = [&](const char* what, int error) {
    ::close(fd);
    ::unlink(temp.c_str());
    return Failure(what, temp, error);
  };

  // Keep the permissions the user gave the old file.
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) (void)::fchmod(fd, old.st_mode & 07777);

  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(kCannotWrite, errno);
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) return fail(kCannotFlush, errno);
  if (::close(fd) != 0) {
    int error = errno;
    ::unlink(temp.c_str());
    return Failure(kCannotWrite, temp, error);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    int error = errno;
    ::unlink(temp.c_str());
    return Failure(kCannotReplace, target, error);
  }
  // Make the rename itself durable; a failure here no longer risks the data.
  fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
  return {};
}

bool IsFolderWritable(const fs::path& folder) {
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace mirel
