// Access to the browser's settings, registry style: every call opens the
// key, does one thing and closes it again.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace mirel {

inline constexpr const char* kInternetSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline constexpr const char* kZone3Key =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
inline constexpr const char* kErrorText = "エラー";

class RegistryAccess {
 public:
  explicit RegistryAccess(BrowserSettingsStore& store) : store_(store) {}

  // The value as text: a string up to its first zero character, a 32-bit
  // number as its unsigned decimal text, anything else as its leading bytes.
  // A missing key or value gives the empty text. Never fails.
  std::string ReadRegValue(std::string_view keyPath, std::string_view valueName);

  // Stores value (sign-extended to 32 bits), creating the key when missing.
  // On failure calls onWriteError (the shell shows "エラー") and returns false.
  bool WriteRegDword(std::string_view keyPath, std::string_view valueName, std::int16_t value);
  // The same write, for a caller that reports a failure itself.
  bool StoreDword(std::string_view keyPath, std::string_view valueName, std::int16_t value);

  BrowserSettingsStore& store() { return store_; }

  std::function<void()> onWriteError;

 private:
  BrowserSettingsStore& store_;
};

}  // namespace mirel
