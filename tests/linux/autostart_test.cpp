#include "behaviour/autostart.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/settings_test_support.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// The reading side of a desktop entry, written from the rules desktops
// follow: first the string escapes of the value, then the Exec quoting.
std::string UnescapeString(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += value[i];
    }
  }
  return out;
}

// The arguments of an Exec value; nullopt where it breaks the rules (a
// reserved character outside quotes, a lone %, a bad escape, no closing quote).
std::optional<std::vector<std::string>> SplitExec(std::string_view command) {
  const std::string_view reserved = "\t\n\"'\\><~|&;$*?#()`";
  std::vector<std::string> args;
  std::string current;
  bool inArg = false;
  for (std::size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == ' ') {
      if (inArg) args.push_back(current);
      current.clear();
      inArg = false;
    } else if (c == '"') {
      inArg = true;
      for (++i; i < command.size() && command[i] != '"'; ++i) {
        if (command[i] == '\\') {
          if (++i == command.size() ||
              std::string_view("\"`$\\").find(command[i]) == std::string_view::npos) {
            return std::nullopt;
          }
        } else if (command[i] == '%') {
          if (++i == command.size() || command[i] != '%') return std::nullopt;
        }
        current += command[i];
      }
      if (i == command.size()) return std::nullopt;
    } else if (c == '%') {
      if (++i == command.size() || command[i] != '%') return std::nullopt;
      inArg = true;
      current += '%';
    } else if (reserved.find(c) != std::string_view::npos) {
      return std::nullopt;
    } else {
      inArg = true;
      current += c;
    }
  }
  if (inArg) args.push_back(current);
  return args;
}

std::string Key(const std::string& entry, const std::string& key) {
  std::istringstream lines(entry);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return "<missing " + key + ">";
}

TEST(AutostartEntryTest, ExecAndTryExecReadBackAsTheProgramPath) {
  const char* paths[] = {
      "/usr/bin/mirel9x",
      "/home/a b/mirel9x",
      "/tmp/it's \"$HOME\"/`x`\\y/100%/mirel9x",
      "/tmp/タブ\tと\n改行\r/mirel9x",
      "/opt/~user/(a)&b;c|d<e>f*g?h#i=j/mirel9x",
  };
  for (const char* path : paths) {
    const std::string entry = AutostartEntryText(fs::path(path));
    EXPECT_EQ(entry.find('\r'), std::string::npos) << path;
    const std::optional<std::vector<std::string>> args =
        SplitExec(UnescapeString(Key(entry, "Exec")));
    ASSERT_TRUE(args) << path << "\n" << entry;
    // Through env where the path has a %: see the end-to-end test.
    std::vector<std::string> expected{path};
    if (std::string_view(path).find('%') != std::string_view::npos)
      expected.insert(expected.begin(), "/usr/bin/env");
    EXPECT_EQ(*args, expected) << entry;
    EXPECT_EQ(UnescapeString(Key(entry, "TryExec")), path) << entry;
  }
  // A plain path stays readable.
  EXPECT_EQ(Key(AutostartEntryText("/usr/bin/mirel9x"), "Exec"), "/usr/bin/mirel9x");
}

TEST(AutostartEntryTest, NamesTheApplicationAndStartsWithTheGroup) {
  const std::string entry = AutostartEntryText("/usr/bin/mirel9x");
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_EQ(Key(entry, "Type"), "Application");
  EXPECT_EQ(Key(entry, "Icon"), kAppId);
  EXPECT_EQ(Key(entry, "Name[ja]"), "Mirel君9x");
  EXPECT_EQ(AutostartEntryFile("/home/u/.config"),
            fs::path("/home/u/.config/autostart") / (std::string(kAppId) + ".desktop"));
}

class AutostartFileTest : public ::testing::Test {
 protected:
  fs::path ConfigHome() const { return folder_.path() / "config"; }
  fs::path Entry() const { return AutostartEntryFile(ConfigHome()); }
  TempFolder folder_;
};

TEST_F(AutostartFileTest, OnWritesTheEntryReplacesItAndOffRemovesIt) {
  AutostartResult on = EnableAutostart(Entry(), "/usr/bin/mirel9x");
  ASSERT_TRUE(on.ok) << on.message;
  EXPECT_NE(on.message.find(Entry().string()), std::string::npos) << on.message;
  EXPECT_EQ(ReadBytes(Entry()), AutostartEntryText("/usr/bin/mirel9x"));

  // Again from a program that has moved: the entry follows it, and no
  // temporary file is left beside it.
  on = EnableAutostart(Entry(), "/opt/mirel9x/bin/mirel9x");
  ASSERT_TRUE(on.ok) << on.message;
  EXPECT_EQ(ReadBytes(Entry()), AutostartEntryText("/opt/mirel9x/bin/mirel9x"));
  EXPECT_EQ(std::distance(fs::directory_iterator(Entry().parent_path()), fs::directory_iterator()),
            1);

  AutostartResult off = DisableAutostart(Entry());
  EXPECT_TRUE(off.ok) << off.message;
  EXPECT_NE(off.message.find("解除しました"), std::string::npos) << off.message;
  EXPECT_FALSE(fs::exists(Entry()));

  off = DisableAutostart(Entry());
  EXPECT_TRUE(off.ok) << off.message;
  EXPECT_NE(off.message.find("設定されていません"), std::string::npos) << off.message;
}

TEST_F(AutostartFileTest, FailuresSayWhatAndWhereAndLeaveNothingBehind) {
  // The configuration folder is a file: the autostart folder cannot be made.
  WriteBytes(ConfigHome(), "not a folder");
  AutostartResult on = EnableAutostart(Entry(), "/usr/bin/mirel9x");
  EXPECT_FALSE(on.ok);
  EXPECT_EQ(on.message.rfind("自動起動の設定を書き込めませんでした: ", 0), 0u) << on.message;
  EXPECT_NE(on.message.find(ConfigHome().string()), std::string::npos) << on.message;
  fs::remove(ConfigHome());

  // Paths that cannot stand in an entry.
  for (const char* program : {"/tmp/\xff\xfe/mirel9x", "mirel9x", "/tmp/a=b/100%/mirel9x"}) {
    on = EnableAutostart(Entry(), program);
    EXPECT_FALSE(on.ok) << program;
    EXPECT_NE(on.message.find("プログラムのパス"), std::string::npos) << on.message;
    EXPECT_FALSE(fs::exists(Entry())) << program;
  }

  // A folder where the entry should be is not removed with "off".
  fs::create_directories(Entry());
  AutostartResult off = DisableAutostart(Entry());
  EXPECT_FALSE(off.ok);
  EXPECT_EQ(off.message.rfind("自動起動の設定を削除できませんでした: ", 0), 0u) << off.message;
  EXPECT_TRUE(fs::is_directory(Entry()));
}

TEST_F(AutostartFileTest, RunningTheOptionReportsAndGivesTheStatus) {
  auto run = [&](bool on, std::string& out, std::string& err) {
    std::ostringstream o, e;
    const int status = RunAutostart(on, ConfigHome(), "/usr/bin/mirel9x", o, e);
    out = o.str();
    err = e.str();
    return status;
  };
  std::string out, err;
  EXPECT_EQ(run(true, out, err), 0) << err;
  EXPECT_NE(out.find(Entry().string()), std::string::npos) << out;
  EXPECT_TRUE(fs::exists(Entry()));
  EXPECT_EQ(run(false, out, err), 0) << err;
  EXPECT_FALSE(fs::exists(Entry()));

  // A failure ends with status 1 and the reason on the error stream.
  fs::create_directories(Entry());
  EXPECT_EQ(run(false, out, err), 1);
  EXPECT_NE(err.find("削除できませんでした"), std::string::npos) << err;
}

}  // namespace
}  // namespace mirel
