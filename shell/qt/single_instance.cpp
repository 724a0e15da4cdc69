#include "shell/qt/single_instance.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QtGlobal>

namespace mirel {

namespace {

constexpr char kActivate[] = "activate\n";
constexpr char kDone[] = "ok\n";
// What one message may hold; anything longer is not ours.
constexpr qint64 kMaxMessage = 64;

int Remaining(const QDeadlineTimer& deadline) {
  return static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
}

}  // namespace

SingleInstance::SingleInstance(QString folder, QString name)
    : folder_(std::move(folder)), name_(std::move(name)), lock_(lockPath()) {
  // Only a lock whose process is gone is stale, however old it is.
  lock_.setStaleLockTime(std::chrono::milliseconds(0));
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

SingleInstance::~SingleInstance() {
  server_.close();  // removes the socket file
}

SingleInstance::Claim SingleInstance::TryClaim(std::chrono::milliseconds wait) {
  if (folder_.isEmpty()) {
    // Qt found no runtime folder it trusts (a missing or foreign one): run
    // without the guard rather than put the files anywhere else.
    qWarning("mirel9x: no runtime folder; a second start will start a second monitor");
    return Claim::kFirst;
  }
  const QDeadlineTimer deadline(wait);
  for (;;) {
    if (lock_.tryLock(0)) {
      // Ours now: a socket file still there was left by a monitor that
      // crashed.
      QLocalServer::removeServer(socketPath());
      if (!server_.listen(socketPath())) {
        qWarning("mirel9x: cannot listen on %s: %s; a second start will not find this one",
                 qUtf8Printable(socketPath()), qUtf8Printable(server_.errorString()));
      }
      return Claim::kFirst;
    }

    if (lock_.error() == QLockFile::LockFailedError) {
      // Held by a running process: ask it to come to the front.
      QLocalSocket socket;
      socket.connectToServer(socketPath());
      if (socket.waitForConnected(Remaining(deadline))) {
        socket.write(kActivate);
        if (socket.waitForBytesWritten(Remaining(deadline))) {
          // The answer tells that the monitor is in front before we end;
          // a busy monitor still gets the request.
          socket.waitForReadyRead(Remaining(deadline));
          return Claim::kForwarded;
        }
      }
    } else {
      qWarning("mirel9x: cannot create the lock file %s", qUtf8Printable(lockPath()));
      return Claim::kFirst;  // a monitor without the guard is better than none
    }

    // The other one may be between taking the lock and listening.
    if (deadline.hasExpired()) return Claim::kUnreachable;
    QThread::msleep(50);
  }
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine() && socket->bytesAvailable() < kMaxMessage) return;
      const QByteArray message = socket->readLine(kMaxMessage);
      if (message == kActivate) {
        if (onActivate) onActivate();
        socket->write(kDone);
        socket->flush();
      }
      socket->disconnectFromServer();
    });
  }
}

QString SingleInstance::RuntimeFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

}  // namespace mirel
