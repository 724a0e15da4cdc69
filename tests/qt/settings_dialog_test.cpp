#include "shell/qt/settings_dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "behaviour/settings_commands.h"
#include "drawing/gradient.h"
#include "platform/platform.h"
#include "settings/item_catalogue.h"
#include "settings/settings_file.h"
#include "settings/settings_model.h"
#include "shell/qt/status_line.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;

QString U(const char* text) {
  return QString::fromUtf8(text);
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// What the rest of the program does for the dialog's commands, as far as
// these tests look: recorded, the model changed as Program changes it, and
// the dialog told to read the parts again.
struct TestActions : DialogActions {
  SettingsModel* m = nullptr;
  GradientImages* g = nullptr;
  SettingsDialog* dialog = nullptr;
  fs::path file;
  std::optional<QColor> chosen;
  int chooserCalls = 0;
  std::vector<int> intervals;
  std::vector<bool> toolbarShown;
  std::vector<int> totals;
  int graphCleared = 0, graphBackChanged = 0, saves = 0, geometryApplied = 0, closed = 0;
  int homePages = 0;

  SettingsModel& model() override { return *m; }
  GradientImages& gradientImages() override { return *g; }
  std::optional<std::uint32_t> ChooseColour(std::uint32_t) override {
    ++chooserCalls;
    if (!chosen) return std::nullopt;
    return Rgb(chosen->red(), chosen->green(), chosen->blue());
  }
  void RefreshDialog(DialogParts parts) override {
    if (dialog) dialog->Refresh(parts);
  }
  void RefreshIntervalChanged() override { intervals.push_back(RefreshIntervalMs(*m)); }
  void MouseOverModeChanged() override {}
  void ToolbarShownChanged() override { toolbarShown.push_back(m->toolbarShown); }
  void ClearGraph() override { ++graphCleared; }
  void RepaintGraphBackground() override { ++graphBackChanged; }
  void ResetTotal(int which) override { totals.push_back(which); }
  void ResetMonitorSize() override {
    ResetWindowSize(*m, 58);
    ++geometryApplied;
  }
  void ResetMonitorPosition() override {
    ResetWindowPosition(*m);
    ++geometryApplied;
  }
  void SaveSettings() override {
    ++saves;
    SaveCommand(*m, file, *MakeAnsiCodec());
  }
  void CloseDialog() override {
    ++closed;
    dialog->hide();
  }
  void OpenHomePage() override { ++homePages; }
};

std::vector<ScreenArea> Screens() {
  std::vector<ScreenArea> out;
  for (const QScreen* s : QGuiApplication::screens()) {
    const QRect f = s->geometry(), a = s->availableGeometry();
    out.push_back({{f.x(), f.y(), f.width(), f.height()},
                   {a.x(), a.y(), a.width(), a.height()},
                   s == QGuiApplication::primaryScreen()});
  }
  return out;
}

// A model as start-up leaves it: the fifteen items in key order with the
// first four ticked, two drives, two proxies.
class DialogTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("mirel-dialog-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const CatalogueItem& item : ItemCatalogue()) {
      const bool bar = model_.items.size() < 4;
      model_.items.push_back(
          {item.name, item.key, bar ? "255" : "", bar ? "16711680" : "", model_.items.size() < 4});
    }
    DriveRow root;
    root.text = "/";
    root.checked = true;
    DriveRow home;
    home.text = "/home";
    model_.drives = {root, home};
    for (int i = 0; i < SettingsRecord::kSize; ++i) model_.record[i] = "0";
    model_.record[SettingsRecord::kAlwaysOnTop] = "1";
    model_.receiveSpeed = 50;
    model_.sendSpeed = 20;
    model_.updateInterval = 2;
    model_.toolbarShown = true;
    model_.toolbarCpu = true;
    model_.interfaceList = {"lo", "eth0"};
    model_.adapterIndex = 1;
    model_.proxyList = {"localhost:8080", "proxy:3128"};
    RenderAllGradients(model_, gradients_);
    actions_.m = &model_;
    actions_.g = &gradients_;
    actions_.file = dir_ / kSettingsFileName;
  }
  void TearDown() override {
    dialog_.reset();
    fs::remove_all(dir_);
  }

  SettingsDialog& Dialog() {
    if (!dialog_) {
      dialog_ = std::make_unique<SettingsDialog>(model_, gradients_, controller_);
      actions_.dialog = dialog_.get();
    }
    return *dialog_;
  }
  template <typename W = QWidget>
  W* Find(const char* name) {
    W* w = Dialog().findChild<W*>(QString::fromUtf8(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
  QTreeWidget* Items() { return Find<QTreeWidget>("ListView2"); }
  void SelectItem(int row) { Items()->setCurrentItem(Items()->topLevelItem(row)); }
  QString Status() { return Find<QStatusBar>("StatusBar1")->currentMessage(); }
  QImage Preview(const char* name) { return Find<QLabel>(name)->pixmap().toImage(); }

  fs::path dir_;
  SettingsModel model_;
  GradientImages gradients_;
  TestActions actions_;
  DialogController controller_{actions_};
  std::unique_ptr<SettingsDialog> dialog_;
};

// --- Frame and layout -------------------------------------------------------

TEST_F(DialogTest, WindowIsAFixedHiddenToolWithoutCloseButtons) {
  SettingsDialog& d = Dialog();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(d.size(), QSize(425, 329));
  EXPECT_EQ(d.minimumSize(), d.maximumSize());
  EXPECT_EQ(d.windowTitle(), U("Mirel君9x"));
  const Qt::WindowFlags flags = d.windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
  EXPECT_FALSE(
      flags & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint | Qt::WindowSystemMenuHint));

  auto* tabs = Find<QTabWidget>("TabStrip1");
  const char* captions[] = {"表示設定", "回線設定",     "プロキシ",
                            "HDD",      "その他の設定", "バージョン情報"};
  ASSERT_EQ(tabs->count(), 6);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(tabs->tabText(k), U(captions[k]));
    EXPECT_EQ(tabs->widget(k)->objectName(), QStringLiteral("Picture1_%1").arg(k));
  }
  EXPECT_LE(tabs->tabBar()->sizeHint().width(), 425) << "all six tabs without scroll arrows";
}

TEST_F(DialogTest, ControlsCarryTheirCaptionsPlacesAndTips) {
  struct Control {
    const char* name;
    const char* caption;
    QRect place;
  } controls[] = {
      {"Command4", "サイズ初期化", {0, 280, 97, 33}},
      {"Command5", "位置初期化", {96, 280, 81, 33}},
      {"Command3", "設定保存", {176, 280, 81, 33}},
      {"Command2", "閉じる", {256, 280, 169, 33}},
      {"Command1_0", "↑", {224, 64, 33, 33}},
      {"Command1_1", "↓", {224, 112, 33, 33}},
      {"Command9_2", "単色", {92, 224, 37, 25}},
      {"Command6_0", "リセット", {312, 196, 49, 19}},
      {"Command6_3", "総量", {368, 216, 33, 19}},
      {"Command7", "追加", {352, 16, 57, 17}},
      {"Command8", "削除", {352, 232, 57, 17}},
      {"Command10_0", "開始色", {8, 208, 69, 25}},
      {"Command10_2", "単色", {76, 208, 41, 25}},
      {"Command10_1", "終点色", {116, 208, 69, 25}},
      {"Check2_0", "右クリックにプロキシメニューを表示する", {16, 232, -1, -1}},
      {"Check1_1", "自動認識", {324, 20, -1, -1}},
      {"Check1_20", "Mirel君の最新バージョンを自動チェックする", {8, 224, -1, -1}},
      {"Check1_0", "右クリックにIPアドレスコピーを表示", {200, 200, -1, -1}},
      {"Option3_0", "なし", {68, 72, -1, -1}},
      {"Option5_2", "　　８M　ADSL", {224, 92, -1, -1}},
      {"Option7_1", "サイズ固定で動作を軽くする", {-1, -1, -1, -1}},
      {"Option1_0", "Ｋｂｙｔｅ/秒", {-1, -1, -1, -1}},
  };
  for (const Control& c : controls) {
    auto* button = Find<QAbstractButton>(c.name);
    if (!button) continue;
    EXPECT_EQ(button->text(), U(c.caption)) << c.name;
    const QRect g = button->geometry();
    if (c.place.x() >= 0) {
      EXPECT_EQ(g.topLeft(), c.place.topLeft()) << c.name;
    }
    if (c.place.width() > 0) {
      EXPECT_EQ(g.size(), c.place.size()) << c.name;
    }
  }
  const std::pair<const char*, QRect> boxes[] = {
      {"TabStrip1", {0, 0, 425, 313}},  {"StatusBar1", {0, 312, 425, 17}},
      {"ListView2", {0, 0, 217, 201}},  {"Picture2", {32, 204, 161, 17}},
      {"Frame6", {296, 8, 113, 93}},    {"Frame12", {8, 8, 401, 129}},
      {"Frame10", {8, 144, 401, 105}},  {"Text1", {8, 16, 337, 18}},
      {"List1", {8, 40, 337, 184}},     {"Frame11", {8, 8, 401, 241}},
      {"ListView1", {8, 16, 173, 169}}, {"Picture4", {16, 188, 161, 17}},
      {"Label3", {40, 160, 329, 17}},   {"Frame3", {216, 20, 177, 37}},
  };
  for (const auto& [name, place] : boxes) {
    if (QWidget* w = Find(name)) {
      EXPECT_EQ(w->geometry(), place) << name;
    }
  }
  const std::pair<const char*, const char*> tips[] = {
      {"Option6_0", "総容量/残容量　使用率％"},
      {"Frame10", "使用するネットワークアダプタを選んでください"},
      {"Check1_1", "ここにチェックを入れるとアダプタ設定が保存されません"},
      {"Text1", "入力例　localhost:8080"},
      {"Slider2", "表示数値の取得間隔を設定します"},
      {"Frame9", "マウスを近づけると邪魔にならないように自動的に隠れます"},
      {"Check1_20",
       "Mirel君の最新バージョンがリリースされた時にメインウインドウに表示してお知らせします"},
  };
  for (const auto& [name, tip] : tips) {
    if (QWidget* w = Find(name)) {
      EXPECT_EQ(w->toolTip(), U(tip)) << name;
    }
  }
  EXPECT_EQ(Find<QLabel>("Label2_0")->text(), U("Ver3.18"));
  EXPECT_EQ(Find<QLabel>("Label3")->text(), U(MIREL_HOME_PAGE));
  for (int i = 0; i < 8; ++i) {
    auto* swatch = Find<QPushButton>(QStringLiteral("color_%1").arg(i).toUtf8().constData());
    EXPECT_EQ(swatch->text(), U("彩"));
    EXPECT_EQ(swatch->isHidden(), i >= 2 && i <= 5) << i;
  }
}

// Nothing is cut off and nothing overlaps: every caption fits its control,
// every control lies inside its page or frame, and siblings touch at most
// along a shared one-pixel border.
TEST_F(DialogTest, CaptionsFitAndControlsDoNotOverlap) {
  SettingsDialog& d = Dialog();
  d.ensurePolished();
  std::vector<QWidget*> containers;
  for (int k = 0; k < 6; ++k) {
    containers.push_back(Find(QStringLiteral("Picture1_%1").arg(k).toUtf8().constData()));
  }
  for (QGroupBox* frame : d.findChildren<QGroupBox*>()) containers.push_back(frame);

  for (QWidget* container : containers) {
    container->ensurePolished();
    std::vector<QWidget*> children;
    for (QWidget* w : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (!w->isHidden()) children.push_back(w);
    }
    const QRect inside = container->rect().adjusted(0, 0, 0, 0);
    for (QWidget* w : children) {
      w->ensurePolished();
      const QString name = w->objectName();
      EXPECT_TRUE(inside.contains(w->geometry()))
          << name.toStdString() << " leaves " << container->objectName().toStdString();
      const QFontMetrics fm(w->font());
      if (auto* box = qobject_cast<QGroupBox*>(w)) {
        EXPECT_LE(fm.horizontalAdvance(box->title()) + 12, box->width()) << name.toStdString();
      } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
        EXPECT_LE(w->sizeHint().width(), w->width()) << name.toStdString();
      } else if (auto* button = qobject_cast<QPushButton*>(w)) {
        EXPECT_LE(fm.horizontalAdvance(button->text()) + 2, button->width()) << name.toStdString();
      } else if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
        if (label->wordWrap()) {
          EXPECT_LE(label->heightForWidth(label->width()), label->height()) << name.toStdString();
        } else {
          EXPECT_LE(fm.horizontalAdvance(label->text()), label->width()) << name.toStdString();
        }
      }
      for (QWidget* other : children) {
        if (other <= w) continue;
        const QRect both = w->geometry() & other->geometry();
        EXPECT_TRUE(both.isEmpty() || both.width() <= 1 || both.height() <= 1)
            << name.toStdString() << " overlaps " << other->objectName().toStdString();
      }
    }
  }
}

// --- Opening and closing ----------------------------------------------------

TEST_F(DialogTest, OpenShowsTheModelAndCloseHandsBackToTheProgram) {
  SettingsDialog& d = Dialog();
  model_.statusText = "old";
  model_.proxyText = "chosen:8080";
  d.Open(true, Screens());
  d.Open(true, Screens());
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(Status(), "old");
  EXPECT_EQ(Find<QLineEdit>("Text1")->text(), "chosen:8080");
  EXPECT_TRUE(d.windowFlags() & Qt::WindowStaysOnTopHint);
  d.Open(false, Screens());
  EXPECT_TRUE(d.windowFlags() & Qt::WindowStaysOnTopHint) << "made topmost earlier, stays so";

  Click("Command2");
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(actions_.closed, 1);

  // A close by the window manager hides the dialog the same way and keeps it.
  d.Open(false, Screens());
  Find<QLineEdit>("Text1")->setText("typed");
  EXPECT_EQ(model_.proxyText, "typed");
  d.close();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(actions_.closed, 2);
  d.Open(false, Screens());
  EXPECT_EQ(Find<QLineEdit>("Text1")->text(), "typed");
}

TEST_F(DialogTest, OpeningAMinimisedDialogRestoresAndActivatesIt) {
  SettingsDialog& d = Dialog();
  d.Open(false, Screens());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  d.setWindowState(d.windowState() | Qt::WindowMinimized);
  ASSERT_TRUE(d.isMinimized());
  Find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
  Find<QLineEdit>("Text1")->setText("typed");

  d.Open(false, Screens());
  EXPECT_FALSE(d.isMinimized());
  EXPECT_TRUE(d.isVisible());
  EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
  // Restored as it was left.
  EXPECT_EQ(Find<QTabWidget>("TabStrip1")->currentIndex(), 2);
  EXPECT_EQ(Find<QLineEdit>("Text1")->text(), "typed");
}

TEST_F(DialogTest, MovesGoToTheModelInTwipsAndAPlaceOffEveryScreenIsLeft) {
  SettingsDialog& d = Dialog();
  d.Open(false, Screens());
  d.move(40, 60);
  QCoreApplication::processEvents();
  EXPECT_EQ(model_.dialogLeft, 600);
  EXPECT_EQ(model_.dialogTop, 900);

  d.move(20000, 20000);
  d.Open(false, Screens());
  QCoreApplication::processEvents();
  bool onScreen = false;
  for (const QScreen* screen : QGuiApplication::screens()) {
    onScreen = onScreen || screen->availableGeometry().intersects(d.frameGeometry());
  }
  EXPECT_TRUE(onScreen);
  EXPECT_LT(model_.dialogLeft, 15 * 20000);
}

// --- Item list --------------------------------------------------------------

TEST_F(DialogTest, MoveButtonsCarryWholeRowsAndStopAtTheEdges) {
  Dialog();
  SelectItem(0);
  Click("Command1_0");
  EXPECT_EQ(Items()->topLevelItem(0)->text(1), "100");
  EXPECT_EQ(model_.items[0].key, "100");

  Click("Command1_1");
  EXPECT_EQ(model_.items[1].key, "100");
  QTreeWidgetItem* moved = Items()->topLevelItem(1);
  EXPECT_EQ(moved->text(1), "100");
  EXPECT_EQ(moved->text(2), "255");
  EXPECT_EQ(moved->checkState(0), Qt::Checked);
  EXPECT_EQ(Items()->currentItem(), moved);

  SelectItem(14);
  Click("Command1_1");
  EXPECT_EQ(model_.items[14].key, "114");
}

TEST_F(DialogTest, LastTickedItemStaysTickedAndIpCopyFollowsItsRow) {
  Dialog();
  for (int row = 3; row >= 1; --row) Items()->topLevelItem(row)->setCheckState(0, Qt::Unchecked);
  model_.resizePending = false;
  Items()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
  EXPECT_EQ(Items()->topLevelItem(0)->checkState(0), Qt::Checked);
  EXPECT_TRUE(model_.items[0].checked);
  EXPECT_TRUE(model_.resizePending);

  Click("Check1_0");  // ticks "右クリックにIPアドレスコピーを表示"
  EXPECT_TRUE(model_.ipCopyMenuShown);
  EXPECT_FALSE(model_.ipCopyEntryVisible) << "row 104 is not ticked";
  Items()->topLevelItem(4)->setCheckState(0, Qt::Checked);
  EXPECT_TRUE(model_.ipCopyEntryVisible);
  Click("Check1_0");
  EXPECT_FALSE(model_.ipCopyEntryVisible);
}

// --- Colours ----------------------------------------------------------------

TEST_F(DialogTest, CancelledChooserChangesNoColourCaptionOrImage) {
  Dialog();
  SelectItem(1);
  const QImage before = Preview("Picture2");
  const std::string start = model_.items[1].startColor;
  actions_.chosen = std::nullopt;
  for (const char* button : {"Command9_0", "Command9_1", "Command9_2"}) Click(button);
  EXPECT_EQ(actions_.chooserCalls, 3);
  EXPECT_EQ(model_.items[1].startColor, start);
  EXPECT_EQ(Preview("Picture2"), before);
  EXPECT_EQ(Find<QPushButton>("Command9_0")->text(), U("開始色"));
}

TEST_F(DialogTest, ItemsWithoutBarShowNoChooserAndAClearedPreview) {
  Dialog();
  SelectItem(4);  // "104"
  EXPECT_EQ(Find<QPushButton>("Command9_0")->text(), U("色変更不可"));
  EXPECT_EQ(Find<QPushButton>("Command9_1")->text(), U("色変更不可"));
  actions_.chosen = QColor(1, 2, 3);
  Click("Command9_0");
  EXPECT_EQ(actions_.chooserCalls, 0);
  EXPECT_EQ(model_.items[4].startColor, "");

  SelectItem(2);
  EXPECT_EQ(Find<QPushButton>("Command9_0")->text(), U("開始色"));
  Click("Command9_2");  // 単色
  const QImage preview = Preview("Picture2");
  ASSERT_FALSE(preview.isNull());
  EXPECT_EQ(preview.pixelColor(0, 5), QColor(1, 2, 3));
  EXPECT_EQ(preview.pixelColor(156, 5), QColor(1, 2, 3));
  EXPECT_EQ(Items()->topLevelItem(2)->text(3), QString::number(Rgb(1, 2, 3)));
}

TEST_F(DialogTest, DrivesGetWhiteStartColourAndKeepOneTicked) {
  Dialog();
  auto* drives = Find<QTreeWidget>("ListView1");
  drives->setCurrentItem(drives->topLevelItem(1));
  EXPECT_EQ(model_.drives[1].startColor, "16777215");
  EXPECT_EQ(drives->topLevelItem(1)->text(2), "16777215");
  drives->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
  EXPECT_EQ(drives->topLevelItem(0)->checkState(0), Qt::Checked);
  actions_.chosen = QColor(0, 0, 255);
  Click("Command10_1");
  EXPECT_EQ(model_.drives[1].endColor, std::to_string(Rgb(0, 0, 255)));
}

TEST_F(DialogTest, SwatchesStoreTheirFieldAndGraphBackRepaintsAtOnce) {
  Dialog();
  actions_.chosen = QColor(10, 20, 30);
  Click("color_6");
  EXPECT_EQ(model_.graphLineColor(), Rgb(10, 20, 30));
  EXPECT_EQ(actions_.graphBackChanged, 0);
  actions_.chosen = std::nullopt;
  Click("color_7");
  EXPECT_EQ(actions_.graphBackChanged, 0);
  actions_.chosen = QColor(255, 0, 0);
  Click("color_7");
  EXPECT_EQ(model_.record[SettingsRecord::kGraphBackColor], "255");
  EXPECT_EQ(actions_.graphBackChanged, 1);
  EXPECT_TRUE(Find<QPushButton>("color_7")->styleSheet().contains("#ff0000"));
}

// --- Sliders and options ----------------------------------------------------

TEST_F(DialogTest, PresetSetsBothSlidersAndCaptions) {
  Dialog();
  Click("Option5_1");
  EXPECT_EQ(Find<QSlider>("Slider1")->value(), 24);
  EXPECT_EQ(Find<QSlider>("Slider3")->value(), 8);
  EXPECT_EQ(Find<QGroupBox>("Frame2")->title(), U("受信速度設定  192Kbyte/秒"));
  EXPECT_EQ(Find<QGroupBox>("Frame8")->title(), U("送信速度設定  64Kbyte/秒"));
  Click("Option1_1");
  EXPECT_EQ(Find<QGroupBox>("Frame2")->title(), U("受信速度設定  1536Kbit/秒"));
  EXPECT_EQ(Find<QGroupBox>("Frame8")->title(), U("送信速度設定  512Kbit/秒"));
  EXPECT_EQ(Find<QSlider>("Slider1")->value(), 24);
  Find<QSlider>("Slider1")->setValue(192);
  EXPECT_EQ(model_.receiveSpeed, 192);
  EXPECT_EQ(Find<QGroupBox>("Frame2")->title(), U("受信速度設定  12288Kbit/秒"));
}

TEST_F(DialogTest, SliderRangesAndTheIntervalTakingEffectAtOnce) {
  Dialog();
  const std::tuple<const char*, int, int> ranges[] = {
      {"Slider1", 192, 8}, {"Slider3", 128, 8}, {"Slider2", 20, 5}};
  for (const auto& [name, max, page] : ranges) {
    auto* s = Find<QSlider>(name);
    EXPECT_EQ(s->minimum(), 1) << name;
    EXPECT_EQ(s->maximum(), max) << name;
    EXPECT_EQ(s->pageStep(), page) << name;
  }
  Find<QSlider>("Slider2")->setValue(1);
  EXPECT_EQ(Find<QGroupBox>("Frame5")->title(), U("更新間隔  0.5秒"));
  Find<QSlider>("Slider2")->setValue(20);
  EXPECT_EQ(Find<QGroupBox>("Frame5")->title(), U("更新間隔  10秒"));
  EXPECT_EQ(actions_.intervals, (std::vector<int>{500, 10000}));
}

TEST_F(DialogTest, GraphSourceClearsTheGraphAndOptionsStoreTheirIndex) {
  Dialog();
  Click("Option3_0");
  EXPECT_EQ(actions_.graphCleared, 1);
  EXPECT_TRUE(model_.resizePending);
  Click("Option3_4");
  EXPECT_EQ(model_.graphSource(), 4);
  const std::pair<const char*, int> clicks[] = {
      {"Option4_1", SettingsRecord::kMouseOverMode},
      {"Option6_1", SettingsRecord::kHddUnit},
      {"Option7_1", SettingsRecord::kDrawMode},
  };
  for (const auto& [name, field] : clicks) {
    Click(name);
    EXPECT_EQ(model_.record[field], "1") << name;
  }
}

TEST_F(DialogTest, ToolbarCheckGreysOutTheReadingsAndHidesTheWindow) {
  Dialog();
  auto* cpu = Find<QCheckBox>("Check3_0");
  EXPECT_TRUE(cpu->isChecked());
  Click("Check2_1");
  EXPECT_FALSE(cpu->isChecked());
  EXPECT_FALSE(cpu->isEnabled());
  EXPECT_FALSE(Find<QCheckBox>("Check3_3")->isEnabled());
  Click("Check2_1");
  EXPECT_TRUE(cpu->isEnabled());
  EXPECT_FALSE(cpu->isChecked());
  EXPECT_EQ(actions_.toolbarShown, (std::vector<bool>{false, true}));
  Click("Check3_2");
  EXPECT_TRUE(model_.toolbarReceive);
}

// --- Proxy list -------------------------------------------------------------

TEST_F(DialogTest, ProxyAddAndRemove) {
  Dialog();
  auto* edit = Find<QLineEdit>("Text1");
  auto* list = Find<QListWidget>("List1");
  QTest::keyClicks(edit, "   ");
  Click("Command7");
  EXPECT_EQ(list->count(), 2);
  EXPECT_EQ(edit->text(), "");
  EXPECT_EQ(Status(), "");

  QTest::keyClicks(edit, "  localhost:8080");
  Click("Command7");
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(2)->text(), "localhost:8080");
  EXPECT_EQ(edit->text(), "");
  EXPECT_EQ(Status(), U("localhost:8080をプロキシリストに追加しました"));
  EXPECT_EQ(model_.proxyList[0], model_.proxyList[2]) << "duplicates are allowed";

  list->setCurrentRow(1);
  Click("Command8");
  EXPECT_EQ(Status(), U("proxy:3128をプロキシリストから削除しました"));
  EXPECT_EQ(model_.proxyList, (std::vector<std::string>{"localhost:8080", "localhost:8080"}));
  Click("Command8");  // nothing selected any more
  EXPECT_EQ(list->count(), 2);

  Find<QCheckBox>("Check2_0")->click();
  EXPECT_TRUE(model_.proxyEntryVisible);
}

// Tabbing into the list makes its first row current without selecting it:
// 削除 must not take that row.
TEST_F(DialogTest, RemoveTakesOnlyASelectedEntry) {
  SettingsDialog& d = Dialog();
  d.Open(false, Screens());
  Find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
  auto* list = Find<QListWidget>("List1");
  auto* edit = Find<QLineEdit>("Text1");
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Tab);  // to 追加
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), list);
  ASSERT_EQ(list->currentRow(), 0);
  ASSERT_TRUE(list->selectedItems().isEmpty());

  model_.statusText = "before";
  d.Refresh(DialogPart::kAll);
  Click("Command8");
  EXPECT_EQ(model_.proxyList, (std::vector<std::string>{"localhost:8080", "proxy:3128"}));
  EXPECT_EQ(list->count(), 2);
  EXPECT_EQ(Status(), "before") << "nothing selected: no status text";

  // Moving with the arrow keys selects; then the selected row goes.
  QTest::keyClick(list, Qt::Key_Down);
  QTest::keyClick(list, Qt::Key_Up);
  ASSERT_EQ(list->selectedItems().size(), 1);
  Click("Command8");
  EXPECT_EQ(model_.proxyList, (std::vector<std::string>{"proxy:3128"}));
  EXPECT_EQ(Status(), U("localhost:8080をプロキシリストから削除しました"));

  // A selection taken back (Ctrl+click) is no selection either.
  list->setCurrentRow(0);
  ASSERT_EQ(list->selectedItems().size(), 1);
  list->setCurrentRow(0, QItemSelectionModel::Deselect);
  Click("Command8");
  EXPECT_EQ(model_.proxyList, (std::vector<std::string>{"proxy:3128"}));
}

TEST_F(DialogTest, RefreshShowsWhatOthersWroteIntoTheModel) {
  SettingsDialog& d = Dialog();
  model_.proxyText = "chosen:8080";
  model_.statusText = "エラー";
  model_.proxyList.push_back("new:1");
  d.Refresh(DialogPart::kAll);
  EXPECT_EQ(Find<QLineEdit>("Text1")->text(), "chosen:8080");
  EXPECT_EQ(Status(), U("エラー"));
  EXPECT_EQ(Find<QListWidget>("List1")->count(), 3);
}

// --- Save and reset ---------------------------------------------------------

TEST_F(DialogTest, SavingTwiceWritesTheSameFile) {
  Dialog();
  Click("Command3");
  EXPECT_EQ(Status(), U("設定を保存しました"));
  EXPECT_EQ(actions_.saves, 1);
  const std::string first = ReadAll(dir_ / kSettingsFileName);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(Items()->topLevelItem(0)->text(2), "255         ") << "rows show the padded text";
  Click("Command3");
  EXPECT_EQ(ReadAll(dir_ / kSettingsFileName), first);
}

TEST_F(DialogTest, UnwritableFileGivesAFailureText) {
  // /proc refuses new files even to root.
  actions_.file = fs::path("/proc/self") / kSettingsFileName;
  Click("Command3");
  const QString status = Status();
  EXPECT_FALSE(status.isEmpty());
  EXPECT_NE(status, U("設定を保存しました"));
}

TEST_F(DialogTest, LongStatusTextShowsWhatFitsAndAllOfItAsTheTip) {
  SettingsDialog& d = Dialog();
  auto* line = Find<StatusLine>("StatusBar1");
  const std::string whole =
      "設定を保存できませんでした: /home/user/.config/mirel9x/とても長いフォルダ名/"
      "設定.ini.tmp-12345-1 を /home/user/.config/mirel9x/設定.ini に置き換えられません: "
      "ディレクトリです";
  model_.statusText = whole;
  d.Refresh(DialogPart::kAll);
  EXPECT_EQ(Status(), U(whole.c_str())) << "the status keeps the whole text";
  EXPECT_EQ(line->toolTip(), U(whole.c_str()));
  const QString shown = line->shownText();
  EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
  EXPECT_TRUE(U(whole.c_str()).startsWith(shown.chopped(1)));
  EXPECT_LE(line->fontMetrics().horizontalAdvance(shown), line->width());

  // A text that fits is shown whole; an empty line has no tip.
  model_.statusText = "設定を保存しました";
  d.Refresh(DialogPart::kAll);
  EXPECT_EQ(line->shownText(), U("設定を保存しました"));
  EXPECT_EQ(line->toolTip(), U("設定を保存しました"));
  model_.statusText.clear();  // as opening the dialog leaves it
  d.Open(false, Screens());
  EXPECT_EQ(line->toolTip(), "");
}

TEST_F(DialogTest, SizePositionAndTotalButtons) {
  Dialog();
  model_.display = {3000, 1500, 900, 1200, 50};
  Click("Command4");
  EXPECT_EQ(model_.display.height, 15 * 58 + 128);
  EXPECT_EQ(model_.display.width, 2496);
  EXPECT_EQ(Status(), U("ウインドウサイズを初期化しました"));
  Click("Command5");
  EXPECT_EQ(model_.display.left, 0);
  EXPECT_EQ(model_.display.top, 0);
  EXPECT_EQ(Status(), U("ウインドウ位置を初期化しました"));
  EXPECT_EQ(actions_.geometryApplied, 2);
  for (const char* name : {"Command6_0", "Command6_1", "Command6_2", "Command6_3"}) Click(name);
  EXPECT_EQ(actions_.totals, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(DialogTest, HomeLinkOpensTheHomePage) {
  Dialog();
  EXPECT_EQ(Find<QLabel>("Label3")->text(), U(kHomePage));
  QTest::mouseClick(Find<QLabel>("Label3"), Qt::LeftButton);
  EXPECT_EQ(actions_.homePages, 1);
  EXPECT_EQ(Find<QLabel>("Label3")->cursor().shape(), Qt::PointingHandCursor);
}

// Every row of the behaviour's table has its widget here, of a kind that
// its helper binds.
TEST_F(DialogTest, EveryControlOfTheTableIsThere) {
  for (const DialogControl& c : DialogControls()) {
    for (int i = 0; i < std::max(c.count, 1); ++i) {
      const std::string name = ControlName(c, i);
      QWidget* w = Dialog().findChild<QWidget*>(QString::fromStdString(name));
      ASSERT_NE(w, nullptr) << name;
      const bool fits = [&] {
        switch (c.kind) {
          case ControlKind::kCheck:
            return qobject_cast<QCheckBox*>(w) != nullptr;
          case ControlKind::kOptions:
            return qobject_cast<QRadioButton*>(w) != nullptr;
          case ControlKind::kSlider:
            return qobject_cast<QSlider*>(w) != nullptr;
          case ControlKind::kText:
            return qobject_cast<QLineEdit*>(w) != nullptr;
          case ControlKind::kCombo:
            return qobject_cast<QComboBox*>(w) != nullptr;
          case ControlKind::kList:
            return qobject_cast<QListWidget*>(w) != nullptr;
          case ControlKind::kCheckList:
            return qobject_cast<QTreeWidget*>(w) != nullptr;
          case ControlKind::kButton:
          case ControlKind::kSwatch:
            return qobject_cast<QPushButton*>(w) != nullptr;
          case ControlKind::kCaption:
            return qobject_cast<QGroupBox*>(w) != nullptr ||
                   qobject_cast<QPushButton*>(w) != nullptr;
          case ControlKind::kPicture:
          case ControlKind::kLink:
            return qobject_cast<QLabel*>(w) != nullptr;
          case ControlKind::kStatus:
            return qobject_cast<QStatusBar*>(w) != nullptr;
        }
        return false;
      }();
      EXPECT_TRUE(fits) << name;
    }
  }
}

}  // namespace
}  // namespace mirel
