#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>

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
  SingleInstance late(dir.path(), "mirel9x-test");
  const int held = ::open(QFile::encodeName(late.lockPath()).constData(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(late.TryClaim(200ms), Claim::kUnreachable);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
  ::close(held);
}

// What a monitor killed with SIGKILL leaves: a lock file that no process
// holds, and a socket file nobody listens on.
TEST(ShellSingleInstanceTest, LeftoversOfACrashedMonitorDoNotBlockTheNextStart) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  SingleInstance probe(dir.path(), "mirel9x-test");

  // A child becomes the monitor, then ends without letting go of anything.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::unique_ptr<InstanceGuard> guard =
        MakeInstanceGuard(QFile::encodeName(dir.path()).toStdString(), "mirel9x-test");
    ::_exit(guard->Claim(100ms) == InstanceClaim::kFirst ? 0 : 1);
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
