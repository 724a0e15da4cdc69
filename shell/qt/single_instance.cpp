#include "shell/qt/single_instance.h"

#include <QFile>

namespace mirel {

SingleInstance::SingleInstance(QString folder, QString name)
    : guard_(MakeInstanceGuard(QFile::encodeName(folder).toStdString(), name.toStdString())) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::TryClaim(std::chrono::milliseconds wait) {
  const Claim claim = guard_->Claim(wait);
  if (claim == Claim::kFirst && guard_->Descriptor() >= 0) {
    notifier_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(guard_->Descriptor()),
                                                  QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
      guard_->Serve([this] {
        if (onActivate) onActivate();
      });
    });
  }
  return claim;
}

QString SingleInstance::lockPath() const {
  return QFile::decodeName(QByteArray::fromStdString(guard_->LockPath().string()));
}

QString SingleInstance::socketPath() const {
  return QFile::decodeName(QByteArray::fromStdString(guard_->SocketPath().string()));
}

QString SingleInstance::RuntimeFolder() {
  return QFile::decodeName(QByteArray::fromStdString(PrivateRuntimeFolder().string()));
}

}  // namespace mirel
