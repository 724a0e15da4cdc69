// The live settings: the state that the settings dialog edits and that the
// tick, the menus and the settings file read. A change takes effect at the
// next tick; there is no apply step. Plain data, no Qt.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mirel {

inline constexpr const char* kProgramTitle = "Mirel君9x";
inline constexpr const char* kVersionLabel = "Ver3.18";
inline constexpr int kVersionNumber = 318;
inline constexpr const char* kLoadingText = "Now　Loading・・・";  // ideographic space
inline constexpr std::uint32_t kWhite = 16777215;

// One text per settings-file value, as the file's record indexes number them.
// Only the option indexes and the eight colours are read from here after
// loading; everything else lives in the fields of SettingsModel.
struct SettingsRecord {
  static constexpr int kSize = 52;
  // Record indexes that stay meaningful after loading.
  static constexpr int kRateUnit = 9;
  static constexpr int kAlwaysOnTop = 10;
  static constexpr int kGraphSource = 11;
  static constexpr int kMouseOverMode = 19;
  static constexpr int kBackColor = 20;  // colour button i is at kBackColor + i
  static constexpr int kTextColor = 21;
  static constexpr int kColor2 = 22;
  static constexpr int kColor3 = 23;
  static constexpr int kColor4 = 24;
  static constexpr int kColor5 = 25;
  static constexpr int kGraphLineColor = 26;
  static constexpr int kGraphBackColor = 27;
  static constexpr int kHddUnit = 44;
  static constexpr int kDrawMode = 46;

  std::array<std::string, kSize> entries{};

  std::string& operator[](int i) { return entries.at(static_cast<std::size_t>(i)); }
  const std::string& operator[](int i) const { return entries.at(static_cast<std::size_t>(i)); }
};

// The option groups' choices by name. The record keeps each choice as the
// settings file writes it (the index as decimal text); the accessors of
// SettingsModel turn it into these.
enum class AlwaysOnTop { kOn = 0, kOff = 1 };                  // Option2
enum class MouseOverMode { kNone = 0, kHideUnderCursor = 1 };  // Option4 "マウスオーバーで表示"
enum class DrawMode { kResizable = 0, kFixedSize = 1 };        // Option7

// The refresh timer's interval is the interval slider's value × 500 ms.
inline constexpr int kRefreshStepMs = 500;

// One row of the item list: display name, key "100".."114", two colour texts
// (decimal 0x00BBGGRR, possibly blank-padded or empty) and the shown flag.
struct ItemRow {
  std::string text;
  std::string key;
  std::string startColor;
  std::string endColor;
  bool checked = false;
};

// One row of the drive list: the drive text (a mount point on Linux), the
// kind text, two colour texts and the shown flag.
struct DriveRow {
  std::string text;
  std::string kind = "ハードディスク";
  std::string startColor;
  std::string endColor;
  bool checked = false;
};

// Monitor window geometry and dialog position, in twips (15 per pixel),
// except scaleHeight, which is the window's inner drawing height in pixels.
struct DisplayGeometry {
  int left = 0;
  int top = 0;
  int height = 0;
  int width = 0;
  int scaleHeight = 0;
};

struct SettingsModel {
  SettingsRecord record;

  // Item list (ListView2) and drive list (ListView1), rows in display order.
  std::vector<ItemRow> items;
  int selectedItem = -1;
  std::vector<DriveRow> drives;
  int selectedDrive = -1;

  // Check boxes.
  bool ipCopyMenuShown = false;     // Check1(0)
  bool adapterAutoDetect = false;   // Check1(1)
  bool versionCheckAuto = false;    // Check1(20)
  bool proxyMenuShown = false;      // Check2(0)
  bool toolbarShown = false;        // Check2(1)
  bool toolbarCpu = false;          // Check3(0)
  bool toolbarMemory = false;       // Check3(1)
  bool toolbarReceive = false;      // Check3(2)
  bool toolbarSend = false;         // Check3(3)
  bool toolbarBoxesEnabled = true;  // Check3(0..3) are greyed out while false

  // Sliders.
  int receiveSpeed = 1;    // Slider1, 1..192
  int updateInterval = 2;  // Slider2, 1..20 (× 500 ms)
  int sendSpeed = 1;       // Slider3, 1..128

  // Interface list (Combo2) and its selection; -1 for none.
  std::vector<std::string> interfaceList;
  int adapterIndex = -1;

  DisplayGeometry display;
  int dialogLeft = 0;
  int dialogTop = 0;

  // Proxy list (List1), its selection and the entry box (Text1).
  std::vector<std::string> proxyList;
  int selectedProxy = -1;
  std::string proxyText;

  // The web check's address (Text2, page バージョン情報), kept in
  // preferences.conf rather than the settings file; the address start-up
  // chose, until the user edits it.
  std::string webCheckBase;

  // The dialog's status line (StatusBar1).
  std::string statusText;

  // The monitor window must be fitted to the stack on the next composition.
  bool resizePending = false;

  // Captions of the item colour buttons Command9(0) and Command9(1):
  // "開始色"/"終点色", or "色変更不可" for items without a gradient.
  std::string startColourCaption = "開始色";
  std::string endColourCaption = "終点色";

  // Visibility of "ＩＰアドレスコピー" and "プロキシ" in both popup menus.
  bool ipCopyEntryVisible = false;
  bool proxyEntryVisible = false;

  // Option indexes and colours, read leniently from the record.
  int rateUnit() const { return OptionIndex(SettingsRecord::kRateUnit); }
  int alwaysOnTop() const { return OptionIndex(SettingsRecord::kAlwaysOnTop); }
  int graphSource() const { return OptionIndex(SettingsRecord::kGraphSource); }
  int mouseOverMode() const { return OptionIndex(SettingsRecord::kMouseOverMode); }
  int hddUnit() const { return OptionIndex(SettingsRecord::kHddUnit); }
  int drawMode() const { return OptionIndex(SettingsRecord::kDrawMode); }
  AlwaysOnTop alwaysOnTopOption() const { return static_cast<AlwaysOnTop>(alwaysOnTop()); }
  MouseOverMode mouseOverOption() const { return static_cast<MouseOverMode>(mouseOverMode()); }
  DrawMode drawModeOption() const { return static_cast<DrawMode>(drawMode()); }
  std::uint32_t Colour(int recordIndex) const;  // 0x00BBGGRR
  std::uint32_t backColor() const { return Colour(SettingsRecord::kBackColor); }
  std::uint32_t textColor() const { return Colour(SettingsRecord::kTextColor); }
  std::uint32_t graphLineColor() const { return Colour(SettingsRecord::kGraphLineColor); }
  std::uint32_t graphBackColor() const { return Colour(SettingsRecord::kGraphBackColor); }

  int OptionIndex(int recordIndex) const;
};

// The refresh timer's interval in milliseconds (Slider2 × 500, 0.5 to 10 s):
// the one rule every shell and tool asks.
int RefreshIntervalMs(const SettingsModel& model);

// Lenient number reading as the settings file needs it: surrounding blanks are
// ignored; false when the rest is not a decimal number. Fractions are
// allowed and rounded half to even when an integer is asked for.
bool ParseLenientNumber(std::string_view text, double& out);
// The colour in a decimal colour text (trailing blanks ignored); an empty or
// unreadable text reads as 0.
std::uint32_t ParseColourText(std::string_view text);

}  // namespace mirel
