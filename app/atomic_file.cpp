#include "app/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace mirel {

namespace fs = std::filesystem;

std::string PathText(const fs::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

namespace {

// The file a symbolic link points to is the one to replace; renaming over
// the link itself would turn it into a plain file.
fs::path ReplaceTarget(const fs::path& file) {
  std::error_code ec;
  if (fs::is_symlink(file, ec)) {
    fs::path resolved = fs::weakly_canonical(file, ec);
    if (!ec) return resolved;
  }
  return file;
}

fs::path TemporaryName(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
#ifdef _WIN32
  unsigned long pid = GetCurrentProcessId();
#else
  unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  fs::path name = target.filename();
  name += ".tmp-" + std::to_string(pid) + "-" + std::to_string(counter++);
  return target.parent_path() / name;
}

// What failed in words, then the path and the system's own text.
std::string Failure(const char* what, const fs::path& path, int error) {
  return std::string(what) + " (" + PathText(path) + ": " + std::strerror(error) + ")";
}

constexpr const char* kCannotCreate = "フォルダに一時ファイルを作れません";
constexpr const char* kCannotWrite = "一時ファイルに書き込めません";
constexpr const char* kCannotFlush = "一時ファイルをディスクに書き出せません";
constexpr const char* kCannotReplace = "ファイルを置き換えられません";

// The process id in "NAME.tmp-PID-N" when `entry` is such a name for `target`.
std::optional<unsigned long> TemporaryOwner(const std::string& entry, const std::string& target) {
  const std::string prefix = target + ".tmp-";
  if (entry.size() <= prefix.size() || entry.compare(0, prefix.size(), prefix) != 0) {
    return std::nullopt;
  }
  std::string_view rest = std::string_view(entry).substr(prefix.size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size()) return std::nullopt;
  for (char c : rest) {
    if ((c < '0' || c > '9') && c != '-') return std::nullopt;
  }
  if (rest.find('-', dash + 1) != std::string_view::npos || dash > 9) return std::nullopt;
  return std::stoul(std::string(rest.substr(0, dash)));
}

bool ProcessIsGone(unsigned long pid);

// A save cut short by a crash or a kill leaves its temporary file behind.
// Remove those of processes that no longer run; a live process may be in the
// middle of its own save.
void RemoveStaleTemporaries(const fs::path& target) {
  fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  const std::string name = PathText(target.filename());
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::optional<unsigned long> owner = TemporaryOwner(PathText(it->path().filename()), name);
    if (owner && ProcessIsGone(*owner)) {
      std::error_code ignored;
      fs::remove(it->path(), ignored);
    }
  }
}

}  // namespace

#ifdef _WIN32

namespace {

bool ProcessIsGone(unsigned long pid) {
  if (pid == GetCurrentProcessId()) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

}  // namespace

std::string WriteFileAtomically(const fs::path& file, std::string_view bytes) {
  fs::path target = ReplaceTarget(file);
  RemoveStaleTemporaries(target);
  fs::path temp = TemporaryName(target);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return Failure(kCannotCreate, temp, errno);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      std::error_code ec;
      fs::remove(temp, ec);
      return Failure(kCannotWrite, temp, errno ? errno : EIO);
    }
  }
  if (!MoveFileExW(temp.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    std::error_code ec;
    fs::remove(temp, ec);
    return std::string(kCannotReplace) + " (" + PathText(target) + ": Windows error " +
           std::to_string(GetLastError()) + ")";
  }
  return {};
}

bool IsFolderWritable(const fs::path& folder) {
  fs::path probe = TemporaryName(folder / ".write-probe");
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

#else

namespace {

bool ProcessIsGone(unsigned long pid) {
  if (pid == static_cast<unsigned long>(getpid()) || pid > 0x7FFFFFFFul) return false;
  // EPERM: it runs, as another user.
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
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

#endif

}  // namespace mirel
