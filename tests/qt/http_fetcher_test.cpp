#include "shell/qt/http_fetcher.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace mirel {
namespace {

// A server in this process that answers every request with `reply`, or keeps
// silent when it is empty. It is served by the fetcher's own wait loop.
class LocalServer {
 public:
  explicit LocalServer(QByteArray reply) : reply_(std::move(reply)) {
    EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      QTcpSocket* socket = server_.nextPendingConnection();
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        requests_ += socket->readAll();
        if (!reply_.isEmpty() && requests_.contains("\r\n\r\n")) {
          socket->write(reply_);
          socket->disconnectFromHost();
        }
      });
    });
  }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(server_.serverPort()); }
  const QByteArray& requests() const { return requests_; }

 private:
  QTcpServer server_;
  QByteArray reply_;
  QByteArray requests_;
};

QByteArray Response(const QByteArray& status, const QByteArray& body) {
  return "HTTP/1.0 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
         "\r\n\r\n" + body;
}

// While a request waits, timers keep firing (the monitor keeps ticking), and
// a request started from such an event is refused instead of nesting.
TEST(HttpFetcherTest, WaitKeepsTimersRunningAndEndsAtTheTimeOut) {
  LocalServer silent{QByteArray()};
  HttpFetcher fetcher(silent.base(), std::chrono::milliseconds(300));
  int ticks = 0;
  FetchReply nested;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (++ticks == 2) nested = fetcher.Get("/nested", true);
  });
  tick.start(20);

  QElapsedTimer clock;
  clock.start();
  const FetchReply reply = fetcher.Get("/page", true);
  const qint64 elapsed = clock.elapsed();

  EXPECT_FALSE(reply.ok);
  EXPECT_NE(reply.error.find("300 ms"), std::string::npos) << reply.error;
  EXPECT_GE(elapsed, 290);
  EXPECT_LT(elapsed, 2000);
  EXPECT_GE(ticks, 5);
  EXPECT_FALSE(nested.ok);
  EXPECT_FALSE(silent.requests().contains("/nested"));
}

TEST(HttpFetcherTest, RefusesBodiesOverTheCap) {
  const QByteArray atCap(static_cast<int>(kMaxReplyBytes), 'x');
  LocalServer exact(Response("200 OK", atCap));
  EXPECT_EQ(HttpFetcher(exact.base()).Get("/", false).body.size(), kMaxReplyBytes);

  // No length announced: the body is cut off while it streams in.
  LocalServer streamed("HTTP/1.0 200 OK\r\n\r\n" + atCap + "y");
  const FetchReply reply = HttpFetcher(streamed.base()).Get("/", false);
  EXPECT_FALSE(reply.ok);
  EXPECT_TRUE(reply.body.empty());
}

TEST(HttpFetcherTest, OnlyHttpAddressesAreAsked) {
  EXPECT_FALSE(HttpFetcher("file:///etc").Get("/passwd", true).ok);
  HttpFetcher fetcher("");
  EXPECT_FALSE(fetcher.GetUrl("file:///etc/passwd", std::chrono::seconds(1)).ok);
  EXPECT_FALSE(fetcher.GetUrl("http:///nohost", std::chrono::seconds(1)).ok);
}

}  // namespace
}  // namespace mirel
