// Reading regular files on POSIX systems: stat first, so that a FIFO or a
// device is never opened, then open with O_NONBLOCK, so that one swapped in
// meanwhile cannot block either, and check again on the open descriptor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/regular_file.h"

namespace mirel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kNotRegularText = "通常のファイルではありません";

std::int64_t Nanoseconds(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileVersion VersionOf(const struct stat& st) {
  return FileVersion{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                     static_cast<std::uint64_t>(st.st_size), Nanoseconds(st.st_mtim),
                     Nanoseconds(st.st_ctim)};
}

FileReadStatus StatusOfErrno(int error) {
  return error == ENOENT || error == ENOTDIR ? FileReadStatus::kMissing
                                             : FileReadStatus::kUnreadable;
}

// The descriptor of the regular file, or -1 with status and problem set.
int OpenRegular(const fs::path& file, struct stat& st, FileReadStatus& status,
                std::string& problem) {
  if (::stat(file.c_str(), &st) != 0) {
    status = StatusOfErrno(errno);
    problem = std::strerror(errno);
    return -1;
  }
  auto notRegular = [&] {
    status = FileReadStatus::kNotRegular;
    problem = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : kNotRegularText;
    return -1;
  };
  if (!S_ISREG(st.st_mode)) return notRegular();
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    status = StatusOfErrno(errno);
    problem = std::strerror(errno);
    return -1;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return notRegular();
  }
  status = FileReadStatus::kOk;
  return fd;
}

class PosixRegularFile final : public OpenRegularFile {
 public:
  explicit PosixRegularFile(int fd) : fd_(fd) {}
  ~PosixRegularFile() override { ::close(fd_); }
  PosixRegularFile(const PosixRegularFile&) = delete;
  PosixRegularFile& operator=(const PosixRegularFile&) = delete;

  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      const ssize_t n = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  std::optional<FileVersion> Version() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return std::nullopt;
    return VersionOf(st);
  }

 private:
  int fd_;
};

}  // namespace

std::optional<FileVersion> VersionOfFile(const fs::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return std::nullopt;
  return VersionOf(st);
}

FileRead ReadRegularFile(const fs::path& file, std::size_t maxBytes) {
  FileRead result;
  struct stat st {};
  const int fd = OpenRegular(file, st, result.status, result.problem);
  if (fd < 0) return result;
  result.version = VersionOf(st);
  const auto tooLarge = [&] {
    ::close(fd);
    result.status = FileReadStatus::kTooLarge;
    result.bytes.clear();
    return result;
  };
  // A sparse file of gigabytes is refused by its size, without a read.
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) return tooLarge();
  result.bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    // One byte more than the cap tells a file that grew meanwhile.
    const std::size_t room = maxBytes + 1 - result.bytes.size();
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, room));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      result.status = FileReadStatus::kUnreadable;
      result.problem = std::strerror(error);
      result.bytes.clear();
      return result;
    }
    if (n == 0) break;
    result.bytes.append(buffer, static_cast<std::size_t>(n));
    if (result.bytes.size() > maxBytes) return tooLarge();
  }
  ::close(fd);
  return result;
}

std::unique_ptr<OpenRegularFile> OpenRegularFileForReading(const fs::path& file,
                                                           FileReadStatus* status) {
  struct stat st {};
  FileReadStatus why = FileReadStatus::kOk;
  std::string problem;
  const int fd = OpenRegular(file, st, why, problem);
  if (status != nullptr) *status = why;
  if (fd < 0) return nullptr;
  return std::make_unique<PosixRegularFile>(fd);
}

}  // namespace mirel
