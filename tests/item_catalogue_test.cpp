#include "settings/item_catalogue.h"

#include <gtest/gtest.h>

namespace mirel {
namespace {

TEST(ItemCatalogueTest, FifteenKeysWithTheirExactNames) {
  const auto& items = ItemCatalogue();
  ASSERT_EQ(items.size(), 15u);
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].key, std::to_string(100 + i));
    EXPECT_STREQ(ItemName(items[i].key), items[i].name);
  }
  // The names whose blanks and commas are easy to get wrong.
  EXPECT_STREQ(ItemName("108"), "アクティブ\u3000スクリプト");
  EXPECT_STREQ(ItemName("109"), "Java アプレットのスクリプト");
  EXPECT_STREQ(ItemName("114"), "日付,時刻表示");
  for (const char* unknown : {"", "99", "115", "1000", "10"}) EXPECT_EQ(ItemName(unknown), nullptr);
}

TEST(ItemCatalogueTest, ColourSlotsAreTwelveCharactersByPosition) {
  const std::string packed = "255         16777215    12";
  EXPECT_EQ(ColourSlot(packed, 1), "255         ");
  EXPECT_EQ(ParseColourText(ColourSlot(packed, 1)), 255u);  // trailing blanks ignored
  EXPECT_EQ(ColourSlot(packed, 2), "16777215    ");
  EXPECT_EQ(ColourSlot(packed, 3), "12");  // a cut-off slot gives what is there
  EXPECT_EQ(ColourSlot(packed, 4), "");
  EXPECT_EQ(ColourSlot(packed, 0), "");
  // Slots count characters: a double-byte character is one position.
  EXPECT_EQ(ColourSlot("１２３４５６７８９０１２345", 2), "345");
}

struct RowCase {
  const char* name;
  std::string order, checks, starts, ends;
  std::vector<ItemRow> rows;  // expected
};
void PrintTo(const RowCase& c, std::ostream* os) {
  *os << c.name;
}

class ItemRowBuilderTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(ItemRowBuilderTest, BuildsRowsByPosition) {
  const RowCase& c = GetParam();
  SettingsModel model;
  model.items = {{"stale", "100", "", "", true}};
  BuildItemRows(model, PackedLists{c.checks, c.order, c.starts, c.ends, "", "", ""});
  ASSERT_EQ(model.items.size(), c.rows.size());
  for (std::size_t i = 0; i < c.rows.size(); ++i) {
    const ItemRow& got = model.items[i];
    const ItemRow& want = c.rows[i];
    EXPECT_EQ(std::tie(got.text, got.key, got.startColor, got.endColor, got.checked),
              std::tie(want.text, want.key, want.startColor, want.endColor, want.checked))
        << "row " << i;
  }
}

std::string Keys(int count) {
  std::string keys;
  for (int i = 0; i < count; ++i) keys += std::to_string(100 + i % 15);
  return keys;
}

std::vector<ItemRow> SixteenRows() {
  std::vector<ItemRow> rows;
  for (int i = 0; i < 16; ++i) {
    std::string key = std::to_string(100 + i % 15);
    rows.push_back({ItemName(key), key, "", "", true});
  }
  return rows;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, ItemRowBuilderTest, ::testing::Values(
    RowCase{"ThreeItems", "100113114", "101", "255         ", "65280       12",
            {{"ＣＰＵ使用率", "100", "255         ", "65280       ", true},
             {"グラフ表示", "113", "", "12", false},
             {"日付,時刻表示", "114", "", "", true}}},
    RowCase{"EmptyOrder", "", "111", "1", "1", {}},
    RowCase{"KeyTwice", "102102", "10", "", "",
            {{"受信量/秒", "102", "", "", true}, {"受信量/秒", "102", "", "", false}}},
    RowCase{"SeventeenKeys", Keys(17), std::string(17, '1'), "", "", SixteenRows()},
    // An unknown key adds no row; the next row takes its flag and colours.
    RowCase{"UnknownKeyShiftsLaterRows", "100999101", "10", "1           2", "",
            {{"ＣＰＵ使用率", "100", "1           ", "", true},
             {"メモリ使用率", "101", "2", "", false}}},
    // Flags other than 0 and 1, and missing flags, leave a row unticked.
    RowCase{"OddFlags", "100101102", "x1", "", "",
            {{"ＣＰＵ使用率", "100", "", "", false}, {"メモリ使用率", "101", "", "", true},
             {"受信量/秒", "102", "", "", false}}},
    RowCase{"CutOffKey", "10010", "11", "", "", {{"ＣＰＵ使用率", "100", "", "", true}}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(DriveRowBuilderTest, CompletesEachDriveFromFlagsAndColours) {
  SettingsModel model;
  PackedLists packed;
  packed.driveChecks = "1x";
  packed.driveStartColors = "255         ";
  packed.driveEndColors = "65280       " + std::string(12, ' ');
  BuildDriveRows(model, {"/", "/home", "/srv"}, packed);
  ASSERT_EQ(model.drives.size(), 3u);
  EXPECT_EQ(model.drives[0].text + model.drives[0].kind, "/ハードディスク");
  EXPECT_EQ(model.drives[0].startColor + model.drives[0].endColor, "255         65280       ");
  EXPECT_TRUE(model.drives[0].checked);
  EXPECT_FALSE(model.drives[1].checked);                      // only "1" ticks
  EXPECT_FALSE(model.drives[2].checked);                      // no flag at all
  EXPECT_EQ(model.drives[1].startColor, "16777215");          // missing slot: white
  EXPECT_EQ(model.drives[1].endColor, std::string(12, ' '));  // blanks are not empty
  EXPECT_EQ(model.drives[2].endColor, "16777215");
}

TEST(DriveRowBuilderTest, RowsKeepTheirSettingsByDriveWhenTheDrivesChange) {
  SettingsModel model;
  model.drives = {{"/", "ハードディスク", "255", "65280", true},
                  {"/home", "ハードディスク", "16711680", "0", false},
                  {"/mnt/old", "ハードディスク", "123", "456", true}};
  model.selectedDrive = 1;
  // /data was mounted since start-up, /mnt/old is gone.
  RefreshDriveRows(model, {"/", "/data", "/home"});
  ASSERT_EQ(model.drives.size(), 3u);
  std::vector<std::string> texts, flags;
  for (const DriveRow& r : model.drives) {
    texts.push_back(r.text);
    flags.push_back((r.checked ? "1:" : "0:") + r.startColor + ":" + r.endColor);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"/", "/data", "/home"}));
  EXPECT_EQ(flags,
            (std::vector<std::string>{"1:255:65280", "0:16777215:16777215", "0:16711680:0"}));
  EXPECT_EQ(model.selectedDrive, 2);  // still /home
  EXPECT_EQ(model.drives[1].kind, "ハードディスク");

  // The selected drive gone: nothing selected. Unchanged drives: no change.
  RefreshDriveRows(model, {"/", "/data"});
  EXPECT_EQ(model.selectedDrive, -1);
  RefreshDriveRows(model, {"/", "/data"});
  ASSERT_EQ(model.drives.size(), 2u);
  EXPECT_TRUE(model.drives[0].checked);
  EXPECT_EQ(model.drives[0].startColor, "255");
}

TEST(MenuVisibilityTest, IpCopyEntryNeedsTheShownIpRowAndTheBox) {
  struct Case {
    std::vector<std::pair<std::string, bool>> rows;
    bool ipCopyMenuShown;
    bool visible;
  } cases[] = {
      {{{"100", true}, {"104", true}}, true, true},
      {{{"104", true}}, false, false},
      {{{"104", false}}, true, false},  // item not shown
      {{{"100", true}}, true, false},   // no IP row at all
  };
  for (const Case& c : cases) {
    SettingsModel model;
    for (const auto& [key, checked] : c.rows) model.items.push_back({"", key, "", "", checked});
    model.ipCopyMenuShown = c.ipCopyMenuShown;
    model.proxyMenuShown = c.visible;
    model.ipCopyEntryVisible = model.proxyEntryVisible = !c.visible;
    ApplyMenuVisibility(model);
    EXPECT_EQ(model.ipCopyEntryVisible, c.visible) << c.rows.size() << c.ipCopyMenuShown;
    EXPECT_EQ(model.proxyEntryVisible, c.visible);
  }
}

}  // namespace
}  // namespace mirel
