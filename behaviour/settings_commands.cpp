#include "behaviour/settings_commands.h"

#include <algorithm>
#include <utility>

#include "readings/web_check.h"
#include "settings/item_catalogue.h"
#include "settings/settings_file.h"
#include "settings/user_preferences.h"

namespace mirel {

namespace {

bool ValidRow(int row, std::size_t count) {
  return row >= 0 && static_cast<std::size_t>(row) < count;
}

bool HasGradient(const ItemRow& row) {
  double key = 0;
  if (!ParseLenientNumber(row.key, key)) return false;
  return key >= 100 && key <= 103;
}

std::uint32_t ColourOrWhite(const std::string& text) {
  double value = 0;
  return ParseLenientNumber(text, value) ? ParseColourText(text) : kWhite;
}

// Runs the chooser from the colour that the button is about to replace and
// writes the answer into the row. False on cancel.
template <typename Row>
bool ChooseRowColour(Row& row, RowColour which, const ColourChooser& choose) {
  if (!choose) return false;
  const std::string& current = which == RowColour::kEnd ? row.endColor : row.startColor;
  std::optional<std::uint32_t> chosen = choose(ColourOrWhite(current));
  if (!chosen) return false;
  const std::string text = std::to_string(*chosen & 0xFFFFFFu);
  if (which != RowColour::kEnd) row.startColor = text;
  if (which != RowColour::kStart) row.endColor = text;
  return true;
}

// "At least one row stays ticked": the row just unticked is ticked again
// when it was the last one.
template <typename Row>
void KeepOneTicked(std::vector<Row>& rows, int row) {
  if (!ValidRow(row, rows.size())) return;
  const bool anyTicked =
      std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.checked; });
  if (!anyTicked) rows[static_cast<std::size_t>(row)].checked = true;
}

}  // namespace

// --- Item list ------------------------------------------------------------

bool MoveItemUp(SettingsModel& model) {
  const int p = model.selectedItem;
  if (!ValidRow(p, model.items.size()) || p == 0) return false;
  std::swap(model.items[static_cast<std::size_t>(p)], model.items[static_cast<std::size_t>(p - 1)]);
  model.selectedItem = p - 1;
  return true;
}

bool MoveItemDown(SettingsModel& model) {
  const int p = model.selectedItem;
  if (!ValidRow(p, model.items.size()) || static_cast<std::size_t>(p) + 1 >= model.items.size()) {
    return false;
  }
  std::swap(model.items[static_cast<std::size_t>(p)], model.items[static_cast<std::size_t>(p + 1)]);
  model.selectedItem = p + 1;
  return true;
}

void ItemTickChanged(SettingsModel& model, int row) {
  KeepOneTicked(model.items, row);
  ApplyMenuVisibility(model);
  model.resizePending = true;
}

void TickItem(SettingsModel& model, int row, bool on) {
  if (!ValidRow(row, model.items.size())) return;
  model.items[static_cast<std::size_t>(row)].checked = on;
  ItemTickChanged(model, row);
}

void IpCopyCheckClicked(SettingsModel& model) {
  ApplyMenuVisibility(model);
}

// --- Colours --------------------------------------------------------------

void ItemRowSelected(SettingsModel& model, GradientImages& images) {
  DrawItemGradient(model, images);
}

void ChangeItemColour(SettingsModel& model, GradientImages& images, RowColour which,
                      const ColourChooser& choose) {
  if (!ValidRow(model.selectedItem, model.items.size())) return;
  ItemRow& row = model.items[static_cast<std::size_t>(model.selectedItem)];
  if (!HasGradient(row)) {
    DrawItemGradient(model, images);  // shows "色変更不可"
    return;
  }
  if (!ChooseRowColour(row, which, choose)) return;
  DrawItemGradient(model, images);
}

void DriveRowSelected(SettingsModel& model, GradientImages& images) {
  if (!ValidRow(model.selectedDrive, model.drives.size())) return;
  DriveRow& row = model.drives[static_cast<std::size_t>(model.selectedDrive)];
  if (row.startColor.empty()) row.startColor = std::to_string(kWhite);
  DrawDriveGradient(model, images);
}

void ChangeDriveColour(SettingsModel& model, GradientImages& images, RowColour which,
                       const ColourChooser& choose) {
  if (!ValidRow(model.selectedDrive, model.drives.size())) return;
  DriveRow& row = model.drives[static_cast<std::size_t>(model.selectedDrive)];
  if (!ChooseRowColour(row, which, choose)) return;
  DrawDriveGradient(model, images);
}

void DriveTickChanged(SettingsModel& model, int row) {
  KeepOneTicked(model.drives, row);
  model.resizePending = true;
}

void TickDrive(SettingsModel& model, int row, bool on) {
  if (!ValidRow(row, model.drives.size())) return;
  model.drives[static_cast<std::size_t>(row)].checked = on;
  DriveTickChanged(model, row);
}

bool ChangeSingleColour(SettingsModel& model, int i, const ColourChooser& choose) {
  if (i < 0 || i > 7 || !choose) return false;
  const int field = SettingsRecord::kBackColor + i;
  std::optional<std::uint32_t> chosen = choose(model.Colour(field));
  if (!chosen) return false;
  model.record[field] = std::to_string(*chosen & 0xFFFFFFu);
  return true;
}

// --- Sliders and options --------------------------------------------------

std::string SpeedCaption(const char* prefix, int value, int rateUnit) {
  if (rateUnit == 1) return prefix + std::to_string(value * 64) + "Kbit/秒";
  return prefix + std::to_string(value * 8) + "Kbyte/秒";
}

std::string ReceiveSpeedCaption(const SettingsModel& model) {
  return SpeedCaption(kReceiveCaptionPrefix, model.receiveSpeed, model.rateUnit());
}

std::string SendSpeedCaption(const SettingsModel& model) {
  return SpeedCaption(kSendCaptionPrefix, model.sendSpeed, model.rateUnit());
}

std::string IntervalCaption(int value) {
  // v × 0.5 seconds, written without trailing zeros.
  std::string seconds = std::to_string(value / 2);
  if (value % 2 != 0) seconds += ".5";
  return kIntervalCaptionPrefix + seconds + "秒";
}

void SpeedPresetClicked(SettingsModel& model, int i) {
  struct Preset {
    int receive;
    int send;
  };
  static constexpr Preset kPresets[] = {{1, 1}, {24, 8}, {128, 16}, {192, 16}};
  if (i < 0 || i >= static_cast<int>(std::size(kPresets))) return;
  model.receiveSpeed = kPresets[i].receive;
  model.sendSpeed = kPresets[i].send;
}

void ProxyMenuCheckClicked(SettingsModel& model) {
  ApplyMenuVisibility(model);
}

void ApplyToolbarRule(SettingsModel& model) {
  if (!model.toolbarShown) {
    model.toolbarCpu = model.toolbarMemory = model.toolbarReceive = model.toolbarSend = false;
    model.toolbarBoxesEnabled = false;
  } else {
    model.toolbarBoxesEnabled = true;
  }
}

void ToolbarCheckClicked(SettingsModel& model) {
  ApplyMenuVisibility(model);
  ApplyToolbarRule(model);
}

// --- Proxy list -----------------------------------------------------------

bool AddProxy(SettingsModel& model) {
  const std::size_t first = model.proxyText.find_first_not_of(' ');
  model.proxyText.erase(0, first == std::string::npos ? model.proxyText.size() : first);
  if (model.proxyText.empty()) return false;
  model.proxyList.push_back(model.proxyText);
  model.statusText = model.proxyText + kProxyAddedSuffix;
  model.proxyText.clear();
  return true;
}

bool RemoveProxy(SettingsModel& model) {
  const int k = model.selectedProxy;
  if (!ValidRow(k, model.proxyList.size())) return false;
  model.statusText = model.proxyList[static_cast<std::size_t>(k)] + kProxyRemovedSuffix;
  model.proxyList.erase(model.proxyList.begin() + k);
  model.selectedProxy = -1;
  return true;
}

// --- Save and reset -------------------------------------------------------

bool SaveCommand(SettingsModel& model, const std::filesystem::path& file, const TextCodec& codec) {
  SaveResult result = SaveSettings(file, codec, model);
  if (result.ok) {
    model.statusText = kSavedText;
  } else {
    model.statusText =
        result.error.empty() ? std::string("設定を保存できませんでした") : result.error;
  }
  return result.ok;
}

std::string StoreWebCheckBase(const std::filesystem::path& file, const std::string& typed) {
  // Blanks around a pasted address are not part of it.
  const std::size_t first = typed.find_first_not_of(" \t");
  const std::string base = first == std::string::npos
                               ? std::string()
                               : typed.substr(first, typed.find_last_not_of(" \t") - first + 1);
  if (!base.empty() && !IsUsableWebCheckBase(base)) return kBadWebCheckBaseText;
  PreferencesLoad prefs = LoadUserPreferences(file);
  // A file we cannot read whole is not replaced by the little we know.
  if (!prefs.error.empty()) return prefs.error;
  if (base.empty()) {
    prefs.preferences.Remove(kWebCheckBaseKey);
  } else {
    prefs.preferences.Set(kWebCheckBaseKey, base);
  }
  return SaveUserPreferences(file, prefs.preferences);
}

void ResetWindowSize(SettingsModel& model, int composedHeight) {
  model.display.height = 15 * composedHeight + 128;
  model.display.scaleHeight = composedHeight;
  model.display.width = 2496;
  model.statusText = kSizeResetText;
}

void ResetWindowPosition(SettingsModel& model) {
  model.display.left = 0;
  model.display.top = 0;
  model.statusText = kPositionResetText;
}

void ResetTotal(MonitorState& state, int which) {
  switch (which) {
    case 0:
      state.rxStartTotal = state.rxTotal;
      break;
    case 1:
      state.txStartTotal = state.txTotal;
      break;
    case 2:
      state.rxStartTotal = 0;
      break;
    case 3:
      state.txStartTotal = 0;
      break;
    default:
      break;
  }
}

}  // namespace mirel
