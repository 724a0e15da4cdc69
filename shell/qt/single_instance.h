// One monitor per desktop session: the platform's instance guard
// (platform/instance_guard.h), watched from the Qt event loop.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/instance_guard.h"

namespace mirel {

class SingleInstance : public QObject {
 public:
  using Claim = InstanceClaim;

  // `folder` holds the lock and the socket (it must exist and be the
  // user's own, see RuntimeFolder); `name` tells sessions apart
  // (InstanceName, behaviour/single_instance_rule.h).
  SingleInstance(QString folder, QString name);
  ~SingleInstance() override;

  // Needs a QCoreApplication. Waits at most `wait` for a running monitor.
  Claim TryClaim(std::chrono::milliseconds wait = std::chrono::seconds(5));

  // Called in the first process when a later start asks for the monitor.
  std::function<void()> onActivate;

  QString lockPath() const;
  QString socketPath() const;

  // A folder only this user can write ($XDG_RUNTIME_DIR when it is the
  // user's own, else one of the user's own in the temporary folder).
  static QString RuntimeFolder();

 private:
  std::unique_ptr<InstanceGuard> guard_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace mirel
