// Every command of the settings dialog as a function of the live settings
// model, so each rule can be tested without a widget. The dialog's table
// (dialog_controls.h) says which control runs which command; effects beyond
// the model (the toolbar window, the graph, the timer) are Program's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "drawing/gradient.h"
#include "platform/platform.h"
#include "readings/monitor_state.h"
#include "settings/settings_model.h"

namespace mirel {

// Asks the user for a colour, starting from `initial` (0x00BBGGRR); nullopt
// when the user cancelled.
using ColourChooser = std::function<std::optional<std::uint32_t>(std::uint32_t initial)>;

// Which colour of a row a colour button sets.
enum class RowColour { kStart = 0, kEnd = 1, kBoth = 2 };

// Status texts.
inline constexpr const char* kSavedText = "設定を保存しました";
inline constexpr const char* kSizeResetText = "ウインドウサイズを初期化しました";
inline constexpr const char* kPositionResetText = "ウインドウ位置を初期化しました";
inline constexpr const char* kProxyAddedSuffix = "をプロキシリストに追加しました";
inline constexpr const char* kProxyRemovedSuffix = "をプロキシリストから削除しました";
inline constexpr const char* kReceiveCaptionPrefix = "受信速度設定  ";
inline constexpr const char* kSendCaptionPrefix = "送信速度設定  ";
inline constexpr const char* kIntervalCaptionPrefix = "更新間隔  ";
inline constexpr const char* kBadWebCheckBaseText =
    "問い合わせ先のアドレスは保存していません: http:// か https:// で始まり、ホスト名があり、"
    "? や # のないアドレスにしてください";

// Slider ranges.
inline constexpr int kReceiveSpeedMax = 192;
inline constexpr int kSendSpeedMax = 128;
inline constexpr int kIntervalMax = 20;

// --- Item list ------------------------------------------------------------

// Moves the selected row (all of its fields) one place up or down and keeps
// it selected. Nothing happens at the edge or without a selection. Returns
// whether the rows moved.
bool MoveItemUp(SettingsModel& model);
bool MoveItemDown(SettingsModel& model);

// After the tick of item row `row` changed in the model: ticks it again when
// no row is left ticked, re-applies the menu rules and asks the monitor to
// re-fit its window.
void ItemTickChanged(SettingsModel& model, int row);

// The tick of item row `row` set to `on` by the user, and what follows
// (ItemTickChanged). A row that does not exist changes nothing.
void TickItem(SettingsModel& model, int row, bool on);

// After a click on "右クリックにIPアドレスコピーを表示" (ipCopyMenuShown
// already holds the new state).
void IpCopyCheckClicked(SettingsModel& model);

// --- Colours --------------------------------------------------------------

// A new selection in the item list: repaints its preview and image, or shows
// "色変更不可" for items without a bar.
void ItemRowSelected(SettingsModel& model, GradientImages& images);

// Colour button of the item list. Items other than 100-103 open no chooser
// (their buttons read "色変更不可"). A cancel changes nothing.
void ChangeItemColour(SettingsModel& model, GradientImages& images, RowColour which,
                      const ColourChooser& choose);

// A click on (or key release in) the drive list: an empty start colour
// becomes white, then the drive's preview and image are repainted.
void DriveRowSelected(SettingsModel& model, GradientImages& images);

// Colour button of the drive list; without a selected drive no chooser opens.
void ChangeDriveColour(SettingsModel& model, GradientImages& images, RowColour which,
                       const ColourChooser& choose);

// After the tick of drive row `row` changed: at least one drive stays ticked.
void DriveTickChanged(SettingsModel& model, int row);

// The tick of drive row `row` set to `on` by the user, and what follows.
void TickDrive(SettingsModel& model, int row, bool on);

// Swatch i (0..7): the colour is stored as decimal text in record field
// kBackColor + i. Returns whether a colour was chosen.
bool ChangeSingleColour(SettingsModel& model, int i, const ColourChooser& choose);

// --- Sliders and options --------------------------------------------------

// "受信速度設定  192Kbyte/秒" or, in Kbit mode, "受信速度設定  12288Kbit/秒".
std::string SpeedCaption(const char* prefix, int value, int rateUnit);
std::string ReceiveSpeedCaption(const SettingsModel& model);
std::string SendSpeedCaption(const SettingsModel& model);
// "更新間隔  0.5秒", "更新間隔  1秒" ... "更新間隔  10秒".
std::string IntervalCaption(int value);

// Option5: sets both speed sliders; nothing is stored.
void SpeedPresetClicked(SettingsModel& model, int i);

// Check2(0) "右クリックにプロキシメニューを表示する" (proxyMenuShown already
// holds the new state).
void ProxyMenuCheckClicked(SettingsModel& model);
// The toolbar rule: without "ツールバーに表示する" the four reading boxes are
// unticked and greyed out (and the toolbar window hidden, by the caller);
// with it they are enabled, ticked or not as they were.
void ApplyToolbarRule(SettingsModel& model);
// Check2(1) "ツールバーに表示する" (toolbarShown already holds the new
// state): the proxy entry rule of the pair, then the toolbar rule.
void ToolbarCheckClicked(SettingsModel& model);

// --- Proxy list -----------------------------------------------------------

// Adds the entry box's text without its leading blanks. Returns whether an
// entry was added.
bool AddProxy(SettingsModel& model);
// Removes the selected entry. Returns whether one was removed.
bool RemoveProxy(SettingsModel& model);

// --- Save and reset -------------------------------------------------------

// Writes the settings file; the status line tells the result.
bool SaveCommand(SettingsModel& model, const std::filesystem::path& file, const TextCodec& codec);
// Stores the web check's address (blanks around it dropped) as
// webcheck.base in the preferences `file`, every other line kept; an empty
// address removes the key. Empty on
// success, else why not, in Japanese (an address that is not usable is
// refused, the file left as it was).
std::string StoreWebCheckBase(const std::filesystem::path& file, const std::string& base);
// The monitor window back to the height of the composed stack and the
// default width.
void ResetWindowSize(SettingsModel& model, int composedHeight);
// The monitor window to the screen's top-left corner, size unchanged.
void ResetWindowPosition(SettingsModel& model);

// Total buttons: 0 and 1 start the received / sent total again from 0,
// 2 and 3 show the whole running total again.
void ResetTotal(MonitorState& state, int which);

}  // namespace mirel
