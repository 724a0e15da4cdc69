// The texts the program shows in message boxes and notices, in one place for
// both shells, and the rule that keeps a notice from repeating.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/platform.h"

namespace mirel {

// The adapter table could not be read: one message box each, and start-up
// goes on; empty for a status that shows none.
std::string AdapterMessage(AdapterTableStatus status);

// What a menu choice that failed tells while the settings dialog is closed
// (with it open, its status line says "エラー" as it always did).
std::string ProxySwitchFailedNotice(const std::string& caption);
std::string ProxyUseFailedNotice(bool on);
// "ＩＰアドレスコピー" while no address is known (`globalIp` is one of the
// placeholder texts): why, and that 0,0,0,0 went on the clipboard.
std::string IpUnknownNotice(const std::string& globalIp);

// Lets a notice through unless the same text passed less than kRepeatMs
// ago, so a failure repeated at once is told once rather than as a stream.
class NoticeGate {
 public:
  static constexpr std::int64_t kRepeatMs = 10000;
  bool Pass(const std::string& text, std::int64_t nowMs);

 private:
  std::map<std::string, std::int64_t> shownAt_;
};

}  // namespace mirel
