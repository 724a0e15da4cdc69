// The settings dialog's controls as one table: every control by its name
// (the Qt objectName, and the name of the Win32 resource id), its kind, the
// field of the live settings model it edits or the command it runs, and the
// parts of the dialog that are read again afterwards. A shell builds the
// pages (places, fonts, look) and binds the table with one helper per kind
// of widget: it never decides what a control does.
//
//   for (const DialogControl& c : DialogControls())
//     bind c by c.kind: on a change call events.Toggled / Chosen / Edited /
//     Pressed / RowTicked / RowSelected (DialogEvents below)
//   Shell::RefreshDialog(parts): for every c with (c.part & parts), show the
//     model's state through the same helpers (ControlChecked, ControlText...)
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "behaviour/monitor_geometry.h"
#include "drawing/canvas.h"
#include "drawing/gradient.h"
#include "settings/settings_model.h"

namespace mirel {

#ifndef MIREL_HOME_PAGE
#define MIREL_HOME_PAGE "https://mirel9x.example/"
#endif
// What the version page's link (Label3) opens and shows (a build setting).
inline constexpr const char* kHomePage = MIREL_HOME_PAGE;

// Parts of the dialog that a shell reads again from the model, as a mask.
using DialogParts = std::uint32_t;
struct DialogPart {
  static constexpr DialogParts kChecks = 1u << 0;      // check boxes: ticks, enabled states
  static constexpr DialogParts kOptions = 1u << 1;     // option button groups
  static constexpr DialogParts kSliders = 1u << 2;     // slider positions
  static constexpr DialogParts kCaptions = 1u << 3;    // captions the model decides
  static constexpr DialogParts kItemList = 1u << 4;    // ListView2 and its preview
  static constexpr DialogParts kDriveList = 1u << 5;   // ListView1 and its preview
  static constexpr DialogParts kSwatches = 1u << 6;    // faces of the colour buttons
  static constexpr DialogParts kProxyList = 1u << 7;   // List1
  static constexpr DialogParts kProxyText = 1u << 8;   // Text1
  static constexpr DialogParts kInterfaces = 1u << 9;  // Combo2
  static constexpr DialogParts kStatus = 1u << 10;     // StatusBar1
  static constexpr DialogParts kWebCheck = 1u << 11;   // Text2
  static constexpr DialogParts kAll = ~0u;
};

enum class ControlKind {
  kCheck,      // check box: a bool field
  kOptions,    // option buttons name_0 .. name_{count-1}: the chosen index in the record
  kSlider,     // an int field within `range`
  kText,       // one-line entry box: a string field
  kCombo,      // drop-down list: `entries`, the chosen index in an int field
  kList,       // list box: `entries`, the selected one in an int field (-1: none)
  kCheckList,  // report list with a check box on every row: `rows`, selection in an int field
  kButton,     // push button, or the array name_0 .. name_{count-1}: a command
  kSwatch,     // colour buttons name_0 .. name_{count-1} whose face is `face`
  kCaption,    // a frame or button whose caption `caption` gives
  kPicture,    // a preview image: `image`
  kStatus,     // the status line: the model's statusText
  kLink,       // a label that runs a command when clicked
};

struct SliderRange {
  int minimum = 1;
  int maximum = 1;
  int pageStep = 1;
  int tickEvery = 1;
};

// One row of a report list as the dialog shows it: the columns' texts
// (hidden columns included) and the tick.
struct ListRowView {
  std::vector<std::string> columns;
  bool checked = false;
};

class DialogActions;

struct DialogControl {
  const char* name = "";
  ControlKind kind = ControlKind::kButton;
  DialogParts part = 0;  // read again when RefreshDialog names this part
  int count = 0;         // arrays: name_0 .. name_{count-1}; 0: one control called `name`

  // The model field it edits and shows, by kind.
  bool SettingsModel::*flag = nullptr;         // kCheck
  int recordIndex = -1;                        // kOptions: decimal text of the index
  int SettingsModel::*number = nullptr;        // kSlider value; kCombo, kList, kCheckList choice
  std::string SettingsModel::*text = nullptr;  // kText
  SliderRange range{};                         // kSlider
  // What it shows beyond a plain field.
  bool (*enabled)(const SettingsModel&) = nullptr;                      // nullptr: always enabled
  std::string (*caption)(const SettingsModel&) = nullptr;               // kCaption
  std::vector<std::string> (*entries)(const SettingsModel&) = nullptr;  // kCombo, kList
  std::vector<ListRowView> (*rows)(const SettingsModel&) = nullptr;     // kCheckList
  const Canvas& (*image)(const GradientImages&) = nullptr;              // kPicture
  std::uint32_t (*face)(const SettingsModel&, int index) = nullptr;     // kSwatch

  // What happens after the field took the new value (or, for a button, the
  // command); `index` is the array member, option, value or row.
  void (*effect)(DialogActions&, int index) = nullptr;
  // kCheckList: a row's tick changed (the effect is for a new selection).
  void (*ticked)(DialogActions&, int row, bool on) = nullptr;
  // What the dialog reads again afterwards.
  DialogParts refresh = 0;
};

// Every control of the dialog, page by page.
std::span<const DialogControl> DialogControls();
// The row called `name`; nullptr when there is none.
const DialogControl* FindDialogControl(std::string_view name);
// The widget name of member i of an array row ("Option3_2"), or the row's
// own name for a single control.
std::string ControlName(const DialogControl& c, int index);

// What a shell shows, through one helper per kind.
bool ControlChecked(const DialogControl& c, const SettingsModel& m);  // kCheck
bool ControlEnabled(const DialogControl& c, const SettingsModel& m);
int ControlChoice(const DialogControl& c,
                  const SettingsModel& m);  // kOptions/kSlider/kCombo/kList/kCheckList
std::string ControlText(const DialogControl& c,
                        const SettingsModel& m);  // kText, kCaption, kStatus

// What the commands of the dialog need beyond the model: the rest of the
// program (Program implements it) and the shell.
class DialogActions {
 public:
  virtual ~DialogActions() = default;
  virtual SettingsModel& model() = 0;
  virtual GradientImages& gradientImages() = 0;
  virtual std::optional<std::uint32_t> ChooseColour(std::uint32_t initial) = 0;
  virtual void RefreshDialog(DialogParts parts) = 0;
  virtual void RefreshIntervalChanged() = 0;  // Slider2
  virtual void MouseOverModeChanged() = 0;    // Option4
  virtual void ToolbarShownChanged() = 0;     // Check2(1)
  virtual void ClearGraph() = 0;              // Option3
  virtual void RepaintGraphBackground() = 0;  // color(7)
  virtual void ResetTotal(int which) = 0;     // Command6(0..3)
  virtual void ResetMonitorSize() = 0;        // Command4
  virtual void ResetMonitorPosition() = 0;    // Command5
  virtual void SaveSettings() = 0;            // Command3
  virtual void CloseDialog() = 0;             // Command2 and the window's close
  virtual void OpenHomePage() = 0;            // Label3
};

// What a dialog shell reports, each with the row of the control.
class DialogEvents {
 public:
  virtual ~DialogEvents() = default;
  virtual void Toggled(const DialogControl& c, bool on) = 0;  // kCheck
  // kOptions (the button's index), kSlider (the value), kCombo and kList
  // (the chosen entry, -1 for none).
  virtual void Chosen(const DialogControl& c, int index) = 0;
  virtual void Edited(const DialogControl& c, const std::string& text) = 0;  // kText
  virtual void Pressed(const DialogControl& c, int index) = 0;           // kButton, kSwatch, kLink
  virtual void RowTicked(const DialogControl& c, int row, bool on) = 0;  // kCheckList
  virtual void RowSelected(const DialogControl& c, int row) = 0;         // kCheckList
  // The dialog moved (by the user or the window manager).
  virtual void Moved(PixelPoint topLeft) = 0;
  // The window manager's close: the same as "閉じる".
  virtual void CloseRequested() = 0;
};

// The events applied to the model through the table: the field takes the
// value, the effect runs, and the dialog reads `refresh` again.
class DialogController : public DialogEvents {
 public:
  explicit DialogController(DialogActions& actions) : actions_(actions) {}

  void Toggled(const DialogControl& c, bool on) override;
  void Chosen(const DialogControl& c, int index) override;
  void Edited(const DialogControl& c, const std::string& text) override;
  void Pressed(const DialogControl& c, int index) override;
  void RowTicked(const DialogControl& c, int row, bool on) override;
  void RowSelected(const DialogControl& c, int row) override;
  void Moved(PixelPoint topLeft) override;
  void CloseRequested() override;

 private:
  void After(const DialogControl& c, int index);
  DialogActions& actions_;
};

}  // namespace mirel
