#include "app/settings_file.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "app/atomic_file.h"
#include "app/char_text.h"

namespace mirel {

namespace fs = std::filesystem;

namespace {

constexpr int kFixedLines = 42;
constexpr int kProxyRecord = 51;
constexpr int kSlotWidth = 12;
constexpr const char* kWhiteText = "16777215";
constexpr const char* kSaveFailed = "設定を保存できませんでした: ";

enum class Kind { kPacked, kCheck, kOption, kAdapter, kColour, kSlider, kNumber, kCount };

struct LineSpec {
  const char* field;
  int record;  // -1: the line only goes to the packed lists
  Kind kind;
  int min = 0;
  int max = 0;
};

// Line n of the file is kLines[n - 1].
constexpr std::array<LineSpec, kFixedLines> kLines = {{
    {"itemChecks", -1, Kind::kPacked},
    {"itemOrder", -1, Kind::kPacked},
    {"itemStartColors", -1, Kind::kPacked},
    {"itemEndColors", -1, Kind::kPacked},
    {"driveEndColors", -1, Kind::kPacked},
    {"ipCopyMenuShown", 0, Kind::kCheck},
    {"adapterAutoDetect", 1, Kind::kCheck},
    {"proxyMenuShown", 30, Kind::kCheck},
    {"toolbarShown", 31, Kind::kCheck},
    {"toolbarCpu", 32, Kind::kCheck},
    {"toolbarMemory", 33, Kind::kCheck},
    {"toolbarReceive", 34, Kind::kCheck},
    {"toolbarSend", 35, Kind::kCheck},
    {"rateUnit", SettingsRecord::kRateUnit, Kind::kOption, 0, 1},
    {"alwaysOnTop", SettingsRecord::kAlwaysOnTop, Kind::kOption, 0, 1},
    {"graphSource", SettingsRecord::kGraphSource, Kind::kOption, 0, 4},
    {"mouseOverMode", SettingsRecord::kMouseOverMode, Kind::kOption, 0, 1},
    {"adapterIndex", 30, Kind::kAdapter},
    {"hddUnit", SettingsRecord::kHddUnit, Kind::kOption, 0, 1},
    {"drawMode", SettingsRecord::kDrawMode, Kind::kOption, 0, 1},
    {"versionCheckAuto", 47, Kind::kCheck},
    {"driveChecks", -1, Kind::kPacked},
    {"driveStartColors", -1, Kind::kPacked},
    {"backColor", SettingsRecord::kBackColor, Kind::kColour},
    {"textColor", SettingsRecord::kTextColor, Kind::kColour},
    {"color2", SettingsRecord::kColor2, Kind::kColour},
    {"color3", SettingsRecord::kColor3, Kind::kColour},
    {"color4", SettingsRecord::kColor4, Kind::kColour},
    {"color5", SettingsRecord::kColor5, Kind::kColour},
    {"graphLineColor", SettingsRecord::kGraphLineColor, Kind::kColour},
    {"graphBackColor", SettingsRecord::kGraphBackColor, Kind::kColour},
    {"receiveSpeed", 12, Kind::kSlider, 1, 192},
    {"updateInterval", 13, Kind::kSlider, 1, 20},
    {"sendSpeed", 18, Kind::kSlider, 1, 128},
    {"displayLeft", 14, Kind::kNumber},
    {"displayTop", 15, Kind::kNumber},
    {"displayHeight", 16, Kind::kNumber},
    {"displayWidth", 17, Kind::kNumber},
    {"displayScaleHeight", 28, Kind::kNumber},
    {"dialogLeft", 48, Kind::kNumber},
    {"dialogTop", 49, Kind::kNumber},
    {"proxyCount", 50, Kind::kCount},
}};

// Line numbers used when applying, by name rather than by position.
enum Line {
  kItemChecks = 1,
  kItemOrder,
  kItemStartColors,
  kItemEndColors,
  kDriveEndColors,
  kIpCopyMenuShown,
  kAdapterAutoDetect,
  kProxyMenuShown,
  kToolbarShown,
  kToolbarCpu,
  kToolbarMemory,
  kToolbarReceive,
  kToolbarSend,
  kAdapterIndex = 18,
  kVersionCheckAuto = 21,
  kDriveChecks,
  kDriveStartColors,
  kReceiveSpeed = 32,
  kUpdateInterval,
  kSendSpeed,
  kDisplayLeft,
  kDisplayTop,
  kDisplayHeight,
  kDisplayWidth,
  kDisplayScaleHeight,
  kDialogLeft,
  kDialogTop,
  kProxyCount,
};

std::string Expected(const LineSpec& layout) {
  switch (layout.kind) {
    case Kind::kCheck:
      return "a number (1 ticks the box)";
    case Kind::kOption:
      return "an option index from " + std::to_string(layout.min) + " to " +
             std::to_string(layout.max);
    case Kind::kAdapter:
      return "a whole number (the adapter's list index, -1 for none)";
    case Kind::kColour:
      return "a colour number (decimal 0x00BBGGRR)";
    case Kind::kSlider:
      return "a whole number from " + std::to_string(layout.min) + " to " +
             std::to_string(layout.max);
    case Kind::kNumber:
      return "a whole number";
    case Kind::kCount:
      return "the number of proxy entries that follow (0 or more)";
    case Kind::kPacked:
      break;
  }
  return "text";
}

std::string Quoted(std::string_view text) {
  constexpr std::size_t kShown = 40;
  if (static_cast<std::size_t>(CharacterCount(text)) <= kShown)
    return "\"" + std::string(text) + "\"";
  return "\"" + CharSlice(text, 0, kShown) + "…\"";
}

// A whole number in int range, halves rounded to even.
std::optional<int> WholeNumber(std::string_view text) {
  double value = 0;
  if (!ParseLenientNumber(text, value)) return std::nullopt;
  double rounded = std::nearbyint(value);
  if (rounded < static_cast<double>(INT_MIN) || rounded > static_cast<double>(INT_MAX)) {
    return std::nullopt;
  }
  return static_cast<int>(rounded);
}

// Everything the file holds, decoded and checked, before any of it is applied.
struct ParsedFile {
  std::array<std::string, kFixedLines + 1> text;  // by line number, [0] unused
  std::array<int, kFixedLines + 1> number{};      // whole-number lines
  std::array<bool, kFixedLines + 1> ticked{};     // number lines equal to 1
  std::vector<std::string> proxies;
};

struct ParseOutcome {
  std::optional<ParsedFile> file;
  std::string error;
};

std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  while (!bytes.empty()) {
    std::size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    // CR LF is what the program writes; a bare LF from an editor is read too.
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
  }
  return lines;
}

// `label` names the file in messages.
ParseOutcome Parse(std::string_view bytes, const TextCodec& codec, const std::string& label) {
  ParseOutcome out;
  const std::vector<std::string_view> lines = SplitLines(bytes);
  auto fail = [&](int line, const std::string& field, const std::string& what) {
    out.error = label + ": line " + std::to_string(line) + " (" + field + "): " + what;
    out.file.reset();
    return out;
  };
  auto decode = [&](int line, std::string& text) {
    std::optional<std::string> utf8 = codec.FromAnsi(lines[static_cast<std::size_t>(line - 1)]);
    if (!utf8) return false;
    text = std::move(*utf8);
    return true;
  };

  ParsedFile parsed;
  for (int line = 1; line <= kFixedLines; ++line) {
    const LineSpec& layout = kLines[static_cast<std::size_t>(line - 1)];
    if (static_cast<std::size_t>(line) > lines.size()) {
      return fail(line, layout.field,
                  "the file ends after line " + std::to_string(lines.size()) + "; expected " +
                      Expected(layout) + " here and " + std::to_string(kFixedLines) +
                      " lines before the proxy entries");
    }
    std::string& text = parsed.text[static_cast<std::size_t>(line)];
    if (!decode(line, text)) {
      return fail(line, layout.field,
                  "the bytes are not code page 932 text; expected " + Expected(layout));
    }
    const std::string found = ", found " + Quoted(text);
    switch (layout.kind) {
      case Kind::kPacked:
        break;
      case Kind::kCheck:
      case Kind::kColour: {
        // A colour that is no number would silently paint black: refuse it.
        double value = 0;
        if (!ParseLenientNumber(text, value)) {
          return fail(line, layout.field, "expected " + Expected(layout) + found);
        }
        parsed.ticked[static_cast<std::size_t>(line)] = value == 1.0;
        break;
      }
      case Kind::kOption:
      case Kind::kSlider:
      case Kind::kAdapter:
      case Kind::kNumber:
      case Kind::kCount: {
        std::optional<int> value = WholeNumber(text);
        bool inRange = value.has_value();
        if (inRange && (layout.kind == Kind::kOption || layout.kind == Kind::kSlider)) {
          inRange = *value >= layout.min && *value <= layout.max;
        }
        if (inRange && layout.kind == Kind::kCount) inRange = *value >= 0;
        if (!inRange) return fail(line, layout.field, "expected " + Expected(layout) + found);
        parsed.number[static_cast<std::size_t>(line)] = *value;
        break;
      }
    }
  }

  const int count = parsed.number[kProxyCount];
  for (int k = 1; k <= count; ++k) {
    const int line = kFixedLines + k;
    const std::string field = "proxy entry " + std::to_string(k) + " of " + std::to_string(count);
    if (static_cast<std::size_t>(line) > lines.size()) {
      return fail(line, field,
                  "the file ends after line " + std::to_string(lines.size()) + "; line " +
                      std::to_string(kFixedLines) + " (proxyCount) promises " +
                      std::to_string(count) + " proxy entries");
    }
    std::string text;
    if (!decode(line, text)) {
      return fail(line, field, "the bytes are not code page 932 text; expected a proxy entry");
    }
    parsed.proxies.push_back(std::move(text));
  }
  out.file = std::move(parsed);
  return out;
}

void Apply(const ParsedFile& parsed, SettingsModel& model, LoadResult& result) {
  auto text = [&](int line) -> const std::string& {
    return parsed.text[static_cast<std::size_t>(line)];
  };
  auto number = [&](int line) { return parsed.number[static_cast<std::size_t>(line)]; };
  auto ticked = [&](int line) { return parsed.ticked[static_cast<std::size_t>(line)]; };

  for (int line = 1; line <= kFixedLines; ++line) {
    int index = kLines[static_cast<std::size_t>(line - 1)].record;
    if (index >= 0) model.record[index] = text(line);
  }
  if (!parsed.proxies.empty()) model.record[kProxyRecord] = parsed.proxies.back();

  result.packed.itemChecks = text(kItemChecks);
  result.packed.itemOrder = text(kItemOrder);
  result.packed.itemStartColors = text(kItemStartColors);
  result.packed.itemEndColors = text(kItemEndColors);
  result.packed.driveEndColors = text(kDriveEndColors);
  result.packed.driveChecks = text(kDriveChecks);
  result.packed.driveStartColors = text(kDriveStartColors);

  model.ipCopyMenuShown = ticked(kIpCopyMenuShown);
  model.adapterAutoDetect = ticked(kAdapterAutoDetect);
  model.proxyMenuShown = ticked(kProxyMenuShown);
  model.toolbarShown = ticked(kToolbarShown);
  model.toolbarCpu = ticked(kToolbarCpu);
  model.toolbarMemory = ticked(kToolbarMemory);
  model.toolbarReceive = ticked(kToolbarReceive);
  model.toolbarSend = ticked(kToolbarSend);
  model.versionCheckAuto = ticked(kVersionCheckAuto);

  // The stored adapter is taken only when the list has it and automatic
  // detection is off; otherwise the choice made from the interface table stays.
  const int adapter = number(kAdapterIndex);
  result.adapterIndexInFile = adapter;
  if (adapter >= -1 &&
      static_cast<long long>(adapter) + 1 <= static_cast<long long>(model.interfaceList.size()) &&
      !model.adapterAutoDetect) {
    model.adapterIndex = adapter;
  }

  model.receiveSpeed = number(kReceiveSpeed);
  model.updateInterval = number(kUpdateInterval);
  model.sendSpeed = number(kSendSpeed);
  model.display.left = number(kDisplayLeft);
  model.display.top = number(kDisplayTop);
  model.display.height = number(kDisplayHeight);
  model.display.width = number(kDisplayWidth);
  model.display.scaleHeight = number(kDisplayScaleHeight);
  model.dialogLeft = number(kDialogLeft);
  model.dialogTop = number(kDialogTop);
  model.proxyList = parsed.proxies;
}

// Lengthens a colour text with blanks to a full slot; longer texts stay.
void PadSlot(std::string& colour) {
  std::size_t length = static_cast<std::size_t>(CharacterCount(colour));
  if (length < kSlotWidth) colour.append(kSlotWidth - length, ' ');
}

PackedLists PackRows(SettingsModel& model) {
  PackedLists packed;
  for (const DriveRow& row : model.drives) packed.driveChecks += row.checked ? '1' : '0';
  for (DriveRow& row : model.drives) {
    if (row.startColor.empty()) row.startColor = kWhiteText;
    PadSlot(row.startColor);
    PadSlot(row.endColor);
    packed.driveStartColors += row.startColor;
    packed.driveEndColors += row.endColor;
  }
  for (ItemRow& row : model.items) {
    packed.itemChecks += row.checked ? '1' : '0';
    packed.itemOrder += row.key;
    PadSlot(row.startColor);
    PadSlot(row.endColor);
    packed.itemStartColors += row.startColor;
    packed.itemEndColors += row.endColor;
  }
  return packed;
}

std::vector<std::string> ComposeLines(const SettingsModel& model, const PackedLists& packed) {
  auto flag = [](bool on) { return FormatPrintNumber(on ? 1 : 0); };
  auto num = [](int value) { return FormatPrintNumber(value); };
  const SettingsRecord& r = model.record;
  std::vector<std::string> lines = {
      packed.itemChecks,
      packed.itemOrder,
      packed.itemStartColors,
      packed.itemEndColors,
      packed.driveEndColors,
      flag(model.ipCopyMenuShown),
      flag(model.adapterAutoDetect),
      flag(model.proxyMenuShown),
      flag(model.toolbarShown),
      flag(model.toolbarCpu),
      flag(model.toolbarMemory),
      flag(model.toolbarReceive),
      flag(model.toolbarSend),
      r[SettingsRecord::kRateUnit],
      r[SettingsRecord::kAlwaysOnTop],
      r[SettingsRecord::kGraphSource],
      r[SettingsRecord::kMouseOverMode],
      num(model.adapterIndex),
      r[SettingsRecord::kHddUnit],
      r[SettingsRecord::kDrawMode],
      flag(model.versionCheckAuto),
      packed.driveChecks,
      packed.driveStartColors,
  };
  for (int i = 0; i < 8; ++i) lines.push_back(r[SettingsRecord::kBackColor + i]);
  for (int value :
       {model.receiveSpeed, model.updateInterval, model.sendSpeed, model.display.left,
        model.display.top, model.display.height, model.display.width, model.display.scaleHeight,
        model.dialogLeft, model.dialogTop, static_cast<int>(model.proxyList.size())}) {
    lines.push_back(num(value));
  }
  lines.insert(lines.end(), model.proxyList.begin(), model.proxyList.end());
  return lines;
}

std::string LineName(std::size_t index) {
  if (index < kLines.size()) {
    return "line " + std::to_string(index + 1) + " (" + kLines[index].field + ")";
  }
  return "line " + std::to_string(index + 1) + " (proxy entry " +
         std::to_string(index + 1 - kLines.size()) + ")";
}

std::optional<std::string> ReadWholeFile(const fs::path& file, std::string& error) {
  std::error_code ec;
  if (fs::is_directory(file, ec)) {
    error = "it is a folder, not a file";
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = std::error_code(errno, std::generic_category()).message();
    return std::nullopt;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "it cannot be read";
    return std::nullopt;
  }
  return bytes;
}

}  // namespace

std::string FormatPrintNumber(double value) {
  if (value == 0 || !std::isfinite(value)) return " 0 ";
  std::string out = value < 0 ? "-" : " ";
  double magnitude = std::fabs(value);
  char digits[64];
  std::to_chars_result r =
      std::to_chars(digits, digits + sizeof digits, magnitude, std::chars_format::fixed);
  out.append(digits, r.ptr);
  out += ' ';
  return out;
}

LoadResult LoadSettings(const fs::path& file, const TextCodec& codec, SettingsModel& model) {
  LoadResult result;
  const std::string label = PathText(file);
  std::string why;
  std::optional<std::string> bytes = ReadWholeFile(file, why);
  if (!bytes) {
    result.error = label + ": cannot open the settings file (" + why +
                   "); expected the settings file with 42 lines and the proxy entries";
    return result;
  }
  ParseOutcome parsed = Parse(*bytes, codec, label);
  if (!parsed.file) {
    result.error = parsed.error;
    return result;
  }
  // Applied to a copy, so a model is never left half loaded.
  SettingsModel loaded = model;
  Apply(*parsed.file, loaded, result);
  model = std::move(loaded);
  result.ok = true;
  return result;
}

SaveResult SaveSettings(const fs::path& file, const TextCodec& codec, SettingsModel& model) {
  SaveResult result;
  const PackedLists packed = PackRows(model);
  const std::vector<std::string> lines = ComposeLines(model, packed);
  std::string bytes;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find_first_of("\r\n") != std::string::npos) {
      result.error = kSaveFailed + LineName(i) + " would contain a line break";
      return result;
    }
    std::optional<std::string> ansi = codec.ToAnsi(lines[i]);
    if (!ansi) {
      result.error = kSaveFailed + LineName(i) +
                     " holds characters that code page 932 cannot store: " + Quoted(lines[i]);
      return result;
    }
    bytes += *ansi;
    bytes += "\r\n";
  }
  // Never leave a file behind that the next start could not read.
  ParseOutcome check = Parse(bytes, codec, PathText(file.filename()));
  if (!check.file) {
    result.error = kSaveFailed + check.error;
    return result;
  }
  std::string failure = WriteFileAtomically(file, bytes);
  if (!failure.empty()) {
    result.error = kSaveFailed + failure;
    return result;
  }
  result.ok = true;
  return result;
}

fs::path ResolveSettingsPath(const fs::path& executableDir, const fs::path& userConfigDir) {
  const fs::path name = PathFromUtf8(kSettingsFileName);
  const fs::path beside = executableDir / name;
  const fs::path shared =
      (executableDir / reinterpret_cast<const char8_t*>(kInstalledDataFolder) / name)
          .lexically_normal();
  std::error_code ec;
  const bool besideExists = fs::exists(beside, ec);
  // A file beside the program is the one to use where it can be saved. In an
  // installed tree (the default under share/, none beside the program) the
  // user's copy is used even when the program's folder is writable, as it
  // is for root.
  if (IsFolderWritable(executableDir) && (besideExists || !fs::exists(shared, ec))) {
    return beside;
  }

  const fs::path user = userConfigDir / name;
  if (fs::exists(user, ec)) return user;
  // First start: begin with the installed defaults. When that fails, loading
  // the missing user file reports the problem.
  fs::create_directories(userConfigDir, ec);
  std::string why;
  if (std::optional<std::string> bytes = ReadWholeFile(besideExists ? beside : shared, why)) {
    (void)WriteFileAtomically(user, *bytes);
  }
  return user;
}

}  // namespace mirel
