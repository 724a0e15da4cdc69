#include "behaviour/dialog_controls.h"

#include <algorithm>
#include <iterator>

#include "behaviour/settings_commands.h"
#include "settings/settings_file.h"

namespace mirel {

namespace {

using P = DialogPart;
using K = ControlKind;

std::vector<ListRowView> ItemRows(const SettingsModel& m) {
  std::vector<ListRowView> rows;
  rows.reserve(m.items.size());
  for (const ItemRow& r : m.items)
    rows.push_back({{r.text, r.key, r.startColor, r.endColor}, r.checked});
  return rows;
}

std::vector<ListRowView> DriveRows(const SettingsModel& m) {
  std::vector<ListRowView> rows;
  rows.reserve(m.drives.size());
  for (const DriveRow& r : m.drives)
    rows.push_back({{r.text, r.kind, r.startColor, r.endColor}, r.checked});
  return rows;
}

ColourChooser Chooser(DialogActions& a) {
  return [&a](std::uint32_t initial) { return a.ChooseColour(initial); };
}

// Page by page, in reading order; the frame of the dialog last.
const DialogControl kControls[] = {
    // 表示設定
    {.name = "ListView2",
     .kind = K::kCheckList,
     .part = P::kItemList,
     .number = &SettingsModel::selectedItem,
     .rows = ItemRows,
     .effect = [](DialogActions& a, int) { ItemRowSelected(a.model(), a.gradientImages()); },
     .ticked = [](DialogActions& a, int row, bool on) { TickItem(a.model(), row, on); },
     .refresh = P::kItemList | P::kCaptions},
    {.name = "Command1",
     .count = 2,
     .effect =
         [](DialogActions& a, int i) {
           if (i == 0) {
             MoveItemUp(a.model());
           } else {
             MoveItemDown(a.model());
           }
         },
     .refresh = P::kItemList},
    {.name = "Option3",
     .kind = K::kOptions,
     .part = P::kOptions,
     .count = 5,
     .recordIndex = SettingsRecord::kGraphSource,
     // The graph starts again from nothing with the new source.
     .effect =
         [](DialogActions& a, int) {
           a.model().resizePending = true;
           a.ClearGraph();
         }},
    {.name = "Picture2",
     .kind = K::kPicture,
     .part = P::kItemList,
     .image = [](const GradientImages& g) -> const Canvas& { return g.itemPreview; }},
    {.name = "Command9",
     .count = 3,
     .effect =
         [](DialogActions& a, int i) {
           ChangeItemColour(a.model(), a.gradientImages(), static_cast<RowColour>(i), Chooser(a));
         },
     .refresh = P::kItemList | P::kCaptions},
    {.name = "Command9_0",
     .kind = K::kCaption,
     .part = P::kCaptions,
     .caption = [](const SettingsModel& m) { return m.startColourCaption; }},
    {.name = "Command9_1",
     .kind = K::kCaption,
     .part = P::kCaptions,
     .caption = [](const SettingsModel& m) { return m.endColourCaption; }},
    {.name = "Command6", .count = 4, .effect = [](DialogActions& a, int i) { a.ResetTotal(i); }},
    {.name = "Option6",
     .kind = K::kOptions,
     .part = P::kOptions,
     .count = 2,
     .recordIndex = SettingsRecord::kHddUnit},

    // 回線設定
    {.name = "Slider3",
     .kind = K::kSlider,
     .part = P::kSliders,
     .number = &SettingsModel::sendSpeed,
     .range = {1, kSendSpeedMax, 8, 10},
     .refresh = P::kCaptions},
    {.name = "Frame8", .kind = K::kCaption, .part = P::kCaptions, .caption = SendSpeedCaption},
    {.name = "Slider1",
     .kind = K::kSlider,
     .part = P::kSliders,
     .number = &SettingsModel::receiveSpeed,
     .range = {1, kReceiveSpeedMax, 8, 10},
     .refresh = P::kCaptions},
    {.name = "Frame2", .kind = K::kCaption, .part = P::kCaptions, .caption = ReceiveSpeedCaption},
    {.name = "Option1",
     .kind = K::kOptions,
     .part = P::kOptions,
     .count = 2,
     .recordIndex = SettingsRecord::kRateUnit,
     .refresh = P::kCaptions},
    // Presets for both speed sliders; the choice itself is not kept.
    {.name = "Option5",
     .kind = K::kOptions,
     .count = 4,
     .effect = [](DialogActions& a, int i) { SpeedPresetClicked(a.model(), i); },
     .refresh = P::kSliders | P::kCaptions},
    {.name = "Combo2",
     .kind = K::kCombo,
     .part = P::kInterfaces,
     .number = &SettingsModel::adapterIndex,
     .entries = [](const SettingsModel& m) { return m.interfaceList; }},
    {.name = "Check1_1",
     .kind = K::kCheck,
     .part = P::kChecks,
     .flag = &SettingsModel::adapterAutoDetect},

    // プロキシ
    {.name = "Text1", .kind = K::kText, .part = P::kProxyText, .text = &SettingsModel::proxyText},
    {.name = "Command7",
     .effect = [](DialogActions& a, int) { AddProxy(a.model()); },
     .refresh = P::kProxyText | P::kProxyList | P::kStatus},
    {.name = "List1",
     .kind = K::kList,
     .part = P::kProxyList,
     .number = &SettingsModel::selectedProxy,
     .entries = [](const SettingsModel& m) { return m.proxyList; }},
    {.name = "Command8",
     .effect = [](DialogActions& a, int) { RemoveProxy(a.model()); },
     .refresh = P::kProxyList | P::kStatus},
    {.name = "Check2_0",
     .kind = K::kCheck,
     .part = P::kChecks,
     .flag = &SettingsModel::proxyMenuShown,
     .effect = [](DialogActions& a, int) { ProxyMenuCheckClicked(a.model()); }},

    // HDD
    {.name = "ListView1",
     .kind = K::kCheckList,
     .part = P::kDriveList,
     .number = &SettingsModel::selectedDrive,
     .rows = DriveRows,
     .effect = [](DialogActions& a, int) { DriveRowSelected(a.model(), a.gradientImages()); },
     .ticked = [](DialogActions& a, int row, bool on) { TickDrive(a.model(), row, on); },
     .refresh = P::kDriveList},
    {.name = "Picture4",
     .kind = K::kPicture,
     .part = P::kDriveList,
     .image = [](const GradientImages& g) -> const Canvas& { return g.drivePreview; }},
    {.name = "Command10",
     .count = 3,
     .effect =
         [](DialogActions& a, int i) {
           ChangeDriveColour(a.model(), a.gradientImages(), static_cast<RowColour>(i), Chooser(a));
         },
     .refresh = P::kDriveList},

    // その他の設定
    {.name = "Slider2",
     .kind = K::kSlider,
     .part = P::kSliders,
     .number = &SettingsModel::updateInterval,
     .range = {1, kIntervalMax, 5, 1},
     .effect = [](DialogActions& a, int) { a.RefreshIntervalChanged(); },
     .refresh = P::kCaptions},
    {.name = "Frame5",
     .kind = K::kCaption,
     .part = P::kCaptions,
     .caption = [](const SettingsModel& m) { return IntervalCaption(m.updateInterval); }},
    {.name = "Option2",
     .kind = K::kOptions,
     .part = P::kOptions,
     .count = 2,
     .recordIndex = SettingsRecord::kAlwaysOnTop},
    {.name = "Option4",
     .kind = K::kOptions,
     .part = P::kOptions,
     .count = 2,
     .recordIndex = SettingsRecord::kMouseOverMode,
     .effect = [](DialogActions& a, int) { a.MouseOverModeChanged(); }},
    {.name = "Option7",
     .kind = K::kOptions,
     .part = P::kOptions,
     .count = 2,
     .recordIndex = SettingsRecord::kDrawMode,
     .effect = [](DialogActions& a, int) { a.model().resizePending = true; }},
    {.name = "Check1_20",
     .kind = K::kCheck,
     .part = P::kChecks,
     .flag = &SettingsModel::versionCheckAuto},
    {.name = "Check2_1",
     .kind = K::kCheck,
     .part = P::kChecks,
     .flag = &SettingsModel::toolbarShown,
     .effect =
         [](DialogActions& a, int) {
           ToolbarCheckClicked(a.model());
           a.ToolbarShownChanged();
         },
     .refresh = P::kChecks},
    {.name = "Check3_0",
     .kind = K::kCheck,
     .part = P::kChecks,
     .flag = &SettingsModel::toolbarCpu,
     .enabled = [](const SettingsModel& m) { return m.toolbarBoxesEnabled; }},
    {.name = "Check3_1",
     .kind = K::kCheck,
     .part = P::kChecks,
     .flag = &SettingsModel::toolbarMemory,
     .enabled = [](const SettingsModel& m) { return m.toolbarBoxesEnabled; }},
    {.name = "Check3_2",
     .kind = K::kCheck,
     .part = P::kChecks,
     .flag = &SettingsModel::toolbarReceive,
     .enabled = [](const SettingsModel& m) { return m.toolbarBoxesEnabled; }},
    {.name = "Check3_3",
     .kind = K::kCheck,
     .part = P::kChecks,
     .flag = &SettingsModel::toolbarSend,
     .enabled = [](const SettingsModel& m) { return m.toolbarBoxesEnabled; }},
    // color_0 .. color_7 are the colours of record fields kBackColor + i;
    // 2 to 5 are only loaded and saved.
    {.name = "color",
     .kind = K::kSwatch,
     .part = P::kSwatches,
     .count = 8,
     .face = [](const SettingsModel& m, int i) { return m.Colour(SettingsRecord::kBackColor + i); },
     .effect =
         [](DialogActions& a, int i) {
           if (ChangeSingleColour(a.model(), i, Chooser(a)) && i == 7) a.RepaintGraphBackground();
         },
     .refresh = P::kSwatches},
    {.name = "Check1_0",
     .kind = K::kCheck,
     .part = P::kChecks,
     .flag = &SettingsModel::ipCopyMenuShown,
     .effect = [](DialogActions& a, int) { IpCopyCheckClicked(a.model()); }},

    // バージョン情報
    {.name = "Label3", .kind = K::kLink, .effect = [](DialogActions& a, int) { a.OpenHomePage(); }},
    // The web check's address: asked at the next start, kept by 設定保存.
    {.name = "Text2", .kind = K::kText, .part = P::kWebCheck, .text = &SettingsModel::webCheckBase},

    // The frame of the dialog.
    {.name = "Command4",
     .effect = [](DialogActions& a, int) { a.ResetMonitorSize(); },
     .refresh = P::kStatus},
    {.name = "Command5",
     .effect = [](DialogActions& a, int) { a.ResetMonitorPosition(); },
     .refresh = P::kStatus},
    // The save pads the rows' colour texts: the lists show them as the file has them.
    {.name = "Command3",
     .effect = [](DialogActions& a, int) { a.SaveSettings(); },
     .refresh = P::kItemList | P::kDriveList | P::kStatus},
    {.name = "Command2", .effect = [](DialogActions& a, int) { a.CloseDialog(); }},
    {.name = "StatusBar1", .kind = K::kStatus, .part = P::kStatus},
};

}  // namespace

std::span<const DialogControl> DialogControls() {
  return kControls;
}

const DialogControl* FindDialogControl(std::string_view name) {
  for (const DialogControl& c : kControls) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

std::string ControlName(const DialogControl& c, int index) {
  if (c.count == 0) return c.name;
  return std::string(c.name) + "_" + std::to_string(index);
}

bool ControlChecked(const DialogControl& c, const SettingsModel& m) {
  return c.flag != nullptr && m.*c.flag;
}

bool ControlEnabled(const DialogControl& c, const SettingsModel& m) {
  return c.enabled == nullptr || c.enabled(m);
}

int ControlChoice(const DialogControl& c, const SettingsModel& m) {
  if (c.kind == ControlKind::kOptions) return c.recordIndex < 0 ? -1 : m.OptionIndex(c.recordIndex);
  return c.number != nullptr ? m.*c.number : -1;
}

std::string ControlText(const DialogControl& c, const SettingsModel& m) {
  switch (c.kind) {
    case ControlKind::kText:
      return c.text != nullptr ? m.*c.text : std::string();
    case ControlKind::kCaption:
      return c.caption != nullptr ? c.caption(m) : std::string();
    case ControlKind::kStatus:
      return m.statusText;
    default:
      return {};
  }
}

// --- The controller -----------------------------------------------------------

void DialogController::After(const DialogControl& c, int index) {
  if (c.effect) c.effect(actions_, index);
  if (c.refresh) actions_.RefreshDialog(c.refresh);
}

void DialogController::Toggled(const DialogControl& c, bool on) {
  if (c.kind != ControlKind::kCheck) return;
  if (c.flag) actions_.model().*c.flag = on;
  After(c, on ? 1 : 0);
}

void DialogController::Chosen(const DialogControl& c, int index) {
  SettingsModel& m = actions_.model();
  switch (c.kind) {
    case ControlKind::kOptions:
      if (index < 0 || index >= c.count) return;
      if (c.recordIndex >= 0) m.record[c.recordIndex] = std::to_string(index);
      break;
    case ControlKind::kSlider:
      index = std::clamp(index, c.range.minimum, c.range.maximum);
      if (c.number) m.*c.number = index;
      break;
    case ControlKind::kCombo:
    case ControlKind::kList:
      if (index < -1) index = -1;
      if (c.number) m.*c.number = index;
      break;
    default:
      return;
  }
  After(c, index);
}

void DialogController::Edited(const DialogControl& c, const std::string& text) {
  if (c.kind != ControlKind::kText) return;
  if (c.text) actions_.model().*c.text = text;
  After(c, 0);
}

void DialogController::Pressed(const DialogControl& c, int index) {
  if (c.kind != ControlKind::kButton && c.kind != ControlKind::kSwatch &&
      c.kind != ControlKind::kLink) {
    return;
  }
  if (c.count > 0 ? index < 0 || index >= c.count : index != 0) return;
  After(c, index);
}

void DialogController::RowTicked(const DialogControl& c, int row, bool on) {
  if (c.kind != ControlKind::kCheckList) return;
  if (c.ticked) c.ticked(actions_, row, on);
  if (c.refresh) actions_.RefreshDialog(c.refresh);
}

void DialogController::RowSelected(const DialogControl& c, int row) {
  if (c.kind != ControlKind::kCheckList || row < 0) return;
  if (c.number) actions_.model().*c.number = row;
  After(c, row);
}

void DialogController::Moved(PixelPoint topLeft) {
  actions_.model().dialogLeft = topLeft.x * kTwipsPerPixel;
  actions_.model().dialogTop = topLeft.y * kTwipsPerPixel;
}

void DialogController::CloseRequested() {
  actions_.CloseDialog();
}

}  // namespace mirel
