// One HTTP GET through WinHTTP that keeps the program's windows alive while
// it waits: the transfer runs on a thread of its own and the user-interface
// thread goes on handling its messages (timers, menus, the dialog) until the
// reply is in, the time is up or the program quits.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

#include "readings/web_check.h"

namespace mirel::win32 {

class HttpClient {
 public:
  // Handed every message that the wait takes from the queue first; true
  // when it was handled (a dialog's keyboard navigation).
  using PreTranslate = std::function<bool(MSG&)>;
  explicit HttpClient(PreTranslate preTranslate) : preTranslate_(std::move(preTranslate)) {}

  // Fails on an unusable address, no connection, an HTTP error status, a
  // body over kMaxReplyBytes, the time-out, a nested call while one waits,
  // and the program quitting meanwhile (the quit is passed on to the loop).
  FetchReply Get(const std::string& url, std::chrono::milliseconds timeout);

 private:
  PreTranslate preTranslate_;
  bool busy_ = false;
};

}  // namespace mirel::win32
