// The program's command line: its own options, and those of the shell's
// toolkit (Qt's -platform, -display ...), which are passed over with their
// values so that a toolkit option (or its value) is never taken for one of
// ours. Parsed before any window system is asked, so --help and --version
// work without a display.
//
// Adding an option: a field in CommandLine and a row in OptionTable() in
// command_line.cpp (name, short form, value name, environment variable, help
// text, how it applies its value); --help lists it from there.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mirel {

// The environment variable that sets the web-check base address when the
// command line does not.
inline constexpr const char* kWebCheckBaseVariable = "MIREL9X_WEBCHECK_BASE";

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kAutostart, kError };
  Action action = Action::kRun;
  // What is wrong, for kError; one line, without the program name.
  std::string error;

  // --webcheck-base (or, for a run, the environment variable); empty when
  // neither gives one: the preferences' address or the build's default then.
  std::string webCheckBase;
  // --autostart on|off: write (true) or remove (false) the login entry.
  bool autostart = false;
  // The toolkit's -display, when given: the X display the program will use.
  std::optional<std::string> display;
};

// An option of the shell's toolkit, accepted with one dash or two.
struct ToolkitOption {
  std::string_view name;  // without dashes
  bool takesValue = false;
};

// Reads a variable of the environment; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
// The process environment.
std::optional<std::string> ProcessEnvironment(const char* name);

// `args` without the program name; `toolkit` the shell's own options.
CommandLine ParseCommandLine(const std::vector<std::string>& args,
                             std::span<const ToolkitOption> toolkit,
                             const EnvironmentLookup& env = ProcessEnvironment);

// What --help and --version print (with a final line break). `toolkitNote`
// (one line, may be empty) tells of the toolkit's own options.
std::string HelpText(const std::string& toolkitNote = {});
std::string VersionText();
// What an error prints: the error and a pointer to --help.
std::string ErrorText(const CommandLine& line);

}  // namespace mirel
