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

QString SingleInstance::SessionName(unsigned uid, const std::optional<std::string>& display) {
  std::string session = display.value_or("");
  // ":0.1" and ":0" are the same display.
  const std::size_t colon = session.rfind(':');
  const std::size_t dot = session.rfind('.');
  if (colon != std::string::npos && dot != std::string::npos && dot > colon) session.resize(dot);
  QString name = QStringLiteral("mirel9x-%1").arg(uid);
  if (!session.empty()) name += '-';
  for (const char c : session) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       c == '-' || c == '.';
    name += plain ? QChar(c) : QChar('_');
  }
  return name;
}

}  // namespace mirel
