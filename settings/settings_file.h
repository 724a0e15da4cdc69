// "設定.ini": 42 fixed lines and the proxy entries, code page 932, CR LF.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "settings/settings_model.h"

namespace mirel {

inline constexpr const char* kSettingsFileName = "設定.ini";
// A real settings file is a few kilobytes: anything over this is refused
// unread rather than filling the memory.
inline constexpr std::size_t kMaxSettingsBytes = 1024 * 1024;

// The packed strings of lines 1-5, 22 and 23, handed to start-up, which
// builds the item rows and the drive rows from them.
struct PackedLists {
  std::string itemChecks;
  std::string itemOrder;
  std::string itemStartColors;
  std::string itemEndColors;
  std::string driveEndColors;
  std::string driveChecks;
  std::string driveStartColors;
};

struct LoadResult {
  bool ok = false;
  // One clear message naming the file, the line, the field and what was
  // expected, when !ok.
  std::string error;
  PackedLists packed;
  // Line 18 as the file holds it, whether or not it was applied to the
  // adapter choice (tools that must not depend on this machine use it).
  int adapterIndexInFile = -1;
};

// Reads the file into the model (check boxes, options and colours in the
// record, sliders, adapter choice, geometry, proxy list). The interface list
// must be filled before, as the adapter choice depends on it.
LoadResult LoadSettings(const std::filesystem::path& file, const TextCodec& codec,
                        SettingsModel& model);

struct SaveResult {
  bool ok = false;
  std::string error;  // a failure text for the status line when !ok
};

// Writes the whole file from the model, atomically: a temporary file in the
// same folder renamed over the old one, so a failed save leaves the old file
// intact. Pads the rows' colour texts in the model as the file format needs.
SaveResult SaveSettings(const std::filesystem::path& file, const TextCodec& codec,
                        SettingsModel& model);

// The same for bytes already read; `label` names the file in the message.
LoadResult LoadSettingsBytes(std::string_view bytes, const std::string& label,
                             const TextCodec& codec, SettingsModel& model);

struct EncodeResult {
  bool ok = false;
  std::string error;  // as SaveResult's
  std::string bytes;  // the whole file when ok
};

// What SaveSettings writes, without writing it (pads the rows the same way).
EncodeResult EncodeSettings(const std::string& label, const TextCodec& codec, SettingsModel& model);

// The print form of a number as the file holds it: a blank (or the minus
// sign), the digits, a fraction only when there is one, and a blank:
// " 1 ", "-1 ", " 2.5 ".
std::string FormatPrintNumber(double value);

// The installed default settings file's folder, seen from the executable's
// folder (bin/ and share/mirel9x/ under one prefix).
inline constexpr const char* kInstalledDataFolder = "../share/mirel9x";

// Where the settings file lives: beside the executable when that folder is
// writable and the file is there or no installed default is, else in
// userConfigDir, created there on first use as a copy of the file beside the
// executable or, where there is none, of the installed default.
std::filesystem::path ResolveSettingsPath(const std::filesystem::path& executableDir,
                                          const std::filesystem::path& userConfigDir);

// The same with $XDG_CONFIG_HOME/mirel9x (fallback ~/.config/mirel9x) as the
// user's folder.
inline std::filesystem::path ResolveSettingsPath(const std::filesystem::path& executableDir) {
  return ResolveSettingsPath(executableDir, UserConfigDir());
}

}  // namespace mirel
