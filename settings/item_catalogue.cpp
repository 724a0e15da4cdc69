#include "settings/item_catalogue.h"

#include <algorithm>

#include "settings/char_text.h"

namespace mirel {

namespace {

constexpr std::size_t kKeyLength = 3;
constexpr std::size_t kOrderPositions = 16;  // the builder looks no further
constexpr std::size_t kSlotWidth = 12;
constexpr const char* kIpAddressKey = "104";
constexpr const char* kWhiteText = "16777215";

// Character k (from 1) of a flag string, empty past its end.
std::string FlagAt(const std::string& flags, std::size_t k) {
  return CharSlice(flags, k - 1, 1);
}

}  // namespace

const std::vector<CatalogueItem>& ItemCatalogue() {
  static const std::vector<CatalogueItem> items = {
      {"100", "ＣＰＵ使用率"},
      {"101", "メモリ使用率"},
      {"102", "受信量/秒"},
      {"103", "送信量/秒"},
      {"104", "IPアドレス"},
      {"105", "LAN側IPアドレス"},
      {"106", "ＰＲＯＸＹ"},
      {"107", "ＰＲＯＸＹ状態"},
      {"108", "アクティブ　スクリプト"},  // ideographic space between the words
      {"109", "Java アプレットのスクリプト"},
      {"110", "総受信量"},
      {"111", "総送信量"},
      {"112", "HDD容量"},
      {"113", "グラフ表示"},
      {"114", "日付,時刻表示"},  // ASCII comma
  };
  return items;
}

const char* ItemName(std::string_view key) {
  for (const CatalogueItem& item : ItemCatalogue()) {
    if (key == item.key) return item.name;
  }
  return nullptr;
}

std::string ColourSlot(const std::string& packed, std::size_t k) {
  if (k == 0) return {};
  return CharSlice(packed, (k - 1) * kSlotWidth, kSlotWidth);
}

void BuildItemRows(SettingsModel& model, const PackedLists& packed) {
  model.items.clear();
  model.selectedItem = -1;
  for (std::size_t p = 1; p <= kOrderPositions; ++p) {
    std::string key = CharSlice(packed.itemOrder, (p - 1) * kKeyLength, kKeyLength);
    if (const char* name = ItemName(key)) {
      ItemRow row;
      row.text = name;
      row.key = key;
      model.items.push_back(std::move(row));
    }
  }
  // Flags and colours go by row position: an unknown key in the order shifts
  // the later rows onto earlier slots. Files this program writes have none.
  for (std::size_t i = 1; i <= model.items.size(); ++i) {
    ItemRow& row = model.items[i - 1];
    std::string flag = FlagAt(packed.itemChecks, i);
    if (flag == "1") row.checked = true;
    if (flag == "0") row.checked = false;
    row.startColor = ColourSlot(packed.itemStartColors, i);
    row.endColor = ColourSlot(packed.itemEndColors, i);
  }
}

void BuildDriveRows(SettingsModel& model, const std::vector<std::string>& driveTexts,
                    const PackedLists& packed) {
  model.drives.clear();
  model.selectedDrive = -1;
  for (std::size_t i = 1; i <= driveTexts.size(); ++i) {
    DriveRow row;
    row.text = driveTexts[i - 1];
    row.checked = FlagAt(packed.driveChecks, i) == "1";
    row.startColor = ColourSlot(packed.driveStartColors, i);
    row.endColor = ColourSlot(packed.driveEndColors, i);
    if (row.startColor.empty()) row.startColor = kWhiteText;
    if (row.endColor.empty()) row.endColor = kWhiteText;
    model.drives.push_back(std::move(row));
  }
}

void RefreshDriveRows(SettingsModel& model, const std::vector<std::string>& driveTexts) {
  std::string selected;
  if (model.selectedDrive >= 0 &&
      static_cast<std::size_t>(model.selectedDrive) < model.drives.size())
    selected = model.drives[static_cast<std::size_t>(model.selectedDrive)].text;
  std::vector<DriveRow> rows;
  rows.reserve(driveTexts.size());
  model.selectedDrive = -1;
  for (const std::string& text : driveTexts) {
    auto old = std::find_if(model.drives.begin(), model.drives.end(),
                            [&](const DriveRow& r) { return r.text == text; });
    if (old != model.drives.end()) {
      rows.push_back(std::move(*old));
      old->text.clear();  // a text listed twice gets one configured row
    } else {
      DriveRow row;
      row.text = text;
      row.startColor = kWhiteText;
      row.endColor = kWhiteText;
      rows.push_back(std::move(row));
    }
    if (!selected.empty() && text == selected)
      model.selectedDrive = static_cast<int>(rows.size() - 1);
  }
  model.drives = std::move(rows);
}

void ApplyMenuVisibility(SettingsModel& model) {
  // Without an IP address row the item cannot be shown, so neither is the entry.
  bool ipCopy = false;
  for (const ItemRow& row : model.items) {
    if (row.key == kIpAddressKey) ipCopy = row.checked && model.ipCopyMenuShown;
  }
  model.ipCopyEntryVisible = ipCopy;
  model.proxyEntryVisible = model.proxyMenuShown;
}

}  // namespace mirel
