// One monitor per desktop session (the rule: behaviour/single_instance_rule.h).
// The first start holds a lock file for its
// whole life and listens on a local socket beside it; a later start finds the
// lock taken, asks the running monitor through the socket to come to the
// front, and ends. The lock belongs to a process, not to a file left on disk:
// a lock or socket left by a crashed monitor does not block the next start.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "behaviour/single_instance_rule.h"

namespace mirel {

class SingleInstance : public QObject {
 public:
  using Claim = InstanceClaim;

  // `folder` holds the lock and the socket (it must exist); `name` tells
  // sessions apart (InstanceName).
  SingleInstance(QString folder, QString name);
  ~SingleInstance() override;

  // Needs a QCoreApplication. Waits at most `wait` for a running monitor.
  Claim TryClaim(std::chrono::milliseconds wait = std::chrono::seconds(5));

  // Called in the first process when a later start asks for the monitor.
  std::function<void()> onActivate;

  QString lockPath() const { return folder_ + "/" + name_ + ".lock"; }
  QString socketPath() const { return folder_ + "/" + name_ + ".socket"; }

  // The user's runtime folder ($XDG_RUNTIME_DIR, or Qt's private fallback).
  static QString RuntimeFolder();

 private:
  void OnConnection();

  QString folder_;
  QString name_;
  QLockFile lock_;
  QLocalServer server_;
};

}  // namespace mirel
