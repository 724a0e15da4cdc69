#include "settings/settings_file.h"

#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "settings/char_text.h"

namespace mirel {

namespace fs = std::filesystem;

namespace {

constexpr int kFixedLines = 42;
constexpr int kProxyRecord = 51;
constexpr int kSlotWidth = 12;
constexpr const char* kWhiteText = "16777215";
constexpr const char* kLoadFailed = "設定ファイルを読み込めません: ";
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

// What a line must hold, as a noun phrase for the messages.
std::string Expected(const LineSpec& layout) {
  switch (layout.kind) {
    case Kind::kCheck:
      return "数値 (1 でチェックあり)";
    case Kind::kOption:
      return std::to_string(layout.min) + " から " + std::to_string(layout.max) +
             " までの選択肢の番号";
    case Kind::kAdapter:
      return "整数 (アダプタ一覧の番号、なしは -1)";
    case Kind::kColour:
      return "色の数値 (10 進数の 0x00BBGGRR)";
    case Kind::kSlider:
      return std::to_string(layout.min) + " から " + std::to_string(layout.max) + " までの整数";
    case Kind::kNumber:
      return "整数";
    case Kind::kCount:
      return "後に続くプロキシ項目の数 (0 以上の整数)";
    case Kind::kPacked:
      break;
  }
  return "テキスト";
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

// Where and why a file cannot be read, kept apart so loading and saving can
// each say it in their own words.
struct ParseProblem {
  int line = 0;
  std::string field;
  std::string reason;
};

struct ParseOutcome {
  std::optional<ParsedFile> file;
  ParseProblem problem;
};

std::string ProxyField(int k, int count) {
  return "proxyEntries " + std::to_string(k) + "/" + std::to_string(count);
}

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

ParseOutcome Parse(std::string_view bytes, const TextCodec& codec) {
  ParseOutcome out;
  const std::vector<std::string_view> lines = SplitLines(bytes);
  auto fail = [&](int line, const std::string& field, const std::string& why) {
    out.problem = ParseProblem{line, field, why};
    out.file.reset();
    return out;
  };
  // A CR inside a line is no line end, and the writer could never store it:
  // refuse it here, so whatever loads can also be saved.
  constexpr const char* kLoneCr = "行の途中に CR (復帰コード) があります";
  constexpr const char* kNotCp932 =
      "コードページ 932 (シフト JIS) の文字として読めないバイトがあります";
  auto decode = [&](int line, std::string& text, const char*& why) {
    const std::string_view raw = lines[static_cast<std::size_t>(line - 1)];
    if (raw.find('\r') != std::string_view::npos) {
      why = kLoneCr;
      return false;
    }
    std::optional<std::string> utf8 = codec.FromAnsi(raw);
    if (!utf8) {
      why = kNotCp932;
      return false;
    }
    text = std::move(*utf8);
    return true;
  };

  ParsedFile parsed;
  for (int line = 1; line <= kFixedLines; ++line) {
    const LineSpec& layout = kLines[static_cast<std::size_t>(line - 1)];
    if (static_cast<std::size_t>(line) > lines.size()) {
      return fail(line, layout.field,
                  "ファイルが " + std::to_string(lines.size()) + " 行で終わっています。ここには" +
                      Expected(layout) + "が必要です (プロキシ項目の前に " +
                      std::to_string(kFixedLines) + " 行)");
    }
    std::string& text = parsed.text[static_cast<std::size_t>(line)];
    const char* why = nullptr;
    if (!decode(line, text, why)) return fail(line, layout.field, why);
    const std::string wrong =
        Expected(layout) + "が必要ですが、" +
        (text.empty() ? std::string("空です") : Quoted(text) + " と書かれています");
    switch (layout.kind) {
      case Kind::kPacked:
        break;
      case Kind::kCheck:
      case Kind::kColour: {
        // A colour that is no number would silently paint black: refuse it.
        double value = 0;
        if (!ParseLenientNumber(text, value)) {
          return fail(line, layout.field, wrong);
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
        if (!inRange) return fail(line, layout.field, wrong);
        parsed.number[static_cast<std::size_t>(line)] = *value;
        break;
      }
    }
  }

  const int count = parsed.number[kProxyCount];
  for (int k = 1; k <= count; ++k) {
    const int line = kFixedLines + k;
    const std::string field = ProxyField(k, count);
    if (static_cast<std::size_t>(line) > lines.size()) {
      return fail(line, field,
                  "ファイルが " + std::to_string(lines.size()) + " 行で終わっています。" +
                      std::to_string(kFixedLines) + " 行目 (proxyCount) によればプロキシ項目が " +
                      std::to_string(count) + " 個続くはずです");
    }
    std::string text;
    const char* why = nullptr;
    if (!decode(line, text, why)) return fail(line, field, why);
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

// "(FILE の 33 行目、updateInterval)": the technical detail behind a message.
std::string Where(const std::string& file, int line, const std::string& field) {
  return " (" + file + " の " + std::to_string(line) + " 行目、" + field + ")";
}

std::string FieldOfLine(std::size_t index, std::size_t lineCount) {
  if (index < kLines.size()) return kLines[index].field;
  return ProxyField(static_cast<int>(index + 1 - kLines.size()),
                    static_cast<int>(lineCount - kLines.size()));
}

// The file's bytes; `error` gets the whole message when it cannot be used.
// A FIFO or a device in the file's place is never opened, and nothing is
// read beyond the cap.
std::optional<std::string> ReadSettingsBytes(const fs::path& file, std::string& error) {
  FileRead read = ReadRegularFile(file, kMaxSettingsBytes);
  const std::string label = PathText(file);
  switch (read.status) {
    case FileReadStatus::kOk:
      return std::move(read.bytes);
    case FileReadStatus::kTooLarge:
      error = std::string(kLoadFailed) +
              "ファイルが大きすぎます。設定ファイルの上限は 1 MiB です (" + label + ")";
      return std::nullopt;
    case FileReadStatus::kMissing:
    case FileReadStatus::kNotRegular:
    case FileReadStatus::kUnreadable:
      break;
  }
  error = "設定ファイルを開けません。プログラムと同じフォルダに必要です (" + label + ": " +
          read.problem + ")";
  return std::nullopt;
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
  std::optional<std::string> bytes = ReadSettingsBytes(file, result.error);
  if (!bytes) return result;
  return LoadSettingsBytes(*bytes, PathText(file), codec, model);
}

LoadResult LoadSettingsBytes(std::string_view bytes, const std::string& label,
                             const TextCodec& codec, SettingsModel& model) {
  LoadResult result;
  ParseOutcome parsed = Parse(bytes, codec);
  if (!parsed.file) {
    const ParseProblem& p = parsed.problem;
    result.error = kLoadFailed + p.reason + Where(label, p.line, p.field);
    return result;
  }
  // Applied to a copy, so a model is never left half loaded.
  SettingsModel loaded = model;
  Apply(*parsed.file, loaded, result);
  model = std::move(loaded);
  result.ok = true;
  return result;
}

EncodeResult EncodeSettings(const std::string& label, const TextCodec& codec,
                            SettingsModel& model) {
  EncodeResult result;
  const PackedLists packed = PackRows(model);
  const std::vector<std::string> lines = ComposeLines(model, packed);
  std::string bytes;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string where = Where(label, static_cast<int>(i + 1), FieldOfLine(i, lines.size()));
    if (lines[i].find_first_of("\r\n") != std::string::npos) {
      result.error = std::string(kSaveFailed) + "値に改行が含まれています" + where;
      return result;
    }
    std::optional<std::string> ansi = codec.ToAnsi(lines[i]);
    if (!ansi) {
      result.error = kSaveFailed + Quoted(lines[i]) +
                     " にコードページ 932 (シフト JIS) で保存できない文字があります" + where;
      return result;
    }
    bytes += *ansi;
    bytes += "\r\n";
  }
  // Never leave a file behind that the next start could not read.
  ParseOutcome check = Parse(bytes, codec);
  if (!check.file) {
    const ParseProblem& p = check.problem;
    result.error = kSaveFailed + p.reason + Where(label, p.line, p.field);
    return result;
  }
  result.ok = true;
  result.bytes = std::move(bytes);
  return result;
}

SaveResult SaveSettings(const fs::path& file, const TextCodec& codec, SettingsModel& model) {
  SaveResult result;
  EncodeResult encoded = EncodeSettings(PathText(file), codec, model);
  if (!encoded.ok) {
    result.error = std::move(encoded.error);
    return result;
  }
  std::string failure = WriteFileAtomically(file, encoded.bytes);
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
  FileRead copy = ReadRegularFile(besideExists ? beside : shared, kMaxSettingsBytes);
  if (copy.status == FileReadStatus::kOk) (void)WriteFileAtomically(user, copy.bytes);
  return user;
}

}  // namespace mirel
