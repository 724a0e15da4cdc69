// The dialog's table and what its controller does with each kind of
// control: the field takes the value, the effect runs, the dialog is told
// which parts to read again.
#include "behaviour/dialog_controls.h"

#include <gtest/gtest.h>

#include <set>

#include "settings/item_catalogue.h"

namespace mirel {
namespace {

struct RecordingActions : DialogActions {
  SettingsModel m;
  GradientImages g;
  std::vector<std::string> calls;
  std::vector<DialogParts> refreshed;
  std::optional<std::uint32_t> colour;
  std::string sourceWhenCleared;

  SettingsModel& model() override { return m; }
  GradientImages& gradientImages() override { return g; }
  std::optional<std::uint32_t> ChooseColour(std::uint32_t) override { return colour; }
  void RefreshDialog(DialogParts parts) override { refreshed.push_back(parts); }
  void RefreshIntervalChanged() override { calls.push_back("interval"); }
  void MouseOverModeChanged() override { calls.push_back("mouse-over"); }
  void ToolbarShownChanged() override { calls.push_back("toolbar"); }
  void ClearGraph() override {
    calls.push_back("clear graph");
    sourceWhenCleared = m.record[SettingsRecord::kGraphSource];
  }
  void RepaintGraphBackground() override { calls.push_back("graph back"); }
  void ResetTotal(int which) override { calls.push_back("total " + std::to_string(which)); }
  void ResetMonitorSize() override { calls.push_back("size"); }
  void ResetMonitorPosition() override { calls.push_back("position"); }
  void SaveSettings() override { calls.push_back("save"); }
  void CloseDialog() override { calls.push_back("close"); }
  void OpenHomePage() override { calls.push_back("home"); }
};

const DialogControl& Row(const char* name) {
  const DialogControl* c = FindDialogControl(name);
  EXPECT_NE(c, nullptr) << name;
  static const DialogControl kNone;
  return c ? *c : kNone;
}

// Every control name the dialog binds (array members spelled out) is bound
// once for input; captions, pictures and the status line only show.
TEST(DialogControlsTest, EveryControlIsBoundOnceAndShownWithSomePart) {
  std::set<std::string> inputs;
  for (const DialogControl& c : DialogControls()) {
    const bool shownOnly = c.kind == ControlKind::kCaption || c.kind == ControlKind::kPicture ||
                           c.kind == ControlKind::kStatus;
    const bool hasState = c.flag || c.recordIndex >= 0 || c.number || c.text || c.caption ||
                          c.image || c.face || c.kind == ControlKind::kStatus;
    if (hasState) {
      EXPECT_NE(c.part, 0u) << c.name << " shows state but no part reads it";
    }
    if (shownOnly) continue;
    for (int i = 0; i < std::max(c.count, 1); ++i) {
      EXPECT_TRUE(inputs.insert(ControlName(c, i)).second) << ControlName(c, i) << " twice";
    }
    EXPECT_TRUE(hasState || c.effect) << c.name << " does nothing";
  }
  EXPECT_EQ(inputs.count("Option3_4"), 1u);
  EXPECT_EQ(inputs.count("color_7"), 1u);
  EXPECT_EQ(inputs.count("Check1_20"), 1u);
  EXPECT_EQ(ControlName(Row("Command3"), 0), "Command3");
}

TEST(DialogControlsTest, ControllerStoresRunsAndAsksForTheRightParts) {
  RecordingActions a;
  for (std::string& entry : a.m.record.entries) entry = "0";
  a.m.proxyList = {"a:1", "b:2"};
  DialogController dialog(a);

  // Options store the index as the file writes it; the graph is cleared
  // after its new source is stored, and the window asked to fit again.
  dialog.Chosen(Row("Option3"), 4);
  EXPECT_EQ(a.m.record[SettingsRecord::kGraphSource], "4");
  EXPECT_EQ(a.sourceWhenCleared, "4");
  EXPECT_TRUE(a.m.resizePending);
  a.m.resizePending = false;
  dialog.Chosen(Row("Option7"), 1);
  EXPECT_EQ(a.m.drawModeOption(), DrawMode::kFixedSize);
  EXPECT_TRUE(a.m.resizePending);
  dialog.Chosen(Row("Option2"), 1);
  dialog.Chosen(Row("Option4"), 1);
  dialog.Chosen(Row("Option6"), 1);
  EXPECT_EQ(a.m.alwaysOnTopOption(), AlwaysOnTop::kOff);
  EXPECT_EQ(a.m.mouseOverOption(), MouseOverMode::kHideUnderCursor);
  EXPECT_EQ(a.m.hddUnit(), 1);
  dialog.Chosen(Row("Option6"), 2);  // no such button
  EXPECT_EQ(a.m.hddUnit(), 1);
  // Presets move both sliders, store nothing, and the sliders are re-read.
  const SettingsRecord before = a.m.record;
  a.refreshed.clear();
  dialog.Chosen(Row("Option5"), 1);
  EXPECT_EQ(a.m.receiveSpeed, 24);
  EXPECT_EQ(a.m.sendSpeed, 8);
  EXPECT_EQ(a.m.record.entries, before.entries);
  EXPECT_EQ(a.refreshed, std::vector<DialogParts>{DialogPart::kSliders | DialogPart::kCaptions});

  // Sliders keep to their range; the interval is the one rule of the timer.
  dialog.Chosen(Row("Slider2"), 0);
  EXPECT_EQ(a.m.updateInterval, 1);
  EXPECT_EQ(RefreshIntervalMs(a.m), 500);
  dialog.Chosen(Row("Slider2"), 99);
  EXPECT_EQ(RefreshIntervalMs(a.m), 10000);
  dialog.Chosen(Row("Slider1"), 192);
  EXPECT_EQ(ControlText(Row("Frame2"), a.m), "受信速度設定  1536Kbyte/秒");

  // Check boxes, texts, lists, buttons.
  a.m.toolbarShown = true;
  a.m.toolbarCpu = true;
  dialog.Toggled(Row("Check2_1"), false);
  EXPECT_FALSE(a.m.toolbarCpu);
  EXPECT_FALSE(ControlEnabled(Row("Check3_0"), a.m));
  dialog.Edited(Row("Text1"), "   c:3");
  dialog.Pressed(Row("Command7"), 0);
  EXPECT_EQ(a.m.proxyList.back(), "c:3");
  EXPECT_EQ(ControlText(Row("StatusBar1"), a.m), "c:3をプロキシリストに追加しました");
  dialog.Chosen(Row("List1"), -1);
  dialog.Pressed(Row("Command8"), 0);  // nothing selected
  EXPECT_EQ(a.m.proxyList.size(), 3u);
  dialog.Chosen(Row("List1"), 0);
  dialog.Pressed(Row("Command8"), 0);
  EXPECT_EQ(a.m.proxyList, (std::vector<std::string>{"b:2", "c:3"}));
  dialog.Pressed(Row("Command6"), 3);
  dialog.Pressed(Row("Command6"), 4);  // no such button
  a.colour = Rgb(255, 0, 0);
  dialog.Pressed(Row("color"), 7);
  EXPECT_EQ(a.m.graphBackColor(), Rgb(255, 0, 0));
  dialog.Pressed(Row("Label3"), 0);
  dialog.Pressed(Row("Command3"), 0);
  dialog.CloseRequested();
  EXPECT_EQ(a.calls, (std::vector<std::string>{"clear graph", "mouse-over", "interval", "interval",
                                               "toolbar", "total 3", "graph back", "home", "save",
                                               "close"}));

  // The item list: the last tick stays, and the selection repaints.
  for (const CatalogueItem& item : ItemCatalogue())
    a.m.items.push_back({item.name, item.key, "", "", false});
  a.m.items[0].checked = true;
  dialog.RowTicked(Row("ListView2"), 0, false);
  EXPECT_TRUE(a.m.items[0].checked);
  dialog.RowSelected(Row("ListView2"), 4);  // "IPアドレス" has no gradient
  EXPECT_EQ(a.m.selectedItem, 4);
  EXPECT_EQ(ControlText(Row("Command9_0"), a.m), "色変更不可");

  dialog.Moved({40, 60});
  EXPECT_EQ(a.m.dialogLeft, 600);
  EXPECT_EQ(a.m.dialogTop, 900);
}

}  // namespace
}  // namespace mirel
