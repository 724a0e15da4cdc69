// The single-instance guard: whatever stands under the lock's name, a start
// becomes the monitor and the next one reaches it; idle connections cannot
// use up its descriptors; a removed socket is bound again.
#include "platform/instance_guard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>

#include "tests/settings_test_support.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A later start in a process of its own; true when it was forwarded.
pid_t StartLater(const fs::path& folder) {
  const pid_t child = ::fork();
  if (child == 0) {
    auto guard = MakeInstanceGuard(folder, "mirel9x-test");
    ::_exit(guard->Claim(3s) == InstanceClaim::kForwarded ? 0 : 1);
  }
  return child;
}

// Serves the first guard until the child ends; its exit status.
int ServeUntilDone(InstanceGuard& first, pid_t child, int& activations) {
  for (int i = 0; i < 200; ++i) {
    pollfd p{static_cast<int>(first.Descriptor()), POLLIN, 0};
    if (::poll(&p, 1, 20) > 0) first.Serve([&] { ++activations; });
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child)
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  return -1;
}

int OpenDescriptors() {
  return static_cast<int>(
      std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

TEST(InstanceGuardTest, WhateverStandsUnderTheLocksNameDoesNotBlockAStart) {
  testing::TempFolder folder;
  const fs::path run = folder.path() / "run";
  fs::create_directory(run);
  fs::permissions(run, fs::perms::owner_all);
  const fs::path lock = run / "mirel9x-test.lock";
  const fs::path elsewhere = folder.path() / "elsewhere";
  { std::ofstream(elsewhere) << "not ours to touch"; }

  const std::vector<std::pair<const char*, std::function<void()>>> shapes = {
      {"empty", [&] { std::ofstream{lock}; }},
      {"junk", [&] { std::ofstream(lock) << "\x01garbage\nmore"; }},
      {"another user's",
       [&] {
         std::ofstream(lock) << "4242\n";
         if (::geteuid() == 0) {
           ASSERT_EQ(::chown(lock.c_str(), 65534, 65534), 0);
         }
         ::chmod(lock.c_str(), 0600);
       }},
      {"a link", [&] { fs::create_symlink(elsewhere, lock); }},
      {"a FIFO", [&] { ::mkfifo(lock.c_str(), 0600); }},
      {"a folder", [&] { fs::create_directory(lock); }},
  };
  for (const auto& [shape, make] : shapes) {
    fs::remove(lock);
    make();
    auto first = MakeInstanceGuard(run, "mirel9x-test");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(first->Claim(1s), InstanceClaim::kFirst) << shape;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << shape;
    struct stat st {};
    ASSERT_EQ(::lstat(lock.c_str(), &st), 0) << shape;
    EXPECT_TRUE(S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) << shape;
    int activations = 0;
    EXPECT_EQ(ServeUntilDone(*first, StartLater(run), activations), 0) << shape;
    EXPECT_EQ(activations, 1) << shape;
    first->Release();
    EXPECT_FALSE(fs::exists(fs::symlink_status(lock))) << shape;
    EXPECT_FALSE(fs::exists(fs::symlink_status(run / "mirel9x-test.socket"))) << shape;
  }
  EXPECT_EQ(testing::ReadBytes(elsewhere), "not ours to touch");
}

TEST(InstanceGuardTest, IdleConnectionsCannotShutOutTheNextStart) {
  testing::TempFolder folder;
  const fs::path run = folder.path() / "run";
  fs::create_directory(run);
  fs::permissions(run, fs::perms::owner_all);
  auto first = MakeInstanceGuard(run, "mirel9x-test");
  ASSERT_EQ(first->Claim(1s), InstanceClaim::kFirst);

  // 300 connections that never say a word, from another process.
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t idle = ::fork();
  if (idle == 0) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, first->SocketPath().c_str());
    int made = 0;
    for (int tries = 0; made < 300 && tries < 100000; ++tries) {
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        ++made;
      } else {
        ::close(fd);
        ::usleep(1000);
      }
    }
    (void)!::write(ready[1], "x", 1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);

  // Few descriptors left to this process, as under a low ulimit -n.
  rlimit before{};
  ::getrlimit(RLIMIT_NOFILE, &before);
  const int base = OpenDescriptors();
  rlimit low = before;
  low.rlim_cur = static_cast<rlim_t>(base + 12);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  int activations = 0;
  char byte = 0;
  for (int i = 0; i < 500; ++i) {
    pollfd p[2] = {{static_cast<int>(first->Descriptor()), POLLIN, 0}, {ready[0], POLLIN, 0}};
    ::poll(p, 2, 20);
    if (p[0].revents != 0) first->Serve([&] { ++activations; });
    EXPECT_LE(OpenDescriptors(), base + 12);
    if (p[1].revents != 0 && ::read(ready[0], &byte, 1) == 1) break;
  }
  ASSERT_EQ(byte, 'x') << "the idle connections were not all made";

  // With the idle ones still open on the other side, a later start gets
  // through; then again after the socket file was removed.
  EXPECT_EQ(ServeUntilDone(*first, StartLater(run), activations), 0);
  fs::remove(first->SocketPath());
  EXPECT_EQ(ServeUntilDone(*first, StartLater(run), activations), 0) << "not bound again";
  EXPECT_EQ(activations, 2);
  ::setrlimit(RLIMIT_NOFILE, &before);
  ::kill(idle, SIGKILL);
  ::waitpid(idle, nullptr, 0);
  ::close(ready[0]);
}

TEST(InstanceGuardTest, TheFolderIsOnlyTheUsersOwn) {
  testing::TempFolder folder;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = runtime != nullptr ? runtime : "";
  const char* tmp = std::getenv("TMPDIR");
  const std::string savedTmp = tmp != nullptr ? tmp : "";
  ::setenv("TMPDIR", folder.path().c_str(), 1);
  const fs::path own = folder.path() / ("mirel9x-" + std::to_string(::geteuid()));

  // Unset, or open to others: a folder of the user's own, mode 0700.
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(PrivateRuntimeFolder(), own);
  EXPECT_EQ(fs::status(own).permissions(), fs::perms::owner_all);
  const fs::path open = folder.path() / "open";
  fs::create_directory(open);
  fs::permissions(open, fs::perms::all);
  ::setenv("XDG_RUNTIME_DIR", open.c_str(), 1);
  EXPECT_EQ(PrivateRuntimeFolder(), own);
  fs::permissions(open, fs::perms::owner_all);
  EXPECT_EQ(PrivateRuntimeFolder(), open);
  // A name taken by another user: the next one.
  if (::geteuid() == 0) {
    ::unsetenv("XDG_RUNTIME_DIR");
    ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
    EXPECT_EQ(PrivateRuntimeFolder(), fs::path(own.string() + "-1"));
  }
  if (runtime != nullptr) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  if (runtime == nullptr) ::unsetenv("XDG_RUNTIME_DIR");
  if (tmp != nullptr) ::setenv("TMPDIR", savedTmp.c_str(), 1);
  if (tmp == nullptr) ::unsetenv("TMPDIR");
}

}  // namespace
}  // namespace mirel
