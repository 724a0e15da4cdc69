#include "behaviour/settings_commands.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "settings/settings_file.h"
#include "tests/settings_test_support.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;

ItemRow Item(const std::string& key, bool checked, const std::string& start = "",
             const std::string& end = "") {
  return ItemRow{"item" + key, key, start, end, checked};
}

// A model with four item rows in a mixed order and two drives.
SettingsModel SmallModel() {
  SettingsModel m;
  m.items = {Item("100", true, "255", "65280"), Item("104", true), Item("101", false, "", ""),
             Item("102", false, "16711680", "0")};
  DriveRow c;
  c.text = "/";
  c.checked = true;
  DriveRow d;
  d.text = "/home";
  m.drives = {c, d};
  for (std::string& entry : m.record.entries) entry = "0";
  return m;
}

GradientImages SizedImages(std::size_t drives) {
  GradientImages g;
  for (Canvas& c : g.items) c.Resize(kStripWidth, kStripHeight, 0);
  g.drives.resize(drives);
  for (Canvas& c : g.drives) c.Resize(kStripWidth, kStripHeight, 0);
  g.itemPreview.Resize(kStripWidth, kStripHeight, 0);
  g.drivePreview.Resize(kStripWidth, kStripHeight, 0);
  return g;
}

std::vector<std::string> Keys(const SettingsModel& m) {
  std::vector<std::string> keys;
  for (const ItemRow& r : m.items) keys.push_back(r.key);
  return keys;
}

// A chooser that records how often it was asked and answers `answer`.
struct FakeChooser {
  std::optional<std::uint32_t> answer;
  int calls = 0;
  std::uint32_t lastInitial = 0;
  ColourChooser Fn() {
    return [this](std::uint32_t initial) {
      ++calls;
      lastInitial = initial;
      return answer;
    };
  }
};

// --- Item list ------------------------------------------------------------

TEST(ItemListTest, MovesStopAtTheEdgesAndWithoutSelection) {
  struct Case {
    int selected;
    bool up;
    bool moved;
    std::vector<std::string> order;
    int selectedAfter;
  } cases[] = {
      {0, true, false, {"100", "104", "101", "102"}, 0},
      {3, false, false, {"100", "104", "101", "102"}, 3},
      {-1, true, false, {"100", "104", "101", "102"}, -1},
      {-1, false, false, {"100", "104", "101", "102"}, -1},
      {2, true, true, {"100", "101", "104", "102"}, 1},
      {2, false, true, {"100", "104", "102", "101"}, 3},
  };
  for (const Case& c : cases) {
    SettingsModel m = SmallModel();
    m.selectedItem = c.selected;
    const bool moved = c.up ? MoveItemUp(m) : MoveItemDown(m);
    SCOPED_TRACE(::testing::Message() << "selected " << c.selected << (c.up ? " up" : " down"));
    EXPECT_EQ(moved, c.moved);
    EXPECT_EQ(Keys(m), c.order);
    EXPECT_EQ(m.selectedItem, c.selectedAfter);
    EXPECT_FALSE(m.resizePending);
  }
}

TEST(ItemListTest, MovedRowKeepsTickNameAndColours) {
  SettingsModel m = SmallModel();
  m.selectedItem = 0;
  ASSERT_TRUE(MoveItemDown(m));
  ASSERT_TRUE(MoveItemDown(m));
  const ItemRow& moved = m.items[2];
  EXPECT_EQ(moved.key, "100");
  EXPECT_EQ(moved.text, "item100");
  EXPECT_TRUE(moved.checked);
  EXPECT_EQ(moved.startColor, "255");
  EXPECT_EQ(moved.endColor, "65280");
  EXPECT_EQ(m.items[0].key, "104");
  EXPECT_TRUE(m.items[0].checked);
}

TEST(ItemListTest, LastTickedRowCannotBeUnticked) {
  SettingsModel m = SmallModel();
  m.items[0].checked = false;
  ItemTickChanged(m, 0);
  EXPECT_FALSE(m.items[0].checked) << "another row is still ticked";
  EXPECT_TRUE(m.resizePending);

  m.resizePending = false;
  m.items[1].checked = false;  // the last ticked row
  ItemTickChanged(m, 1);
  EXPECT_TRUE(m.items[1].checked);
  EXPECT_TRUE(m.resizePending) << "set whatever the change was";
  for (std::size_t i : {0u, 2u, 3u}) EXPECT_FALSE(m.items[i].checked);
}

TEST(ItemListTest, IpCopyEntryNeedsBothTheRowAndTheCheckBox) {
  struct Case {
    bool rowTicked;
    bool checkBox;
    bool visible;
  } cases[] = {
      {true, true, true}, {true, false, false}, {false, true, false}, {false, false, false}};
  for (const Case& c : cases) {
    SettingsModel m = SmallModel();
    m.ipCopyMenuShown = c.checkBox;
    m.items[1].checked = c.rowTicked;  // key "104"
    ItemTickChanged(m, 1);
    EXPECT_EQ(m.ipCopyEntryVisible, c.visible) << c.rowTicked << c.checkBox;
    m.ipCopyEntryVisible = !c.visible;
    IpCopyCheckClicked(m);
    EXPECT_EQ(m.ipCopyEntryVisible, c.visible) << "check box click " << c.rowTicked << c.checkBox;
  }
}

// --- Colours --------------------------------------------------------------

TEST(ColourTest, CancelledChooserChangesNothing) {
  SettingsModel m = SmallModel();
  GradientImages g = SizedImages(2);
  m.selectedItem = 0;
  ItemRowSelected(m, g);
  const SettingsModel before = m;
  const std::vector<std::uint32_t> preview(g.itemPreview.data(), g.itemPreview.data() + 157 * 13);
  FakeChooser cancel;
  for (RowColour which : {RowColour::kStart, RowColour::kEnd, RowColour::kBoth}) {
    ChangeItemColour(m, g, which, cancel.Fn());
  }
  EXPECT_EQ(cancel.calls, 3);
  EXPECT_EQ(m.items[0].startColor, before.items[0].startColor);
  EXPECT_EQ(m.items[0].endColor, before.items[0].endColor);
  EXPECT_EQ(std::vector<std::uint32_t>(g.itemPreview.data(), g.itemPreview.data() + 157 * 13),
            preview);

  m.selectedDrive = 1;
  ChangeDriveColour(m, g, RowColour::kBoth, cancel.Fn());
  EXPECT_EQ(m.drives[1].startColor, "");
  EXPECT_EQ(m.drives[1].endColor, "");

  EXPECT_FALSE(ChangeSingleColour(m, 3, cancel.Fn()));
  EXPECT_EQ(m.record[SettingsRecord::kColor3], "0");
}

TEST(ColourTest, ItemsWithoutBarOpenNoChooser) {
  SettingsModel m = SmallModel();
  GradientImages g = SizedImages(2);
  FakeChooser chooser{Rgb(1, 2, 3)};
  m.selectedItem = 1;  // key "104"
  ChangeItemColour(m, g, RowColour::kStart, chooser.Fn());
  EXPECT_EQ(chooser.calls, 0);
  EXPECT_EQ(m.startColourCaption, "色変更不可");
  EXPECT_EQ(m.endColourCaption, "色変更不可");
  EXPECT_EQ(m.items[1].startColor, "");

  m.selectedItem = -1;
  ChangeItemColour(m, g, RowColour::kBoth, chooser.Fn());
  EXPECT_EQ(chooser.calls, 0);
}

TEST(ColourTest, ChosenColourGoesToTheRightEndsAndRepaints) {
  const std::uint32_t c = Rgb(10, 200, 30);
  struct Case {
    RowColour which;
    std::string start;
    std::string end;
    std::uint32_t initial;  // the colour the chooser starts from
  } cases[] = {
      {RowColour::kStart, std::to_string(c), "65280", 255},
      {RowColour::kEnd, "255", std::to_string(c), 65280},
      {RowColour::kBoth, std::to_string(c), std::to_string(c), 255},
  };
  for (const Case& k : cases) {
    SettingsModel m = SmallModel();
    GradientImages g = SizedImages(2);
    m.selectedItem = 0;  // key "100", colours 255 -> 65280
    FakeChooser chooser{c};
    ChangeItemColour(m, g, k.which, chooser.Fn());
    EXPECT_EQ(chooser.calls, 1);
    EXPECT_EQ(chooser.lastInitial, k.initial);
    EXPECT_EQ(m.items[0].startColor, k.start);
    EXPECT_EQ(m.items[0].endColor, k.end);
    EXPECT_EQ(m.startColourCaption, "開始色");
    EXPECT_EQ(g.items[0].GetPixel(0, 0), ParseColourText(k.start));
  }
  // "単色" makes a plain bar.
  SettingsModel m = SmallModel();
  GradientImages g = SizedImages(2);
  m.selectedItem = 3;  // key "102"
  FakeChooser chooser{c};
  ChangeItemColour(m, g, RowColour::kBoth, chooser.Fn());
  for (int x : {0, 78, 156}) {
    EXPECT_EQ(g.itemPreview.GetPixel(x, 6), c) << x;
    EXPECT_EQ(g.items[2].GetPixel(x, 12), c) << x;
  }
}

TEST(ColourTest, DriveSelectionFillsStartColourAndRendersThatDrive) {
  SettingsModel m = SmallModel();
  GradientImages g = SizedImages(2);
  m.drives[1].endColor = "0";
  m.selectedDrive = 1;
  DriveRowSelected(m, g);
  EXPECT_EQ(m.drives[1].startColor, "16777215");
  EXPECT_EQ(g.drives[1].GetPixel(0, 0), kWhite);
  EXPECT_EQ(g.drives[0].GetPixel(0, 0), 0u) << "the other drive's image is untouched";

  FakeChooser chooser{Rgb(0, 0, 255)};
  m.selectedDrive = -1;
  ChangeDriveColour(m, g, RowColour::kStart, chooser.Fn());
  EXPECT_EQ(chooser.calls, 0);
  m.selectedDrive = 1;
  ChangeDriveColour(m, g, RowColour::kEnd, chooser.Fn());
  EXPECT_EQ(m.drives[1].endColor, std::to_string(Rgb(0, 0, 255)));
  EXPECT_EQ(m.drives[1].startColor, "16777215");
}

TEST(ColourTest, LastTickedDriveStaysTicked) {
  SettingsModel m = SmallModel();
  m.drives[0].checked = false;
  DriveTickChanged(m, 0);
  EXPECT_TRUE(m.drives[0].checked);
  EXPECT_TRUE(m.resizePending);
  m.drives[1].checked = true;
  m.drives[0].checked = false;
  DriveTickChanged(m, 0);
  EXPECT_FALSE(m.drives[0].checked);
}

TEST(ColourTest, SwatchWritesItsOwnField) {
  for (int i = 0; i < 8; ++i) {
    SettingsModel m = SmallModel();
    FakeChooser chooser{Rgb(1, 2, 3) + static_cast<std::uint32_t>(i)};
    EXPECT_TRUE(ChangeSingleColour(m, i, chooser.Fn()));
    for (int j = 0; j < 8; ++j) {
      EXPECT_EQ(m.Colour(SettingsRecord::kBackColor + j), i == j ? *chooser.answer : 0u)
          << i << " " << j;
    }
  }
  SettingsModel m = SmallModel();
  FakeChooser chooser{1};
  EXPECT_FALSE(ChangeSingleColour(m, 8, chooser.Fn()));
  EXPECT_EQ(chooser.calls, 0);
}

// --- Sliders and options --------------------------------------------------

TEST(CaptionTest, SpeedAndIntervalTexts) {
  EXPECT_EQ(SpeedCaption(kReceiveCaptionPrefix, 24, 0), "受信速度設定  192Kbyte/秒");
  EXPECT_EQ(SpeedCaption(kReceiveCaptionPrefix, 192, 1), "受信速度設定  12288Kbit/秒");
  EXPECT_EQ(SpeedCaption(kSendCaptionPrefix, 8, 1), "送信速度設定  512Kbit/秒");
  EXPECT_EQ(SpeedCaption(kSendCaptionPrefix, 1, 0), "送信速度設定  8Kbyte/秒");
  const std::pair<int, const char*> intervals[] = {
      {1, "更新間隔  0.5秒"}, {2, "更新間隔  1秒"}, {5, "更新間隔  2.5秒"}, {20, "更新間隔  10秒"}};
  for (const auto& [v, text] : intervals) {
    EXPECT_EQ(IntervalCaption(v), text);
  }
}

TEST(CaptionTest, RateUnitRewritesBothCaptionsWithoutMovingSliders) {
  SettingsModel m = SmallModel();
  m.receiveSpeed = 192;
  m.sendSpeed = 8;
  m.record[SettingsRecord::kRateUnit] = "1";
  EXPECT_EQ(ReceiveSpeedCaption(m), "受信速度設定  12288Kbit/秒");
  EXPECT_EQ(SendSpeedCaption(m), "送信速度設定  512Kbit/秒");
  m.record[SettingsRecord::kRateUnit] = "0";
  EXPECT_EQ(ReceiveSpeedCaption(m), "受信速度設定  1536Kbyte/秒");
  EXPECT_EQ(m.receiveSpeed, 192);
  EXPECT_EQ(m.sendSpeed, 8);
}

TEST(OptionTest, PresetsSetBothSlidersAndStoreNothing) {
  struct Case {
    int i;
    int receive;
    int send;
  } cases[] = {{0, 1, 1}, {1, 24, 8}, {2, 128, 16}, {3, 192, 16}, {4, 50, 60}, {-1, 50, 60}};
  for (const Case& c : cases) {
    SettingsModel m = SmallModel();
    m.receiveSpeed = 50;
    m.sendSpeed = 60;
    const SettingsRecord before = m.record;
    SpeedPresetClicked(m, c.i);
    EXPECT_EQ(m.receiveSpeed, c.receive) << c.i;
    EXPECT_EQ(m.sendSpeed, c.send) << c.i;
    EXPECT_EQ(m.record.entries, before.entries);
  }
}

TEST(OptionTest, ToolbarBoxFollowsTheToolbarCheck) {
  SettingsModel m;
  m.toolbarShown = true;
  m.toolbarCpu = m.toolbarSend = true;

  m.toolbarShown = false;
  ToolbarCheckClicked(m);
  EXPECT_FALSE(m.toolbarCpu || m.toolbarMemory || m.toolbarReceive || m.toolbarSend);
  EXPECT_FALSE(m.toolbarBoxesEnabled);

  m.toolbarShown = true;
  ToolbarCheckClicked(m);
  EXPECT_TRUE(m.toolbarBoxesEnabled);
  EXPECT_FALSE(m.toolbarCpu || m.toolbarSend) << "ticking again leaves them unticked";
}

TEST(OptionTest, ProxyEntryFollowsItsCheckBox) {
  SettingsModel m;
  for (bool ticked : {true, false}) {
    m.proxyMenuShown = ticked;
    ProxyMenuCheckClicked(m);
    EXPECT_EQ(m.proxyEntryVisible, ticked);
    m.proxyEntryVisible = !ticked;
    ToolbarCheckClicked(m);  // any member of the pair re-applies it
    EXPECT_EQ(m.proxyEntryVisible, ticked);
  }
}

// --- Proxy list -----------------------------------------------------------

TEST(ProxyListTest, AddStripsLeadingBlanksOnly) {
  struct Case {
    std::string typed;
    bool added;
    std::string entry;
    std::string status;
  } cases[] = {
      {"localhost:8080", true, "localhost:8080", "localhost:8080をプロキシリストに追加しました"},
      {"   proxy:3128  ", true, "proxy:3128  ", "proxy:3128  をプロキシリストに追加しました"},
      {"    ", false, "", ""},
      {"", false, "", ""},
  };
  for (const Case& c : cases) {
    SettingsModel m;
    m.proxyList = {"a:1"};
    m.proxyText = c.typed;
    EXPECT_EQ(AddProxy(m), c.added) << c.typed;
    EXPECT_EQ(m.statusText, c.status);
    EXPECT_EQ(m.proxyText, "") << "the box is emptied, or left without its blanks";
    EXPECT_EQ(m.proxyList.size(), c.added ? 2u : 1u);
    if (c.added) {
      EXPECT_EQ(m.proxyList.back(), c.entry);
    }
  }
}

TEST(ProxyListTest, DuplicatesAndRemoval) {
  SettingsModel m;
  for (int i = 0; i < 2; ++i) {
    m.proxyText = "dup:80";
    ASSERT_TRUE(AddProxy(m));
  }
  m.proxyText = "other:81";
  ASSERT_TRUE(AddProxy(m));
  EXPECT_EQ(m.proxyList, (std::vector<std::string>{"dup:80", "dup:80", "other:81"}));

  m.statusText = "kept";
  m.selectedProxy = -1;
  EXPECT_FALSE(RemoveProxy(m));
  m.selectedProxy = 3;
  EXPECT_FALSE(RemoveProxy(m));
  EXPECT_EQ(m.statusText, "kept");

  m.selectedProxy = 2;
  EXPECT_TRUE(RemoveProxy(m));
  EXPECT_EQ(m.statusText, "other:81をプロキシリストから削除しました");
  EXPECT_EQ(m.proxyList, (std::vector<std::string>{"dup:80", "dup:80"}));
  EXPECT_EQ(m.selectedProxy, -1);
}

// --- Save and reset -------------------------------------------------------

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("mirel-save-" + std::to_string(mirel::testing::ProcessId()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    codec_ = MakeAnsiCodec();
    model_ = SmallModel();
    model_.proxyList = {"localhost:8080", "localhost:8080"};
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all);
    fs::remove_all(dir_);
  }
  fs::path dir_;
  std::unique_ptr<TextCodec> codec_;
  SettingsModel model_;
};

TEST_F(SaveTest, SavingTwiceWritesTheSameFile) {
  const fs::path file = dir_ / PathFromUtf8(kSettingsFileName);
  ASSERT_TRUE(SaveCommand(model_, file, *codec_)) << model_.statusText;
  EXPECT_EQ(model_.statusText, "設定を保存しました");
  const std::string first = ReadAll(file);
  EXPECT_EQ(model_.drives[1].startColor, "16777215    ") << "padded in the row itself";
  ASSERT_TRUE(SaveCommand(model_, file, *codec_));
  EXPECT_EQ(ReadAll(file), first);
  EXPECT_EQ(model_.drives[1].startColor, "16777215    ");
}

#ifndef _WIN32
// Root ignores folder permissions, so the write runs in a child that gives
// them up first; the child reports the status text through a pipe.
std::pair<bool, std::string> SaveAsUnprivileged(SettingsModel& model, const fs::path& file,
                                                const TextCodec& codec) {
  if (::geteuid() != 0) {
    const bool ok = SaveCommand(model, file, codec);
    return {ok, model.statusText};
  }
  int fds[2];
  if (::pipe(fds) != 0) return {true, "pipe failed"};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    const bool ok = SaveCommand(model, file, codec);
    const std::string& text = model.statusText;
    if (::write(fds[1], text.data(), text.size()) < 0) ::_exit(4);
    ::_exit(ok ? 0 : 1);
  }
  ::close(fds[1]);
  std::string text;
  char buf[512];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, std::size_t(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) && WEXITSTATUS(status) == 0, text};
}

TEST_F(SaveTest, ReadOnlyFolderReportsFailureAndKeepsOldFile) {
  const fs::path file = dir_ / PathFromUtf8(kSettingsFileName);
  {
    std::ofstream out(file, std::ios::binary);
    out << "old contents\r\n";
  }
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                            fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec);
  auto [ok, status] = SaveAsUnprivileged(model_, file, *codec_);
  EXPECT_FALSE(ok);
  EXPECT_FALSE(status.empty());
  EXPECT_NE(status, "設定を保存しました");
  EXPECT_EQ(ReadAll(file), "old contents\r\n");
  std::vector<fs::path> left;
  for (const auto& e : fs::directory_iterator(dir_)) left.push_back(e.path().filename());
  EXPECT_EQ(left.size(), 1u) << "no temporary file is left behind";
}

#endif

TEST(ResetTest, SizeAndPositionOfTheMonitorWindow) {
  SettingsModel m;
  m.display = {300, 450, 9999, 1234, 77};
  ResetWindowSize(m, 58);
  EXPECT_EQ(m.display.height, 15 * 58 + 128);
  EXPECT_EQ(m.display.scaleHeight, 58);
  EXPECT_EQ(m.display.width, 2496);
  EXPECT_EQ(m.display.left, 300);
  EXPECT_EQ(m.statusText, "ウインドウサイズを初期化しました");
  ResetWindowPosition(m);
  EXPECT_EQ(m.display.left, 0);
  EXPECT_EQ(m.display.top, 0);
  EXPECT_EQ(m.display.height, 15 * 58 + 128) << "size unchanged";
  EXPECT_EQ(m.statusText, "ウインドウ位置を初期化しました");
}

TEST(ResetTest, TotalButtons) {
  MonitorState s;
  s.rxTotal = 5000;
  s.txTotal = 7000;
  s.rxStartTotal = 10;
  s.txStartTotal = 20;
  ResetTotal(s, 0);
  EXPECT_EQ(s.rxStartTotal, 5000u);
  EXPECT_EQ(s.txStartTotal, 20u);
  ResetTotal(s, 1);
  EXPECT_EQ(s.txStartTotal, 7000u);
  ResetTotal(s, 2);
  EXPECT_EQ(s.rxStartTotal, 0u);
  EXPECT_EQ(s.txStartTotal, 7000u);
  ResetTotal(s, 3);
  EXPECT_EQ(s.txStartTotal, 0u);
  ResetTotal(s, 4);
  EXPECT_EQ(s.rxTotal, 5000u);
}

}  // namespace
}  // namespace mirel
