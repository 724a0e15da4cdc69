#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstring>

#include "shell/qt/single_instance.h"

namespace mirel {
namespace {

using namespace std::chrono_literals;
using Claim = SingleInstance::Claim;

TEST(ShellSingleInstanceTest, SecondClaimAsksTheFirstToComeForward) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  SingleInstance first(dir.path(), "mirel9x-test");
  int activated = 0;
  first.onActivate = [&] { ++activated; };
  ASSERT_EQ(first.TryClaim(), Claim::kFirst);
  EXPECT_TRUE(QFile::exists(first.socketPath()));

  // The second start runs in the same process here, so the first answers
  // only once this thread turns to its events; the request is delivered all
  // the same.
  SingleInstance second(dir.path(), "mirel9x-test");
  EXPECT_EQ(second.TryClaim(300ms), Claim::kForwarded);
  QTRY_COMPARE_WITH_TIMEOUT(activated, 1, 2000);

  // Another session's name is a monitor of its own.
  SingleInstance elsewhere(dir.path(), "mirel9x-test-other");
  EXPECT_EQ(elsewhere.TryClaim(), Claim::kFirst);
  EXPECT_EQ(activated, 1);
}

TEST(ShellSingleInstanceTest, ALockHeldWithoutAnAnswerIsReportedAfterTheWait) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A live process (this one) holds the lock, and no one listens.
  QLockFile held(dir.path() + "/mirel9x-test.lock");
  ASSERT_TRUE(held.tryLock(0));
  SingleInstance late(dir.path(), "mirel9x-test");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(late.TryClaim(200ms), Claim::kUnreachable);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
}

// What a monitor killed with SIGKILL leaves: a lock file naming a process
// that is gone, and a socket file nobody listens on.
TEST(ShellSingleInstanceTest, LeftoversOfACrashedMonitorDoNotBlockTheNextStart) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  SingleInstance probe(dir.path(), "mirel9x-test");

  // A child takes the lock and binds the socket as a monitor does, then ends
  // without letting go of either.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    QLockFile lock(probe.lockPath());
    if (!lock.tryLock(0)) ::_exit(1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(probe.socketPath());
    std::memcpy(addr.sun_path, path.constData(),
                std::min(sizeof(addr.sun_path) - 1, static_cast<std::size_t>(path.size())));
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) ::_exit(2);
    ::_exit(0);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ASSERT_TRUE(QFile::exists(probe.lockPath()));
  ASSERT_TRUE(QFile::exists(probe.socketPath()));

  SingleInstance next(dir.path(), "mirel9x-test");
  int activated = 0;
  next.onActivate = [&] { ++activated; };
  EXPECT_EQ(next.TryClaim(300ms), Claim::kFirst);

  // And it is reachable in its turn.
  SingleInstance after(dir.path(), "mirel9x-test");
  EXPECT_EQ(after.TryClaim(300ms), Claim::kForwarded);
  QTRY_COMPARE_WITH_TIMEOUT(activated, 1, 2000);
}

TEST(ShellSingleInstanceTest, WithoutARuntimeFolderTheMonitorRunsUnguarded) {
  SingleInstance first("", "mirel9x-test");
  EXPECT_EQ(first.TryClaim(100ms), Claim::kFirst);
  EXPECT_FALSE(QFile::exists("/mirel9x-test.lock"));
  EXPECT_FALSE(QFile::exists("/mirel9x-test.socket"));
}

}  // namespace
}  // namespace mirel
