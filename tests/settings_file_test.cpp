#include "app/settings_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <set>

#include "app/char_text.h"
#include "app/item_catalogue.h"
#include "tests/settings_test_support.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;
using testing::EncodeLines;
using testing::ReadBytes;
using testing::RunUnprivileged;
using testing::TempFolder;
using testing::WriteBytes;

std::string Slots(std::initializer_list<const char*> colours) {
  std::string packed;
  for (const char* c : colours) {
    std::string slot = c;
    slot.resize(12, ' ');
    packed += slot;
  }
  return packed;
}

// A file in the form the program writes: padded numbers, full colour slots,
// option texts as the dialog stores them, Japanese proxy entries.
std::vector<std::string> SampleLines() {
  return {
      "1011",                        // itemChecks
      "100113104114",                // itemOrder
      Slots({"255", "", "", ""}),    // itemStartColors
      Slots({"65280", "", "", ""}),  // itemEndColors
      Slots({"16711680", "12345"}),  // driveEndColors
      " 1 ",
      " 1 ",
      " 0 ",
      " 1 ",
      " 1 ",
      " 0 ",
      " 0 ",
      " 1 ",  // lines 6-13
      "1",
      "0",
      "3",
      " 1 ",  // options 14-17
      " 3 ",  // adapterIndex
      "0",
      "1",                             // hddUnit, drawMode
      " 0 ",                           // versionCheckAuto
      "10",                            // driveChecks
      Slots({"16777215", "8421504"}),  // driveStartColors
      "0",
      "16777215",
      "1",
      "2",
      "3",
      "4",
      "65535",
      "32768",  // colours 24-31
      " 24 ",
      " 2 ",
      " 16 ",  // sliders
      " 15000 ",
      "-150 ",
      " 1838 ",
      " 2496 ",
      " 114 ",  // monitor window
      " 4500 ",
      " 3000 ",  // dialog
      " 3 ",     // proxyCount
      "プロキシ.example:8080",
      "http=ｈｏｓｔ:3128;https=host:443",
      "",
  };
}

class SettingsFileTest : public ::testing::Test {
 protected:
  fs::path Write(const std::vector<std::string>& lines, const std::string& eol = "\r\n") {
    fs::path file = folder_.path() / kSettingsFileName;
    WriteBytes(file, EncodeLines(lines, eol));
    return file;
  }
  LoadResult Load(const fs::path& file) { return LoadSettings(file, *codec_, model_); }
  // The rows as start-up builds them, with one drive per flag character.
  void BuildRows(const LoadResult& loaded) {
    BuildItemRows(model_, loaded.packed);
    std::vector<std::string> drives(CharCount(loaded.packed.driveChecks), "/");
    BuildDriveRows(model_, drives, loaded.packed);
  }

  TempFolder folder_;
  std::unique_ptr<TextCodec> codec_ = MakeAnsiCodec();
  SettingsModel model_;
};

TEST_F(SettingsFileTest, ProgramFileLoadsAndSavesBackByteForByte) {
  fs::path in = Write(SampleLines());
  LoadResult loaded = Load(in);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  BuildRows(loaded);
  model_.adapterIndex = loaded.adapterIndexInFile;  // no interface list here
  EXPECT_EQ(model_.proxyList, (std::vector<std::string>{"プロキシ.example:8080",
                                                        "http=ｈｏｓｔ:3128;https=host:443", ""}));

  fs::path out = folder_.path() / "out.ini";
  SaveResult saved = SaveSettings(out, *codec_, model_);
  ASSERT_TRUE(saved.ok) << saved.error;
  EXPECT_EQ(ReadBytes(out), ReadBytes(in));

  SaveResult again = SaveSettings(out, *codec_, model_);
  ASSERT_TRUE(again.ok) << again.error;
  EXPECT_EQ(ReadBytes(out), ReadBytes(in));
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_.path()), fs::directory_iterator()), 2);
}

TEST_F(SettingsFileTest, SavePadsColourSlotsAndKeepsThemInTheRows) {
  ASSERT_TRUE(Load(Write(SampleLines())).ok);
  model_.items = {{"ＣＰＵ使用率", "100", "255", "", true},
                  {"メモリ使用率", "101", "1234567890123", "16777215", false}};
  model_.drives = {DriveRow{"/", "ハードディスク", "", "", true},
                   DriveRow{"/home", "ハードディスク", "12", "123456789012", false}};
  fs::path file = folder_.path() / kSettingsFileName;
  ASSERT_TRUE(SaveSettings(file, *codec_, model_).ok);
  const std::string first = ReadBytes(file);

  EXPECT_EQ(model_.items[0].startColor, "255         ");
  EXPECT_EQ(model_.items[0].endColor, std::string(12, ' '));  // no default for items
  EXPECT_EQ(model_.items[1].startColor, "1234567890123");     // longer texts stay
  EXPECT_EQ(model_.drives[0].startColor, "16777215    ");     // white for a drive
  EXPECT_EQ(model_.drives[0].endColor, std::string(12, ' '));

  auto codec = MakeAnsiCodec();
  SettingsModel reread;
  LoadResult loaded = LoadSettings(file, *codec, reread);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  EXPECT_EQ(loaded.packed.itemChecks, "10");
  EXPECT_EQ(loaded.packed.itemOrder, "100101");
  EXPECT_EQ(loaded.packed.itemStartColors, "255         1234567890123");
  EXPECT_EQ(loaded.packed.itemEndColors, std::string(12, ' ') + "16777215    ");
  EXPECT_EQ(loaded.packed.driveChecks, "10");
  EXPECT_EQ(loaded.packed.driveStartColors, "16777215    12          ");
  EXPECT_EQ(loaded.packed.driveEndColors, std::string(12, ' ') + "123456789012");

  ASSERT_TRUE(SaveSettings(file, *codec_, model_).ok);
  EXPECT_EQ(ReadBytes(file), first);
}

TEST_F(SettingsFileTest, EmptiedProxyListIsWrittenAsZeroWithNothingAfter) {
  ASSERT_TRUE(Load(Write(SampleLines())).ok);
  model_.proxyList.clear();
  fs::path file = folder_.path() / kSettingsFileName;
  ASSERT_TRUE(SaveSettings(file, *codec_, model_).ok);
  const std::string bytes = ReadBytes(file);
  EXPECT_EQ(bytes.substr(bytes.size() - 7), "\r\n 0 \r\n");

  SettingsModel reread;
  reread.proxyList = {"left over"};
  ASSERT_TRUE(LoadSettings(file, *codec_, reread).ok);
  EXPECT_TRUE(reread.proxyList.empty());
}

TEST(PrintNumberTest, BlankOrSignDigitsAndOneTrailingBlank) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {{1, " 1 "},         {0, " 0 "},     {-1, "-1 "},       {-0.0, " 0 "},
               {15000, " 15000 "}, {2.5, " 2.5 "}, {-0.25, "-0.25 "}, {2147483647, " 2147483647 "}};
  for (const Case& c : cases) EXPECT_EQ(FormatPrintNumber(c.value), c.text) << c.value;
}

TEST_F(SettingsFileTest, OnlyTheValueOneTicksACheckBox) {
  struct Case {
    const char* text;
    bool ticked;
  } cases[] = {{"1", true},  {" 1 ", true},  {"1.0", true},  {"\t1", true}, {" 2 ", false},
               {"0", false}, {"-1 ", false}, {"0.5", false}, {"11", false}};
  for (const Case& c : cases) {
    std::vector<std::string> lines = SampleLines();
    lines[8] = c.text;  // toolbarShown
    SettingsModel model;
    model.toolbarShown = !c.ticked;
    ASSERT_TRUE(LoadSettings(Write(lines), *codec_, model).ok) << c.text;
    EXPECT_EQ(model.toolbarShown, c.ticked) << c.text;
  }
}

TEST_F(SettingsFileTest, StoredAdapterIsTakenOnlyWhenListedAndNotAutoDetected) {
  struct Case {
    const char* index;
    std::size_t listSize;
    const char* autoDetect;
    int expected;
  } cases[] = {
      {" 1 ", 2, " 0 ", 1},   // v + 1 == size: taken
      {" 2 ", 2, " 0 ", 0},   // past the list: the automatic choice stays
      {" 1 ", 3, " 1 ", 0},   // automatic detection ignores the file
      {"-1 ", 3, " 0 ", -1},  // no adapter
      {"-5 ", 3, " 0 ", 0},   // no such index: ignored
      {" 0 ", 0, " 0 ", 0},   // empty list
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = SampleLines();
    lines[17] = c.index;
    lines[6] = c.autoDetect;
    SettingsModel model;
    model.interfaceList.assign(c.listSize, "eth");
    model.adapterIndex = 0;  // what the interface table chose
    LoadResult loaded = LoadSettings(Write(lines), *codec_, model);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_EQ(model.adapterIndex, c.expected) << c.index << " of " << c.listSize;
    EXPECT_EQ(loaded.adapterIndexInFile, std::stoi(c.index));
  }
}

TEST_F(SettingsFileTest, ValuesReachTheModelAndTheRecord) {
  std::vector<std::string> lines = SampleLines();
  lines[15] = " 4 ";  // graphSource, blank-padded
  lines[32] = "2.5";  // updateInterval: halves round to even
  lines.push_back("junk after the entries");
  LoadResult loaded = Load(Write(lines, "\n"));  // an editor's bare LF is read too
  ASSERT_TRUE(loaded.ok) << loaded.error;
  EXPECT_EQ(model_.updateInterval, 2);
  EXPECT_EQ(model_.receiveSpeed, 24);
  EXPECT_EQ(model_.sendSpeed, 16);
  EXPECT_EQ(model_.display.top, -150);
  EXPECT_EQ(model_.display.scaleHeight, 114);
  EXPECT_EQ(model_.dialogLeft, 4500);
  EXPECT_EQ(model_.graphSource(), 4);
  EXPECT_EQ(model_.record[SettingsRecord::kGraphSource], " 4 ");  // kept as text
  EXPECT_EQ(model_.mouseOverMode(), 1);
  EXPECT_EQ(model_.textColor(), 16777215u);
  EXPECT_EQ(model_.graphBackColor(), 32768u);
  EXPECT_TRUE(model_.ipCopyMenuShown);
  EXPECT_FALSE(model_.proxyMenuShown);
  EXPECT_TRUE(model_.toolbarSend);
  EXPECT_FALSE(model_.versionCheckAuto);
  EXPECT_EQ(model_.proxyList.size(), 3u);
  EXPECT_EQ(loaded.packed.driveChecks, "10");
  EXPECT_EQ(loaded.packed.driveEndColors, Slots({"16711680", "12345"}));
}

struct BadFile {
  const char* name;
  std::function<void(std::vector<std::string>&)> damage;
  std::vector<std::string> mustSay;
};

void PrintTo(const BadFile& file, std::ostream* os) {
  *os << file.name;
}

class BadSettingsFileTest : public SettingsFileTest,
                            public ::testing::WithParamInterface<BadFile> {};

TEST_P(BadSettingsFileTest, FailsWithOneMessageNamingFileLineFieldAndExpectation) {
  std::vector<std::string> lines = SampleLines();
  GetParam().damage(lines);
  fs::path file = Write(lines);
  model_.proxyList = {"kept"};
  LoadResult loaded = Load(file);
  EXPECT_FALSE(loaded.ok);
  EXPECT_NE(loaded.error.find(file.string()), std::string::npos) << loaded.error;
  for (const std::string& part : GetParam().mustSay) {
    EXPECT_NE(loaded.error.find(part), std::string::npos) << loaded.error << "\nlacks: " << part;
  }
  EXPECT_EQ(loaded.error.find('\n'), std::string::npos);
  EXPECT_EQ(model_.proxyList, std::vector<std::string>{"kept"});  // nothing half applied
}

void Set(std::vector<std::string>& lines, int line, const char* text) {
  lines[line - 1] = text;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BadSettingsFileTest,
    ::testing::Values(
        BadFile{"EndsBeforeLine42",
                [](auto& l) { l.resize(41); },
                {"line 42 (proxyCount)", "ends after line 41"}},
        BadFile{"EmptyFile", [](auto& l) { l.clear(); }, {"line 1 (itemChecks)", "after line 0"}},
        BadFile{"EndsBeforeItsProxyEntries",
                [](auto& l) { l.resize(44); },
                {"line 45 (proxy entry 3 of 3)", "promises 3"}},
        BadFile{"NumberLineNotANumber",
                [](auto& l) { Set(l, 33, "abc"); },
                {"line 33 (updateInterval)", "whole number from 1 to 20", "\"abc\""}},
        BadFile{"EmptyNumberLine",
                [](auto& l) { Set(l, 35, ""); },
                {"line 35 (displayLeft)", "whole number", "\"\""}},
        BadFile{"CheckBoxNotANumber",
                [](auto& l) { Set(l, 6, "yes"); },
                {"line 6 (ipCopyMenuShown)", "a number"}},
        BadFile{"RateUnitIndexTwo",
                [](auto& l) { Set(l, 14, " 2 "); },
                {"line 14 (rateUnit)", "option index from 0 to 1"}},
        BadFile{"GraphSourceIndexFive",
                [](auto& l) { Set(l, 16, "5"); },
                {"line 16 (graphSource)", "from 0 to 4"}},
        BadFile{"DrawModeNegative", [](auto& l) { Set(l, 20, "-1"); }, {"line 20 (drawMode)"}},
        BadFile{
            "AlwaysOnTopNotANumber", [](auto& l) { Set(l, 15, "ON"); }, {"line 15 (alwaysOnTop)"}},
        BadFile{"SliderOutOfRange",
                [](auto& l) { Set(l, 32, "0"); },
                {"line 32 (receiveSpeed)", "from 1 to 192"}},
        BadFile{"HugeNumber", [](auto& l) { Set(l, 40, "99999999999"); }, {"line 40 (dialogLeft)"}},
        BadFile{"ColourNotANumber",
                [](auto& l) { Set(l, 24, "black"); },
                {"line 24 (backColor)", "colour number"}},
        BadFile{"NegativeProxyCount",
                [](auto& l) { Set(l, 42, "-1 "); },
                {"line 42 (proxyCount)", "0 or more"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, BytesThatAreNotCodePage932AreNamedByLine) {
  struct Case {
    std::size_t line;
    const char* field;
  } cases[] = {{2, "line 2 (itemOrder)"}, {43, "line 43 (proxy entry 1 of 3)"}};
  for (const Case& c : cases) {
    std::string bytes = EncodeLines(SampleLines());
    std::size_t at = 0;
    for (std::size_t i = 1; i < c.line; ++i) at = bytes.find("\r\n", at) + 2;
    bytes.insert(at, "\x81\x20");  // a lead byte without a trail byte
    fs::path file = folder_.path() / kSettingsFileName;
    WriteBytes(file, bytes);
    LoadResult loaded = Load(file);
    EXPECT_FALSE(loaded.ok);
    EXPECT_NE(loaded.error.find(c.field), std::string::npos) << loaded.error;
    EXPECT_NE(loaded.error.find("code page 932"), std::string::npos) << loaded.error;
  }
}

TEST_F(SettingsFileTest, MissingFileOrFolderIsReported) {
  for (fs::path file : {folder_.path() / "absent.ini", folder_.path()}) {
    LoadResult loaded = Load(file);
    EXPECT_FALSE(loaded.ok);
    EXPECT_NE(loaded.error.find(file.string()), std::string::npos) << loaded.error;
    EXPECT_NE(loaded.error.find("cannot open"), std::string::npos) << loaded.error;
  }
}

// Saving into a folder the user may not write fails and keeps the old file.
TEST_F(SettingsFileTest, SaveIntoReadOnlyFolderFailsAndKeepsTheOldFile) {
  fs::path file = Write(SampleLines());
  ASSERT_TRUE(Load(file).ok);
  const std::string old = ReadBytes(file);
  model_.proxyList.push_back("new.example:8080");
  fs::permissions(folder_.path(),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  std::string problem = RunUnprivileged([&]() -> std::string {
    SaveResult saved = SaveSettings(file, *codec_, model_);
    if (saved.ok) return "save reported success";
    if (saved.error.find("設定を保存できませんでした") == std::string::npos) {
      return "unclear error: " + saved.error;
    }
    return {};
  });
  EXPECT_EQ(problem, "");
  EXPECT_EQ(ReadBytes(file), old);
}

// A disk that fills up half way through a save must not cost the settings.
TEST_F(SettingsFileTest, WriteFailureHalfWayKeepsTheOldFileAndLeavesNoTemporary) {
  fs::path file = Write(SampleLines());
  ASSERT_TRUE(Load(file).ok);
  const std::string old = ReadBytes(file);
  model_.proxyList.assign(200, "a-long-proxy-host-name.example:8080");

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 512;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  SaveResult result = SaveSettings(file, *codec_, model_);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("cannot write"), std::string::npos) << result.error;
  EXPECT_EQ(ReadBytes(file), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_.path()), fs::directory_iterator()), 1);
}

TEST_F(SettingsFileTest, SaveRefusesWhatCouldNotBeReadBack) {
  struct Case {
    const char* name;
    std::function<void(SettingsModel&)> change;
    const char* mustSay;
  } cases[] = {
      {"emoji", [](SettingsModel& m) { m.proxyList[1] = "🙂.example:80"; },
       "line 44 (proxy entry 2)"},
      {"line break", [](SettingsModel& m) { m.proxyList[0] = "a\r\nb"; },
       "line 43 (proxy entry 1) would contain a line break"},
      {"option", [](SettingsModel& m) { m.record[SettingsRecord::kGraphSource] = "9"; },
       "graphSource"},
      {"slider", [](SettingsModel& m) { m.updateInterval = 0; }, "updateInterval"},
  };
  fs::path file = Write(SampleLines());
  const std::string old = ReadBytes(file);
  for (const Case& c : cases) {
    SettingsModel model;
    ASSERT_TRUE(LoadSettings(file, *codec_, model).ok);
    c.change(model);
    SaveResult result = SaveSettings(file, *codec_, model);
    EXPECT_FALSE(result.ok) << c.name;
    EXPECT_NE(result.error.find(c.mustSay), std::string::npos) << c.name << ": " << result.error;
    EXPECT_EQ(ReadBytes(file), old) << c.name;
  }
}

TEST_F(SettingsFileTest, SaveKeepsPermissionsAndReplacesTheFileALinkPointsTo) {
  fs::path real = folder_.path() / "real.ini";
  WriteBytes(real, EncodeLines(SampleLines()));
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::path link = folder_.path() / kSettingsFileName;
  fs::create_symlink("real.ini", link);
  ASSERT_TRUE(Load(link).ok);
  model_.proxyList = {"changed.example:1"};
  ASSERT_TRUE(SaveSettings(link, *codec_, model_).ok);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_NE(ReadBytes(real).find("changed.example:1"), std::string::npos);
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(SettingsPathTest, BesideTheProgramWhenItsFolderIsWritable) {
  TempFolder exe;
  TempFolder user;
  EXPECT_EQ(ResolveSettingsPath(exe.path(), user.path() / "mirel9x"),
            exe.path() / kSettingsFileName);
  EXPECT_FALSE(fs::exists(user.path() / "mirel9x"));
}

TEST(SettingsPathTest, ReadOnlyInstallUsesAUserCopyOfTheInstalledFile) {
  TempFolder exe;
  TempFolder home;
  const std::string installed = EncodeLines(SampleLines());
  WriteBytes(exe.path() / kSettingsFileName, installed);
  fs::permissions(exe.path(),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  fs::permissions(home.path(), fs::perms::all);  // the unprivileged user's home
  const fs::path userDir = home.path() / "config" / "mirel9x";
  std::string problem = RunUnprivileged([&]() -> std::string {
    fs::path first = ResolveSettingsPath(exe.path(), userDir);
    if (first != userDir / kSettingsFileName) return "first: " + first.string();
    if (ReadBytes(first) != installed) return "the user copy differs from the installed file";
    WriteBytes(first, "edited");
    fs::path second = ResolveSettingsPath(exe.path(), userDir);
    if (second != first) return "second: " + second.string();
    if (ReadBytes(second) != "edited") return "the user's file was overwritten";
    return {};
  });
  EXPECT_EQ(problem, "");
}

#ifdef MIREL_TOOL
// Runs the tool with its output (both streams) captured.
int RunTool(const std::string& arguments, std::string& output) {
  std::string command = std::string("'") + MIREL_TOOL + "' " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  output.clear();
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SettingsFileTest, ToolChecksAndRoundTripsFiles) {
  const fs::path installed = fs::path(MIREL_SOURCE_DIR) / "data" / kSettingsFileName;
  std::string output;
  EXPECT_EQ(RunTool("settings check '" + installed.string() + "'", output), 0);
  EXPECT_EQ(output, "ok\n");

  // The shipped file is in the program's own form: it comes back unchanged.
  const fs::path out = folder_.path() / "out.ini";
  EXPECT_EQ(
      RunTool("settings roundtrip '" + installed.string() + "' '" + out.string() + "'", output), 0)
      << output;
  EXPECT_EQ(ReadBytes(out), ReadBytes(installed));

  std::vector<std::string> lines = SampleLines();
  const fs::path sample = Write(lines);
  EXPECT_EQ(RunTool("settings roundtrip '" + sample.string() + "' '" + out.string() + "'", output),
            0)
      << output;
  EXPECT_EQ(ReadBytes(out), ReadBytes(sample));

  lines[15] = "7";
  const fs::path bad = Write(lines);
  EXPECT_EQ(RunTool("settings check '" + bad.string() + "'", output), 1);
  EXPECT_NE(output.find("line 16 (graphSource)"), std::string::npos) << output;
  EXPECT_EQ(RunTool("settings roundtrip '" + bad.string() + "' '" + out.string() + "'", output), 1);
  EXPECT_EQ(RunTool("settings check", output), 2);
}
#endif

// The installed file is the program's only source of defaults.
TEST_F(SettingsFileTest, InstalledFileIsAUsableStart) {
  LoadResult loaded = Load(fs::path(MIREL_SOURCE_DIR) / "data" / kSettingsFileName);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  BuildRows(loaded);
  std::set<std::string> keys;
  int shown = 0;
  for (const ItemRow& row : model_.items) {
    keys.insert(row.key);
    shown += row.checked;
    if (row.key <= "103") {  // the bars show a gradient
      EXPECT_NE(ParseColourText(row.startColor), ParseColourText(row.endColor)) << row.key;
    }
  }
  EXPECT_EQ(model_.items.size(), 15u);
  EXPECT_EQ(keys.size(), 15u);
  EXPECT_GT(shown, 0);
  EXPECT_EQ(model_.updateInterval * 500, 1000);
  EXPECT_TRUE(model_.proxyList.empty());
  EXPECT_NE(model_.backColor(), model_.textColor());
}

}  // namespace
}  // namespace mirel
