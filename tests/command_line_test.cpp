#include "behaviour/command_line.h"

#include <gtest/gtest.h>

#include <map>

#include "readings/web_check.h"

namespace mirel {
namespace {

using Action = CommandLine::Action;

// A toolkit with an option that takes a value and one that takes none.
constexpr ToolkitOption kToolkit[] = {{"display", true}, {"style", true}, {"reverse", false}};

CommandLine Parse(std::vector<std::string> args, std::map<std::string, std::string> env = {}) {
  return ParseCommandLine(args, kToolkit, [env](const char* name) -> std::optional<std::string> {
    auto it = env.find(name);
    if (it == env.end()) return std::nullopt;
    return it->second;
  });
}

TEST(CommandLineTest, WebCheckBaseFromTheCommandLineOverTheEnvironment) {
  // Neither: the preferences or the build decide (ChooseWebCheckBase).
  EXPECT_EQ(Parse({}).webCheckBase, "");
  EXPECT_EQ(Parse({}, {{kWebCheckBaseVariable, ""}}).webCheckBase, "")
      << "an empty variable counts as unset";
  EXPECT_EQ(Parse({}, {{kWebCheckBaseVariable, "https://env.test/m"}}).webCheckBase,
            "https://env.test/m");

  const std::map<std::string, std::string> env = {{kWebCheckBaseVariable, "http://env.test"}};
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"--webcheck-base", "http://127.0.0.1:8080"},
                                             {"--webcheck-base=http://127.0.0.1:8080"}}) {
    const CommandLine line = Parse(args, env);
    EXPECT_EQ(line.action, Action::kRun);
    EXPECT_EQ(line.webCheckBase, "http://127.0.0.1:8080");
  }
  // With --autostart only the option's address is stored, not the variable's.
  EXPECT_EQ(Parse({"--autostart", "on"}, env).webCheckBase, "");
  EXPECT_EQ(Parse({"--webcheck-base", "http://a.test", "--autostart", "on"}, env).webCheckBase,
            "http://a.test");
}

TEST(CommandLineTest, UnusableAddressesAreRefusedSayingWhere) {
  for (const char* bad : {"ftp://host", "host.test", "http://", "http://host/?q=1", ""}) {
    const CommandLine line = Parse({"--webcheck-base", bad});
    EXPECT_EQ(line.action, Action::kError) << bad;
    EXPECT_NE(line.error.find("--webcheck-base"), std::string::npos) << line.error;
  }
  // A bad variable is an error too, unless the command line replaces it.
  const std::map<std::string, std::string> env = {{kWebCheckBaseVariable, "gopher://x"}};
  const CommandLine fromEnv = Parse({}, env);
  EXPECT_EQ(fromEnv.action, Action::kError);
  EXPECT_NE(fromEnv.error.find(kWebCheckBaseVariable), std::string::npos) << fromEnv.error;
  EXPECT_NE(fromEnv.error.find("gopher://x"), std::string::npos) << fromEnv.error;
  EXPECT_NE(ErrorText(fromEnv).find("--help"), std::string::npos);
  EXPECT_EQ(Parse({"--webcheck-base", "http://a.test"}, env).webCheckBase, "http://a.test");
  EXPECT_EQ(Parse({"--help"}, env).action, Action::kHelp);
  EXPECT_EQ(Parse({"--version"}, env).action, Action::kVersion);

  const CommandLine missing = Parse({"--webcheck-base"});
  EXPECT_EQ(missing.action, Action::kError);
  EXPECT_NE(missing.error.find("URL"), std::string::npos) << missing.error;
}

TEST(CommandLineTest, HelpAndVersion) {
  EXPECT_EQ(Parse({"--help"}).action, Action::kHelp);
  EXPECT_EQ(Parse({"-h"}).action, Action::kHelp);
  EXPECT_EQ(Parse({"--version"}).action, Action::kVersion);
  EXPECT_EQ(Parse({"--version", "--help"}).action, Action::kHelp);
  EXPECT_EQ(Parse({"--help", "--version"}).action, Action::kHelp);
  EXPECT_EQ(Parse({"--version=1"}).action, Action::kError);

  const std::string help = HelpText();
  for (const char* text : {"--webcheck-base URL", "--version", "--help", kWebCheckBaseVariable,
                           kWebCheckBaseKey, "未設定"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
  EXPECT_NE(VersionText().find("Ver3.18"), std::string::npos) << VersionText();
}

TEST(CommandLineTest, AutostartTakesOnOrOffWhereverItStands) {
  const CommandLine on = Parse({"-style", "fusion", "--autostart=on"});
  EXPECT_EQ(on.action, Action::kAutostart) << on.error;
  EXPECT_TRUE(on.autostart);
  const CommandLine off = Parse({"--autostart", "off", "-reverse"});
  EXPECT_EQ(off.action, Action::kAutostart) << off.error;
  EXPECT_FALSE(off.autostart);
  EXPECT_EQ(Parse({"--autostart", "on", "--help"}).action, Action::kHelp);

  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--autostart"}, {"--autostart", "yes"}, {"--autostart="}, {"--autostartx"}}) {
    const CommandLine line = Parse(bad);
    EXPECT_EQ(line.action, Action::kError) << bad.back();
    if (bad.front() == "--autostart" || bad.front() == "--autostart=") {
      EXPECT_NE(line.error.find("on"), std::string::npos) << line.error;
    }
  }
  EXPECT_NE(HelpText().find("--autostart on|off"), std::string::npos) << HelpText();
}

TEST(CommandLineTest, ToolkitOptionsAndTheirValuesAreNotOurs) {
  const CommandLine line = Parse({"-style", "--version", "--reverse", "-style=fusion"});
  EXPECT_EQ(line.action, Action::kRun) << line.error;
  EXPECT_FALSE(line.display);
  EXPECT_EQ(Parse({"-display", ":7.0"}).display, ":7.0");
  EXPECT_EQ(Parse({"--display=:3"}).display, ":3");
  EXPECT_EQ(Parse({"-reverse", "extra"}).action, Action::kError) << "-reverse takes no value";
  EXPECT_NE(HelpText("TOOLKIT NOTE").find("TOOLKIT NOTE\n"), std::string::npos);
}

TEST(CommandLineTest, UnknownOptionsAndArgumentsAreErrors) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--webcheck"},
                                             {"-webcheck-base", "http://a.test"},
                                             {"--verbose"},
                                             {"extra"},
                                             {"-"},
                                             {"--", "x"}}) {
    const CommandLine line = Parse(args);
    EXPECT_EQ(line.action, Action::kError) << args.front();
    EXPECT_FALSE(line.error.empty());
  }
}

}  // namespace
}  // namespace mirel
