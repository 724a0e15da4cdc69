#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include "platform/atomic_file.h"
#include "settings/char_text.h"
#include "settings/item_catalogue.h"
#include "tests/settings_test_support.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;
using testing::EncodeLines;
using testing::ReadBytes;
#ifndef _WIN32
using testing::RunUnprivileged;
#endif
using testing::TempFolder;
using testing::WriteBytes;

std::string Slots(std::initializer_list<const char*> colours) {
  std::string packed;
  for (std::string slot : colours) packed += slot.append(12 - slot.size(), ' ');
  return packed;
}

std::size_t FilesIn(const fs::path& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// A file in the form the program writes: padded numbers, full colour slots,
// option texts as the dialog stores them, Japanese proxy entries.
std::vector<std::string> SampleLines() {
  // clang-format off
  return {"1011", "100113104114", Slots({"255", "", "", ""}), Slots({"65280", "", "", ""}),
          Slots({"16711680", "12345"}),
          " 1 ", " 1 ", " 0 ", " 1 ", " 1 ", " 0 ", " 0 ", " 1 ",    // check boxes 6-13
          "1", "0", "3", " 1 ", " 3 ", "0", "1", " 0 ",              // options, adapter 14-21
          "10", Slots({"16777215", "8421504"}),                      // drives 22-23
          "0", "16777215", "1", "2", "3", "4", "65535", "32768",     // colours 24-31
          " 24 ", " 2 ", " 16 ",                                     // sliders 32-34
          " 15000 ", "-150 ", " 1838 ", " 2496 ", " 114 ", " 4500 ", " 3000 ",
          " 3 ", "プロキシ.example:8080", "http=ｈｏｓｔ:3128;https=host:443", ""};
  // clang-format on
}

class SettingsFileTest : public ::testing::Test {
 protected:
  fs::path Write(const std::vector<std::string>& lines, const std::string& eol = "\r\n") {
    fs::path file = folder_.path() / PathFromUtf8(kSettingsFileName);
    WriteBytes(file, EncodeLines(lines, eol));
    return file;
  }
  LoadResult Load(const fs::path& file) { return LoadSettings(file, *codec_, model_); }
  // The rows as start-up builds them, with one drive per flag character.
  void BuildRows(const LoadResult& loaded) {
    BuildItemRows(model_, loaded.packed);
    BuildDriveRows(model_,
                   std::vector<std::string>(
                       static_cast<std::size_t>(CharacterCount(loaded.packed.driveChecks)), "/"),
                   loaded.packed);
  }

  TempFolder folder_;
  std::unique_ptr<TextCodec> codec_ = MakeAnsiCodec();
  SettingsModel model_;
};

TEST_F(SettingsFileTest, ProgramFileLoadsAndSavesBackByteForByteTwice) {
  fs::path in = Write(SampleLines());
  LoadResult loaded = Load(in);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  BuildRows(loaded);
  model_.adapterIndex = loaded.adapterIndexInFile;  // no interface list here
  EXPECT_EQ(model_.proxyList[1], "http=ｈｏｓｔ:3128;https=host:443");
  fs::path out = folder_.path() / "out.ini";
  for (int save = 1; save <= 2; ++save) {
    SaveResult saved = SaveSettings(out, *codec_, model_);
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(ReadBytes(out), ReadBytes(in)) << "save " << save;
  }
  EXPECT_EQ(FilesIn(folder_.path()), 2u);  // no temporary file left
}

TEST_F(SettingsFileTest, SavePadsColourSlotsInTheRowsAndAnEmptyListEndsTheFile) {
  ASSERT_TRUE(Load(Write(SampleLines())).ok);
  model_.items = {{"ＣＰＵ使用率", "100", "255", "", true},
                  {"メモリ使用率", "101", "1234567890123", "16777215", false}};
  model_.drives = {DriveRow{"/", "ハードディスク", "", "", true},
                   DriveRow{"/home", "ハードディスク", "12", "123456789012", false}};
  model_.proxyList.clear();
  fs::path file = folder_.path() / PathFromUtf8(kSettingsFileName);
  ASSERT_TRUE(SaveSettings(file, *codec_, model_).ok);
  const std::string first = ReadBytes(file);
  EXPECT_EQ(model_.items[0].startColor, "255         ");
  EXPECT_EQ(model_.items[1].startColor, "1234567890123");  // longer texts stay
  EXPECT_EQ(model_.drives[0].startColor, "16777215    ");  // white only for drives

  SettingsModel reread;
  reread.proxyList = {"left over"};
  LoadResult loaded = LoadSettings(file, *codec_, reread);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  const std::string blank(12, ' ');
  EXPECT_EQ(loaded.packed.itemChecks + loaded.packed.itemOrder, "10100101");
  EXPECT_EQ(loaded.packed.itemStartColors, "255         1234567890123");
  EXPECT_EQ(loaded.packed.itemEndColors, blank + "16777215    ");
  EXPECT_EQ(loaded.packed.driveChecks, "10");
  EXPECT_EQ(loaded.packed.driveStartColors, "16777215    12          ");
  EXPECT_EQ(loaded.packed.driveEndColors, blank + "123456789012");
  EXPECT_TRUE(reread.proxyList.empty());
  EXPECT_EQ(first.substr(first.size() - 7), "\r\n 0 \r\n");

  ASSERT_TRUE(SaveSettings(file, *codec_, model_).ok);
  EXPECT_EQ(ReadBytes(file), first);
}

TEST(PrintNumberTest, BlankOrSignDigitsAndOneTrailingBlank) {
  std::pair<double, const char*> cases[] = {
      {1, " 1 "},         {0, " 0 "},     {-1, "-1 "},       {-0.0, " 0 "},
      {15000, " 15000 "}, {2.5, " 2.5 "}, {-0.25, "-0.25 "}, {2147483647, " 2147483647 "}};
  for (auto [value, text] : cases) EXPECT_EQ(FormatPrintNumber(value), text) << value;
}

TEST_F(SettingsFileTest, OnlyTheValueOneTicksACheckBox) {
  std::pair<const char*, bool> cases[] = {{"1", true},    {" 1 ", true},  {"1.0", true},
                                          {" 2 ", false}, {"-1 ", false}, {"0.5", false}};
  for (auto [text, ticked] : cases) {
    std::vector<std::string> lines = SampleLines();
    lines[8] = text;  // toolbarShown
    model_.toolbarShown = !ticked;
    ASSERT_TRUE(Load(Write(lines)).ok) << text;
    EXPECT_EQ(model_.toolbarShown, ticked) << text;
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
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = SampleLines();
    lines[17] = c.index;
    lines[6] = c.autoDetect;
    model_.interfaceList.assign(c.listSize, "eth");
    model_.adapterIndex = 0;  // what the interface table chose
    LoadResult loaded = Load(Write(lines));
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_EQ(model_.adapterIndex, c.expected) << c.index << " of " << c.listSize;
    EXPECT_EQ(loaded.adapterIndexInFile, std::stoi(c.index));
  }
}

TEST_F(SettingsFileTest, ValuesReachTheModelAndTheRecord) {
  std::vector<std::string> lines = SampleLines();
  lines[15] = " 4 ";  // graphSource, blank-padded
  lines[32] = "2.5";  // updateInterval: halves round to even
  lines.push_back("junk after the entries");
  ASSERT_TRUE(Load(Write(lines, "\n")).ok);  // an editor's bare LF is read too
  EXPECT_EQ(model_.updateInterval, 2);
  EXPECT_EQ(model_.display.top, -150);
  EXPECT_EQ(model_.dialogTop, 3000);
  EXPECT_EQ(model_.graphSource(), 4);
  EXPECT_EQ(model_.record[SettingsRecord::kGraphSource], " 4 ");  // kept as text
  EXPECT_EQ(model_.graphBackColor(), 32768u);
  EXPECT_EQ(model_.proxyList.size(), 3u);
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
  for (std::string part : GetParam().mustSay) {
    EXPECT_NE(loaded.error.find(part), std::string::npos) << loaded.error << "\nlacks: " << part;
  }
  EXPECT_TRUE(loaded.error.starts_with("設定ファイルを読み込めません: ")) << loaded.error;
  EXPECT_NE(loaded.error.find("(" + file.string() + " の "), std::string::npos) << loaded.error;
  EXPECT_EQ(loaded.error.find('\n'), std::string::npos);
  EXPECT_EQ(model_.proxyList, std::vector<std::string>{"kept"});  // nothing half applied
}

auto Set(int line, const char* text) {
  return [=](std::vector<std::string>& lines) { lines[line - 1] = text; };
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Kinds, BadSettingsFileTest, ::testing::Values(
    BadFile{"EndsBeforeLine42", [](auto& l) { l.resize(41); },
            {"の 42 行目、proxyCount)", "ファイルが 41 行で終わっています"}},
    BadFile{"EndsBeforeItsProxyEntries", [](auto& l) { l.resize(44); },
            {"の 45 行目、proxyEntries 3/3)", "プロキシ項目が 3 個続くはず"}},
    BadFile{"NumberLineNotANumber", Set(33, "abc"),
            {"の 33 行目、updateInterval)", "1 から 20 までの整数が必要ですが、\"abc\" と書かれて"}},
    BadFile{"EmptyNumberLine", Set(35, ""), {"の 35 行目、displayLeft)", "整数が必要ですが、空です"}},
    BadFile{"CheckBoxNotANumber", Set(6, "yes"), {"の 6 行目、ipCopyMenuShown)", "数値"}},
    BadFile{"RateUnitIndexTwo", Set(14, " 2 "), {"の 14 行目、rateUnit)", "0 から 1 までの"}},
    BadFile{"GraphSourceIndexFive", Set(16, "5"), {"の 16 行目、graphSource)", "0 から 4 までの"}},
    BadFile{"SliderOutOfRange", Set(32, "0"), {"の 32 行目、receiveSpeed)", "1 から 192 までの"}},
    BadFile{"HugeNumber", Set(40, "99999999999"), {"の 40 行目、dialogLeft)"}},
    BadFile{"ColourNotANumber", Set(24, "black"), {"の 24 行目、backColor)", "色の数値"}},
    BadFile{"NegativeProxyCount", Set(42, "-1 "), {"の 42 行目、proxyCount)", "0 以上"}},
    // A CR inside a line would load but could never be saved again.
    BadFile{"LoneCrInATextLine", Set(1, "10\r11"), {"の 1 行目、itemChecks)", "CR"}},
    BadFile{"LoneCrInAProxyEntry", Set(44, "a.example\r:8080"),
            {"の 44 行目、proxyEntries 2/3)", "行の途中に CR"}},
    BadFile{"CrBeforeTheLineEnd", Set(33, " 2 \r"), {"の 33 行目、updateInterval)", "CR"}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(SettingsFileTest, MissingFileAndForeignBytesAreReported) {
  LoadResult missing = Load(folder_.path() / "absent.ini");
  EXPECT_FALSE(missing.ok);
  EXPECT_TRUE(missing.error.starts_with("設定ファイルを開けません")) << missing.error;
  EXPECT_NE(missing.error.find("absent.ini: " + std::string(std::strerror(ENOENT)) + ")"),
            std::string::npos)
      << missing.error;
  LoadResult folder = Load(folder_.path());
  EXPECT_NE(folder.error.find(std::strerror(EISDIR)), std::string::npos) << folder.error;

  std::string bytes = EncodeLines(SampleLines());
  bytes.insert(bytes.size() - 2, "\x81\x20");  // a lead byte without its trail byte
  fs::path file = folder_.path() / PathFromUtf8(kSettingsFileName);
  WriteBytes(file, bytes);
  LoadResult foreign = Load(file);
  EXPECT_FALSE(foreign.ok);
  EXPECT_NE(foreign.error.find("コードページ 932 (シフト JIS) の文字として読めないバイト"),
            std::string::npos)
      << foreign.error;
  EXPECT_NE(foreign.error.find("の 45 行目、proxyEntries 3/3)"), std::string::npos)
      << foreign.error;
}

// A real file is a few kilobytes; one of megabytes (a link to a device, a
// file gone wrong) is refused by its size, naming the file, before it is read.
TEST_F(SettingsFileTest, AFileOverTheCapIsRefusedUnread) {
  std::string bytes = EncodeLines(SampleLines());
  fs::path file = folder_.path() / PathFromUtf8(kSettingsFileName);
  WriteBytes(file, bytes + std::string(kMaxSettingsBytes - bytes.size(), ' '));
  EXPECT_EQ(Load(file).error.find("大きすぎます"), std::string::npos) << "at the cap it is read";
  WriteBytes(file, bytes + std::string(2 * kMaxSettingsBytes, ' '));
  LoadResult big = Load(file);
  EXPECT_FALSE(big.ok);
  EXPECT_EQ(big.error,
            "設定ファイルを読み込めません: ファイルが大きすぎます。設定ファイルの上限は 1 "
            "MiB です (" +
                PathText(file) + ")");
}

#ifndef _WIN32
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
    if (saved.error.find("設定を保存できませんでした") != 0) return "unclear: " + saved.error;
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
  EXPECT_NE(result.error.find("設定を保存できませんでした: 一時ファイルに書き込めません ("),
            std::string::npos)
      << result.error;
  EXPECT_NE(result.error.find(std::strerror(EFBIG)), std::string::npos) << result.error;
  EXPECT_EQ(ReadBytes(file), old);
  EXPECT_EQ(FilesIn(folder_.path()), 1u);
}

// A folder where the file should be: the status line says so in Japanese, with
// the path and the system's own words after it, whole.
TEST_F(SettingsFileTest, SaveOverAFolderSaysWhyInJapanese) {
  fs::path file = Write(SampleLines());
  ASSERT_TRUE(Load(file).ok);
  fs::remove(file);
  fs::create_directory(file);
  SaveResult result = SaveSettings(file, *codec_, model_);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "設定を保存できませんでした: ファイルを置き換えられません (" +
                              file.string() + ": " + std::strerror(EISDIR) + ")");
}

// A save killed half way leaves "設定.ini.tmp-PID-N"; the next save clears
// those of processes that are gone and nothing else.
TEST_F(SettingsFileTest, SaveRemovesTemporariesOfProcessesThatAreGone) {
  fs::path file = Write(SampleLines());
  ASSERT_TRUE(Load(file).ok);
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  const std::string name = file.filename().string();
  const std::string dead = name + ".tmp-" + std::to_string(child) + "-0";
  const std::string deadToo = name + ".tmp-" + std::to_string(child) + "-17";
  const std::vector<std::string> kept = {
      name + ".tmp-1-0",                                  // init runs
      name + ".tmp-" + std::to_string(getpid()) + "-99",  // this process
      name + ".tmp-" + std::to_string(child) + "-x",      // not our pattern
      name + ".tmp-" + std::to_string(child),             // no counter
      "other.ini.tmp-" + std::to_string(child) + "-0",    // another file's
      name + ".bak",
  };
  for (const std::string& n : kept) WriteBytes(folder_.path() / n, "x");
  WriteBytes(folder_.path() / dead, "half");
  WriteBytes(folder_.path() / deadToo, "half");

  SaveResult result = SaveSettings(file, *codec_, model_);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_FALSE(fs::exists(folder_.path() / dead));
  EXPECT_FALSE(fs::exists(folder_.path() / deadToo));
  for (const std::string& n : kept) EXPECT_TRUE(fs::exists(folder_.path() / n)) << n;
  EXPECT_EQ(FilesIn(folder_.path()), kept.size() + 1);
}
#endif

TEST_F(SettingsFileTest, SaveRefusesWhatCouldNotBeReadBack) {
  std::pair<std::function<void(SettingsModel&)>, const char*> cases[] = {
      {[](SettingsModel& m) { m.proxyList[1] = "🙂.example:80"; },
       "保存できない文字があります ("},
      {[](SettingsModel& m) { m.proxyList[1] = "🙂.example:80"; },
       "の 44 行目、proxyEntries 2/3)"},
      {[](SettingsModel& m) { m.proxyList[0] = "a\r\nb"; }, "値に改行が含まれています ("},
      {[](SettingsModel& m) { m.record[SettingsRecord::kGraphSource] = "9"; }, "、graphSource)"},
      {[](SettingsModel& m) { m.updateInterval = 0; }, "1 から 20 までの整数が必要ですが"},
  };
  fs::path file = Write(SampleLines());
  const std::string old = ReadBytes(file);
  for (auto& [change, mustSay] : cases) {
    SettingsModel model;
    ASSERT_TRUE(LoadSettings(file, *codec_, model).ok);
    change(model);
    SaveResult result = SaveSettings(file, *codec_, model);
    EXPECT_FALSE(result.ok) << mustSay;
    EXPECT_NE(result.error.find(mustSay), std::string::npos) << result.error;
    EXPECT_EQ(ReadBytes(file), old) << mustSay;
  }
}

// The program's folder may have any name, Japanese ones included.
TEST(SettingsPathTest, BesideTheProgramWhenItsFolderIsWritable) {
  TempFolder root;
  const fs::path exe = root.path() / PathFromUtf8("ツール");
  fs::create_directories(exe);
  const fs::path userDir = root.path() / "config" / "mirel9x";
  const fs::path beside = ResolveSettingsPath(exe, userDir);
  EXPECT_EQ(beside, exe / PathFromUtf8(kSettingsFileName));
  EXPECT_EQ(PathText(beside.filename()), kSettingsFileName);
  EXPECT_FALSE(fs::exists(userDir));
  EXPECT_EQ(std::distance(fs::directory_iterator(exe), fs::directory_iterator()), 0)
      << "the writability probe leaves nothing behind";
}

#ifndef _WIN32
TEST(SettingsPathTest, ReadOnlyProgramFolderGivesAUserCopy) {
  TempFolder exe;
  TempFolder home;
  const fs::path userDir = home.path() / "config" / "mirel9x";
  const std::string installed = EncodeLines(SampleLines());
  WriteBytes(exe.path() / PathFromUtf8(kSettingsFileName), installed);
  fs::permissions(exe.path(),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  fs::permissions(home.path(), fs::perms::all);  // the unprivileged user's home
  std::string problem = RunUnprivileged([&]() -> std::string {
    fs::path first = ResolveSettingsPath(exe.path(), userDir);
    if (first != userDir / PathFromUtf8(kSettingsFileName)) return "first: " + first.string();
    if (ReadBytes(first) != installed) return "the user copy differs from the installed file";
    WriteBytes(first, "edited");
    if (ResolveSettingsPath(exe.path(), userDir) != first) return "second call moved";
    if (ReadBytes(first) != "edited") return "the user's file was overwritten";
    return {};
  });
  EXPECT_EQ(problem, "");
}
#endif

#ifndef _WIN32
// An installed tree: prefix/bin/ holds the program only, the default lies in
// prefix/share/mirel9x/. Whether or not bin/ is writable (it is for root),
// the user's copy of the default is used.
TEST(SettingsPathTest, InstalledTreeUsesAUserCopyOfTheSharedDefault) {
  TempFolder prefix;
  TempFolder home;
  const fs::path bin = prefix.path() / "bin";
  const fs::path shared = prefix.path() / "share" / "mirel9x";
  fs::create_directories(bin);
  fs::create_directories(shared);
  const std::string installed = EncodeLines(SampleLines());
  WriteBytes(shared / PathFromUtf8(kSettingsFileName), installed);

  const fs::path writableUser = home.path() / "writable" / "mirel9x";
  const fs::path first = ResolveSettingsPath(bin, writableUser);
  EXPECT_EQ(first, writableUser / PathFromUtf8(kSettingsFileName));
  EXPECT_EQ(ReadBytes(first), installed);
  EXPECT_FALSE(fs::exists(bin / PathFromUtf8(kSettingsFileName)));

  fs::permissions(bin, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  fs::permissions(home.path(), fs::perms::all);
  const fs::path readOnlyUser = home.path() / "read-only" / "mirel9x";
  std::string problem = RunUnprivileged([&]() -> std::string {
    fs::path path = ResolveSettingsPath(bin, readOnlyUser);
    if (path != readOnlyUser / PathFromUtf8(kSettingsFileName)) return "path: " + path.string();
    if (ReadBytes(path) != installed) return "the user copy differs from the shared default";
    return {};
  });
  EXPECT_EQ(problem, "");
}
#endif

// A program folder that holds its own file keeps using it (a copy run from
// a folder of its own), even with an installed default next door.
TEST(SettingsPathTest, AFileBesideTheProgramWinsOverTheSharedDefault) {
  TempFolder prefix;
  TempFolder home;
  const fs::path bin = prefix.path() / "bin";
  fs::create_directories(bin);
  fs::create_directories(prefix.path() / "share" / "mirel9x");
  WriteBytes(prefix.path() / "share" / "mirel9x" / PathFromUtf8(kSettingsFileName), "shared");
  WriteBytes(bin / PathFromUtf8(kSettingsFileName), "beside");
  const fs::path userDir = home.path() / "mirel9x";
  EXPECT_EQ(ResolveSettingsPath(bin, userDir), bin / PathFromUtf8(kSettingsFileName));
  EXPECT_FALSE(fs::exists(userDir));
}

#ifdef MIREL_TOOL
// Runs the tool with both output streams captured; returns its exit status.
int RunTool(const std::string& arguments, std::string& output) {
  FILE* pipe = popen(("'" MIREL_TOOL "' settings " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  output.clear();
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SettingsFileTest, ToolChecksAndRoundTripsFiles) {
  const std::string installed =
      (fs::path(MIREL_SOURCE_DIR) / "data" / PathFromUtf8(kSettingsFileName)).string();
  const fs::path out = folder_.path() / "out.ini";
  std::string output;
  EXPECT_EQ(RunTool("check '" + installed + "'", output), 0);
  EXPECT_EQ(output, "ok\n");
  // The shipped file is in the program's own form, so it comes back unchanged.
  EXPECT_EQ(RunTool("roundtrip '" + installed + "' '" + out.string() + "'", output), 0) << output;
  EXPECT_EQ(ReadBytes(out), ReadBytes(installed));

  std::vector<std::string> lines = SampleLines();
  lines[15] = "7";
  const fs::path bad = Write(lines);
  EXPECT_EQ(RunTool("check '" + bad.string() + "'", output), 1);
  EXPECT_NE(output.find("の 16 行目、graphSource)"), std::string::npos) << output;
  EXPECT_EQ(RunTool("roundtrip '" + bad.string() + "' '" + out.string() + "'", output), 1);
  EXPECT_EQ(RunTool("check", output), 2);
}

#endif

// The installed file is the program's only source of defaults.
TEST_F(SettingsFileTest, InstalledFileIsAUsableStart) {
  LoadResult loaded = Load(fs::path(MIREL_SOURCE_DIR) / "data" / PathFromUtf8(kSettingsFileName));
  ASSERT_TRUE(loaded.ok) << loaded.error;
  BuildRows(loaded);
  std::set<std::string> keys;
  bool anyShown = false;
  for (const ItemRow& row : model_.items) {
    keys.insert(row.key);
    anyShown |= row.checked;
    if (row.key <= "103") {  // the bars show a gradient
      EXPECT_NE(ParseColourText(row.startColor), ParseColourText(row.endColor)) << row.key;
    }
  }
  EXPECT_EQ(keys.size(), 15u);
  EXPECT_TRUE(anyShown);
  EXPECT_EQ(RefreshIntervalMs(model_), 1000);
  EXPECT_NE(model_.backColor(), model_.textColor());
}

}  // namespace
}  // namespace mirel
