// Blocking HTTP GET for the start-up web check, built on Qt Network. Each call
// waits in a local event loop, so timers, painting and the tray icon keep
// working while start-up waits for the site.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "readings/web_check.h"

class QNetworkAccessManager;

namespace mirel {

class HttpFetcher {
 public:
  static constexpr std::chrono::milliseconds kDefaultTimeout = kWebCheckTimeout;

  // `base` is scheme, host and folder before "/cgi-bin/"; a trailing slash
  // is ignored. Needs a QCoreApplication.
  explicit HttpFetcher(std::string base = kDefaultWebCheckBase,
                       std::chrono::milliseconds timeout = kDefaultTimeout);
  ~HttpFetcher();
  HttpFetcher(const HttpFetcher&) = delete;
  HttpFetcher& operator=(const HttpFetcher&) = delete;

  // GET base + path. Fails on no connection, an HTTP error status, a body
  // over kMaxReplyBytes (the transfer is aborted there), the time-out for
  // the whole request, or an event loop that was told to quit meanwhile.
  // Only one request runs at a time; a nested call while one is waiting fails.
  FetchReply Get(const std::string& path, bool asText);
  // The same for a whole http or https address, with its own time-out.
  FetchReply GetUrl(const std::string& url, std::chrono::milliseconds timeout);

  // Get() as the check's injected transfer; valid while this object lives.
  Fetch AsFetch();

  const std::string& base() const { return base_; }
  std::chrono::milliseconds timeout() const { return timeout_; }

 private:
  std::string base_;
  std::chrono::milliseconds timeout_;
  std::unique_ptr<QNetworkAccessManager> manager_;
  bool busy_ = false;
};

}  // namespace mirel
