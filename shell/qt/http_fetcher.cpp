#include "shell/qt/http_fetcher.h"

#include <QByteArray>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace mirel {

namespace {

std::string WithoutTrailingSlash(std::string base) {
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

constexpr auto kMaxBody = static_cast<qint64>(kMaxReplyBytes);

}  // namespace

HttpFetcher::HttpFetcher(std::string base, std::chrono::milliseconds timeout)
    : base_(WithoutTrailingSlash(std::move(base))),
      timeout_(timeout),
      manager_(std::make_unique<QNetworkAccessManager>()) {}

HttpFetcher::~HttpFetcher() = default;

Fetch HttpFetcher::AsFetch() {
  return [this](const std::string& path, bool asText) { return Get(path, asText); };
}

FetchReply HttpFetcher::Get(const std::string& path, bool /*asText*/) {
  if (!IsUsableWebCheckBase(base_)) {
    FetchReply out;
    out.error = "not a usable address: " + base_ + path;
    return out;
  }
  return GetUrl(base_ + path, timeout_);
}

FetchReply HttpFetcher::GetUrl(const std::string& address, std::chrono::milliseconds timeout) {
  FetchReply out;
  if (busy_) {
    out.error = "another request is still waiting";
    return out;
  }
  const QUrl url(QString::fromStdString(address), QUrl::TolerantMode);
  if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https") ||
      url.host().isEmpty()) {
    out.error = "not a usable address: " + address;
    return out;
  }

  busy_ = true;
  QNetworkRequest request(url);
  request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("mirel9x/3.18"));
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::NoLessSafeRedirectPolicy);
  QNetworkReply* reply = manager_->get(request);

  QByteArray body;
  bool tooLarge = false;
  bool timedOut = false;
  bool finished = false;
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 5 % early

  auto refuse = [&] {
    tooLarge = true;
    reply->abort();
  };
  QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
    // Refuse an announced oversize body before any of it arrives.
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > kMaxBody) refuse();
  });
  QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
    body += reply->read(kMaxBody + 1 - body.size());
    if (body.size() > kMaxBody) refuse();
  });
  QObject::connect(reply, &QNetworkReply::finished, &loop, [&] {
    finished = true;
    loop.quit();
  });
  QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
    timedOut = true;
    reply->abort();
  });

  timer.start(timeout);
  if (!reply->isFinished()) loop.exec();
  timer.stop();

  if (!finished) {
    // The loop ended for another reason (the application is quitting).
    QObject::disconnect(reply, nullptr, &loop, nullptr);
    reply->abort();
    out.error = "interrupted";
  } else if (tooLarge) {
    out.error = "reply larger than 1 MiB";
  } else if (timedOut) {
    out.error = "no reply within " + std::to_string(timeout.count()) + " ms";
  } else if (reply->error() != QNetworkReply::NoError) {
    out.error = reply->errorString().toStdString();
  } else {
    body += reply->read(kMaxBody + 1 - body.size());
    if (body.size() > kMaxBody) {
      out.error = "reply larger than 1 MiB";
    } else {
      out.ok = true;
      out.body.assign(body.constData(), static_cast<std::size_t>(body.size()));
    }
  }
  QObject::disconnect(reply, nullptr, &loop, nullptr);
  reply->deleteLater();
  busy_ = false;
  return out;
}

}  // namespace mirel
