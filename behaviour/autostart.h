// Starting the program at login: a per-user autostart entry in the form the
// desktop environments read ($XDG_CONFIG_HOME/autostart/<id>.desktop).
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace mirel {

#ifndef MIREL_APP_ID
#define MIREL_APP_ID "io.github.mirel9x.Mirel9x"
#endif
// The application id: the name of the desktop entry, the icon and the
// AppStream data (a build setting, shared with the installed files).
inline constexpr const char* kAppId = MIREL_APP_ID;

// <configHome>/autostart/<id>.desktop.
std::filesystem::path AutostartEntryFile(const std::filesystem::path& configHome);

// One argument of an Exec line: as it stands when it needs no quoting, else
// in double quotes with ", `, $ and \ escaped; % doubled either way.
std::string DesktopExecArgument(std::string_view argument);

// A value of a desktop entry's string key: \, newline, tab and CR escaped.
std::string DesktopStringValue(std::string_view text);

// The entry that starts `program` (an absolute path, UTF-8) at login; a
// program whose path has a % is started through /usr/bin/env.
std::string AutostartEntryText(const std::filesystem::path& program);

struct AutostartResult {
  bool ok = false;
  std::string message;  // what was done, or why it failed (Japanese)
};

// Writes the entry atomically (a temporary file renamed into place), creating
// the folder when needed; an existing entry is replaced, so it follows the
// program when that has moved.
AutostartResult EnableAutostart(const std::filesystem::path& entryFile,
                                const std::filesystem::path& program);
// Removes the entry; an entry that is not there is no failure.
AutostartResult DisableAutostart(const std::filesystem::path& entryFile);

// What "--autostart on|off" does: writes (on) or removes (off) the entry
// under `configHome`, reports to `out` or the problem to `err`, and returns
// the exit status (0 done, 1 failed). A `webCheckBase` given with it (a
// usable address) is stored first in `preferencesFile`, where every start
// finds it, so the entry needs no options.
int RunAutostart(bool on, const std::filesystem::path& configHome,
                 const std::filesystem::path& program, std::ostream& out, std::ostream& err,
                 const std::string& webCheckBase = {},
                 const std::filesystem::path& preferencesFile = {});

// The absolute path of the running program; `argv0` is the fallback where
// the system cannot tell.
std::filesystem::path RunningProgramPath(const char* argv0);

}  // namespace mirel
