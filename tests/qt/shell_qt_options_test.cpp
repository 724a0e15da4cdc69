// Qt's own options pass the program's parser with their values.
#include <gtest/gtest.h>

#include "readings/web_check.h"
#include "shell/qt/qt_options.h"

namespace mirel {
namespace {

using Action = CommandLine::Action;

CommandLine Parse(std::vector<std::string> args) {
  return ParseCommandLine(args, QtOptions(), nullptr);
}

TEST(ShellQtOptionsTest, QtOptionsAndTheirValuesAreNotOurs) {
  // Qt's own options pass, with one dash or two, and whatever their value
  // looks like it belongs to them.
  const CommandLine line =
      Parse({"-platform", "xcb", "--style", "--version", "-title", "--webcheck-base", "-reverse",
             "-style=fusion", "-session", "1234abcd", "-qmljsdebugger=port:1"});
  EXPECT_EQ(line.action, Action::kRun) << line.error;
  EXPECT_EQ(line.webCheckBase, "");
  EXPECT_FALSE(line.display);

  EXPECT_EQ(Parse({"-display", ":7.0"}).display, ":7.0");
  EXPECT_EQ(Parse({"--display", ":3"}).display, ":3");
  EXPECT_EQ(Parse({"-display", ":3", "--webcheck-base", "http://a.test"}).webCheckBase,
            "http://a.test");
}

}  // namespace
}  // namespace mirel
