// The fifteen display items and the rows built from the settings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_file.h"
#include "settings/settings_model.h"

namespace mirel {

// The display items by name; the settings file and the item rows carry the
// number as three-digit text.
enum class ItemKey {
  kCpu = 100,
  kMemory = 101,
  kReceiveRate = 102,
  kSendRate = 103,
  kGlobalIp = 104,
  kLanIp = 105,
  kProxyServer = 106,
  kProxySwitch = 107,
  kActiveScripting = 108,
  kJavaApplet = 109,
  kReceivedTotal = 110,
  kSentTotal = 111,
  kDisks = 112,
  kGraph = 113,
  kDateTime = 114,
};

struct CatalogueItem {
  const char* key;
  const char* name;
};

// Keys "100".."114" with their display names, in key order.
const std::vector<CatalogueItem>& ItemCatalogue();
// The display name of a key, or nullptr for an unknown key.
const char* ItemName(std::string_view key);

// Item rows from itemOrder / itemChecks / itemStartColors / itemEndColors.
void BuildItemRows(SettingsModel& model, const PackedLists& packed);
// Drive rows, one per drive text, completed from driveChecks and the drive
// colour strings.
void BuildDriveRows(SettingsModel& model, const std::vector<std::string>& driveTexts,
                    const PackedLists& packed);

// The drive rows after the machine's drives changed (a file system mounted
// or unmounted since start-up): one row per drive text, in that order. A row
// keeps its flag and colours when its drive is still listed, wherever it now
// stands; a new drive's row is unticked and white; the row of a drive that is
// no longer listed goes, as it would at the next start. The selection
// follows its row.
void RefreshDriveRows(SettingsModel& model, const std::vector<std::string>& driveTexts);

// "ＩＰアドレスコピー" is visible in the menus when item "104" is shown and
// ipCopyMenuShown is set; "プロキシ" when proxyMenuShown is set.
void ApplyMenuVisibility(SettingsModel& model);

// Slot k (from 1) of a 12-character colour string; empty past its end.
std::string ColourSlot(const std::string& packed, std::size_t k);

}  // namespace mirel
