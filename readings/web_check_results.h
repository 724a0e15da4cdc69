// What the start-up web check leaves for the rest of the program.
#pragma once

#include <string>

#include "settings/settings_model.h"

namespace mirel {

struct WebCheckResults {
  std::string versionPage = "Text5";
  std::string latestVersion = "999";
  std::string notice = "Text7";
  std::string pageState = "no";
  std::string globalIp = kLoadingText;
};

inline constexpr const char* kRestartToShowText = "再起動後に表示";
inline constexpr const char* kUnreachableText = "接続不能";
// No address to ask is configured: nothing was asked, and nothing failed.
inline constexpr const char* kNotConfiguredText = "未設定";

}  // namespace mirel
