// The single-instance guard on Linux: flock() on a lock file, which the
// kernel lets go of when the holder dies however it dies, and an AF_UNIX
// socket beside it. The monitor's event loop watches one epoll descriptor
// that holds the listening socket, every open connection, a timer for the
// idle ones and an inotify watch on the folder (a socket file removed by a
// cleaner is bound again).
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

#include "platform/instance_guard.h"

namespace mirel {

namespace fs = std::filesystem;

namespace {

constexpr char kActivate[] = "activate\n";
constexpr char kDone[] = "ok\n";
// What one request may hold; anything longer is not ours.
constexpr std::size_t kMaxMessage = 64;
// A later start writes its request at once: a connection that says nothing
// for this long, or one more than this many, is dropped, so that idle
// connections cannot use up the program's descriptors.
constexpr std::int64_t kIdleMs = 2000;
constexpr std::size_t kMaxConnections = 8;
// How soon listening is tried again after it failed.
constexpr std::int64_t kRelistenMs = 1000;

std::int64_t NowMs() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void Warn(const std::string& text) {
  std::fprintf(stderr, "mirel9x: %s\n", text.c_str());
}

bool IsOwnPrivateFolder(const fs::path& folder) {
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 077) == 0;
}

bool FillAddress(const fs::path& path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  const std::string& text = path.native();
  if (text.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return true;
}

// Takes the folder's own lock for a moment, so that two starts never
// repair the lock file at once (one could remove the file the other just
// made and locked).
class FolderLock {
 public:
  explicit FolderLock(const fs::path& folder)
      : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    for (int i = 0; fd_ >= 0 && i < 200; ++i) {
      if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // lets go of the lock
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_;
  bool held_ = false;
};

class LinuxInstanceGuard final : public InstanceGuard {
 public:
  LinuxInstanceGuard(fs::path folder, const std::string& name)
      : folder_(std::move(folder)),
        lockPath_(folder_.empty() ? fs::path() : folder_ / (name + ".lock")),
        socketPath_(folder_.empty() ? fs::path() : folder_ / (name + ".socket")),
        socketName_(name + ".socket") {}
  ~LinuxInstanceGuard() override { Release(); }
  LinuxInstanceGuard(const LinuxInstanceGuard&) = delete;
  LinuxInstanceGuard& operator=(const LinuxInstanceGuard&) = delete;

  InstanceClaim Claim(std::chrono::milliseconds wait) override {
    if (folder_.empty()) {
      Warn(
          "no folder of this user's own for the lock; a second start will start a second "
          "monitor");
      return InstanceClaim::kFirst;
    }
    const std::int64_t deadline = NowMs() + wait.count();
    for (;;) {
      const int fd = OpenLockFile();
      if (fd < 0) {
        Warn("cannot use the lock file " + lockPath_.string() + " (" + std::strerror(errno) +
             "); a second start will start a second monitor");
        return InstanceClaim::kFirst;  // a monitor without the guard is better than none
      }
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        if (StillAtItsPath(fd)) {
          lockFd_ = fd;
          BecomeFirst();
          return InstanceClaim::kFirst;
        }
        ::close(fd);  // removed by a monitor that just ended: try the new one
        continue;
      }
      ::close(fd);
      // Held by a running monitor: ask it to come to the front.
      if (AskToActivate(deadline)) return InstanceClaim::kForwarded;
      // The other one may be between taking the lock and listening.
      if (NowMs() >= deadline) return InstanceClaim::kUnreachable;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  std::intptr_t Descriptor() const override { return epollFd_; }

  void Serve(const std::function<void()>& activate) override {
    if (epollFd_ < 0) return;
    epoll_event events[16];
    const int n = ::epoll_wait(epollFd_, events, 16, 0);
    for (int i = 0; i < n; ++i) {
      const int fd = events[i].data.fd;
      if (fd == listenFd_) {
        if ((events[i].events & (EPOLLERR | EPOLLHUP)) != 0) {
          Relisten();
        } else {
          AcceptAll();
        }
      } else if (fd == timerFd_) {
        std::uint64_t expirations = 0;
        (void)!::read(timerFd_, &expirations, sizeof expirations);
      } else if (fd == inotifyFd_) {
        if (OurSocketWasTouched()) Relisten();
      } else {
        Receive(fd, activate);
      }
    }
    const std::int64_t now = NowMs();
    for (auto it = connections_.begin(); it != connections_.end();) {
      if (it->second.deadline <= now) {
        ::close(it->first);  // leaves the epoll set with it
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
    if (listenFd_ < 0 && relistenAt_ <= now) Relisten();
    ArmTimer();
  }

  void Release() override {
    for (auto& [fd, connection] : connections_) ::close(fd);
    connections_.clear();
    if (listenFd_ >= 0) {
      ::close(listenFd_);
      listenFd_ = -1;
      ::unlink(socketPath_.c_str());
    }
    for (int* fd : {&timerFd_, &inotifyFd_, &epollFd_, &reserveFd_}) {
      if (*fd >= 0) ::close(*fd);
      *fd = -1;
    }
    if (lockFd_ >= 0) {
      // Removed while still held: a start that opened it meanwhile finds it
      // gone from its path once it gets the lock, and tries again.
      ::unlink(lockPath_.c_str());
      ::close(lockFd_);
      lockFd_ = -1;
    }
  }

  fs::path LockPath() const override { return lockPath_; }
  fs::path SocketPath() const override { return socketPath_; }

 private:
  struct Connection {
    std::int64_t deadline = 0;
    std::string received;
  };

  int OpenLockFile() {
    for (int attempt = 0; attempt < 3; ++attempt) {
      const int fd =
          ::open(lockPath_.c_str(),
                 O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
      if (fd >= 0) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) return fd;
        ::close(fd);
      } else if (errno == EMFILE || errno == ENFILE || errno == ENOMEM) {
        return -1;
      }
      // Not a lock file of ours (a link, another user's file, a folder, a
      // FIFO): the folder is ours, so whatever stands there goes.
      if (!RemoveForeignLockFile()) return -1;
    }
    errno = EEXIST;
    return -1;
  }

  bool RemoveForeignLockFile() {
    FolderLock folder(folder_);
    if (!folder.held()) return false;
    struct stat st {};
    if (::lstat(lockPath_.c_str(), &st) != 0) return errno == ENOENT;
    if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) return true;  // repaired meanwhile
    const int removed =
        S_ISDIR(st.st_mode) ? ::rmdir(lockPath_.c_str()) : ::unlink(lockPath_.c_str());
    return removed == 0 || errno == ENOENT;
  }

  bool StillAtItsPath(int fd) const {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::lstat(lockPath_.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
  }

  // Says who holds the lock, for whoever looks at the file; nothing reads it.
  void BecomeFirst() {
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(lockFd_, 0) == 0) (void)!::pwrite(lockFd_, pid.data(), pid.size(), 0);
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    timerFd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    inotifyFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd_ >= 0 && ::inotify_add_watch(inotifyFd_, folder_.c_str(),
                                               IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO) < 0) {
      ::close(inotifyFd_);
      inotifyFd_ = -1;
    }
    // Kept for a moment without descriptors: see AcceptAll.
    reserveFd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    Watch(timerFd_);
    Watch(inotifyFd_);
    Relisten();
    ArmTimer();
  }

  void Watch(int fd, std::uint32_t events = EPOLLIN) {
    if (fd < 0 || epollFd_ < 0) return;
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event);
  }

  // (Re)creates the listening socket; whatever is at its path was left by
  // a monitor that ended, as this process holds the lock.
  void Relisten() {
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
    sockaddr_un address{};
    if (!FillAddress(socketPath_, address)) {
      if (!warnedLong_) Warn("the socket path " + socketPath_.string() + " is too long");
      warnedLong_ = true;
      relistenAt_ = INT64_MAX;
      return;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ::unlink(socketPath_.c_str());
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0) {
      if (!warnedListen_) {
        Warn("cannot listen on " + socketPath_.string() + " (" + std::strerror(errno) +
             "); trying again");
      }
      warnedListen_ = true;
      if (fd >= 0) ::close(fd);
      relistenAt_ = NowMs() + kRelistenMs;
      return;
    }
    warnedListen_ = false;
    listenFd_ = fd;
    struct stat st {};
    socketInode_ = ::stat(socketPath_.c_str(), &st) == 0 ? st.st_ino : 0;
    Watch(listenFd_);
  }

  void AcceptAll() {
    for (;;) {
      const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd >= 0) {
        Keep(fd);
        continue;
      }
      if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return;
      if ((errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) &&
          reserveFd_ >= 0) {
        // Out of descriptors: the waiting start would keep the socket
        // readable for ever. The reserve lets it in to be turned away.
        ::close(reserveFd_);
        const int turned = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (turned >= 0) ::close(turned);
        reserveFd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (turned >= 0) return;
      }
      // The socket failed, or nothing can be let in: listen afresh a little
      // later rather than spin on a socket that stays readable.
      ::close(listenFd_);
      listenFd_ = -1;
      relistenAt_ = NowMs() + kRelistenMs;
      return;
    }
  }

  void Keep(int fd) {
    if (connections_.size() >= kMaxConnections) {
      // The one waiting longest has said nothing so far: it goes.
      auto oldest = std::min_element(
          connections_.begin(), connections_.end(),
          [](const auto& a, const auto& b) { return a.second.deadline < b.second.deadline; });
      ::close(oldest->first);
      connections_.erase(oldest);
    }
    connections_[fd].deadline = NowMs() + kIdleMs;
    Watch(fd, EPOLLIN | EPOLLRDHUP);
  }

  void Receive(int fd, const std::function<void()>& activate) {
    auto it = connections_.find(fd);
    if (it == connections_.end()) return;
    char buffer[kMaxMessage];
    bool done = false;
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      if (n <= 0) {
        done = true;  // gone, or broken
        break;
      }
      it->second.received.append(buffer, static_cast<std::size_t>(n));
      if (it->second.received.size() >= kMaxMessage) break;
    }
    std::string& message = it->second.received;
    const std::size_t end = message.find('\n');
    if (end != std::string::npos || message.size() >= kMaxMessage) {
      if (message.compare(0, end + 1, kActivate) == 0 && end + 1 == std::strlen(kActivate)) {
        if (activate) activate();
        (void)!::send(fd, kDone, std::strlen(kDone), MSG_NOSIGNAL | MSG_DONTWAIT);
      }
      done = true;
    }
    if (done) {
      ::close(fd);
      connections_.erase(it);
    }
  }

  bool OurSocketWasTouched() {
    alignas(inotify_event) char buffer[4096];
    bool touched = false;
    for (;;) {
      const ssize_t n = ::read(inotifyFd_, buffer, sizeof buffer);
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if ((event->mask & IN_Q_OVERFLOW) != 0) touched = true;
        if (event->len > 0 && socketName_ == event->name) touched = true;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    if (!touched) return false;
    // Our own bind shows up too: only a socket that is no longer ours counts.
    struct stat st {};
    return ::lstat(socketPath_.c_str(), &st) != 0 || st.st_ino != socketInode_;
  }

  void ArmTimer() {
    if (timerFd_ < 0) return;
    std::int64_t next = listenFd_ < 0 ? relistenAt_ : INT64_MAX;
    for (const auto& [fd, connection] : connections_) next = std::min(next, connection.deadline);
    itimerspec due{};
    if (next != INT64_MAX) {
      const std::int64_t in = std::max<std::int64_t>(1, next - NowMs());
      due.it_value.tv_sec = static_cast<time_t>(in / 1000);
      due.it_value.tv_nsec = static_cast<long>(in % 1000) * 1000000;
    }
    ::timerfd_settime(timerFd_, 0, &due, nullptr);  // all zero: disarmed
  }

  // A later start's request; true once it is written (the running monitor
  // then comes forward even if it is too busy to answer in time).
  bool AskToActivate(std::int64_t deadline) const {
    sockaddr_un address{};
    if (!FillAddress(socketPath_, address)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool written = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
        errno == EINPROGRESS) {
      std::size_t done = 0;
      const std::size_t size = std::strlen(kActivate);
      while (done < size && Await(fd, POLLOUT, deadline)) {
        const ssize_t n = ::send(fd, kActivate + done, size - done, MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
      }
      written = done == size;
      // The answer tells that the monitor is in front before we end.
      if (written && Await(fd, POLLIN, deadline)) {
        char answer[8];
        (void)!::read(fd, answer, sizeof answer);
      }
    }
    ::close(fd);
    return written;
  }

  static bool Await(int fd, short events, std::int64_t deadline) {
    for (;;) {
      const std::int64_t left = deadline - NowMs();
      if (left <= 0) return false;
      pollfd p{fd, events, 0};
      const int n = ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left, 1000)));
      if (n > 0) return (p.revents & events) != 0;
      if (n < 0 && errno != EINTR) return false;
    }
  }

  fs::path folder_;
  fs::path lockPath_;
  fs::path socketPath_;
  std::string socketName_;
  int lockFd_ = -1;
  int listenFd_ = -1;
  int epollFd_ = -1;
  int timerFd_ = -1;
  int inotifyFd_ = -1;
  int reserveFd_ = -1;
  ino_t socketInode_ = 0;
  std::int64_t relistenAt_ = INT64_MAX;
  bool warnedListen_ = false;
  bool warnedLong_ = false;
  std::map<int, Connection> connections_;
};

}  // namespace

std::unique_ptr<InstanceGuard> MakeInstanceGuard(const fs::path& folder, const std::string& name) {
  return std::make_unique<LinuxInstanceGuard>(folder, name);
}

fs::path PrivateRuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/' && IsOwnPrivateFolder(runtime)) return runtime;
  // None, or not this user's own (a plain su keeps the other user's): a
  // folder of our own in the temporary folder. Another user may have taken
  // a name first; both starts of a session try the same names in order.
  const char* tmp = std::getenv("TMPDIR");
  const fs::path base = tmp != nullptr && *tmp == '/' ? fs::path(tmp) : fs::path("/tmp");
  const std::string stem = "mirel9x-" + std::to_string(::geteuid());
  for (int i = 0; i < 10; ++i) {
    const fs::path folder = base / (i == 0 ? stem : stem + "-" + std::to_string(i));
    ::mkdir(folder.c_str(), 0700);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()) {
      ::chmod(folder.c_str(), 0700);  // ours: whatever the umask made of it
    }
    if (IsOwnPrivateFolder(folder)) return folder;
  }
  return {};
}

}  // namespace mirel
