#include "drawing/strips.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>

#include "drawing/gradient.h"

namespace mirel {

namespace {

constexpr int kTextTop = 1;
constexpr int kDateX = 3;

// The two characters of the switch buttons, 11 rows each so that they fit
// rows 1-11 of the 14-row image.
constexpr std::array<const char*, 11> kHenGlyph = {
    ".....#.....", "###########", "....#..#...", "..#.#..##..", ".#.#..##..#", "#...#.....#",
    "...######..", ".##.#..#...", ".....##....", "...##..##..", "###......##",
};
constexpr std::array<const char*, 11> kKouGlyph = {
    "###########", ".....#.....", "..#######..", "..#..#..#..", "..#######..", "..#..#..#..",
    "..#######..", "...#.#.....", "....##.....", "..##..##...", "##......###",
};

void PaintGlyph(Canvas& image, int left, int top, const std::array<const char*, 11>& rows,
                std::uint32_t colour) {
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (int c = 0; rows[r][c] != '\0'; ++c)
      if (rows[r][c] == '#') image.SetPixel(left + c, top + static_cast<int>(r), colour);
}

// The value of the leading number of a text, as a lenient reader of a
// version page would take it: blanks, an optional sign, digits and one point;
// anything after that is ignored, no number at all reads as 0.
double LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::size_t start = i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  }
  const std::string number(text.substr(start, i - start));
  return std::strtod(number.c_str(), nullptr);
}

void DrawBar(Canvas& strip, const Canvas* gradient, int barWidth) {
  // A negative width can only come from a negative rate after a counter
  // restart; it draws no bar.
  if (gradient == nullptr || barWidth <= 0) return;
  strip.BitBlt(0, 0, barWidth, kStripHeight, *gradient, 0, 0);
}

// A value text whose right end would pass the strip's edge moves left just
// enough to end there: the layout's constants assume one full-width
// character at most, so addresses at 160 - 6 × length and texts such as
// "Now　Loading・・・" would otherwise lose their last characters. Texts that
// fit are where the layout puts them; one wider than the strip starts at 0.
int KeepEndInside(int x, int width) {
  if (x + width <= kStripWidth) return x;
  return std::max(kStripWidth - width, std::min(x, 0));
}

// The date line of a Japanese locale ("2026/12/07 月曜日  12:34:56") is 162
// pixels wide and would lose its seconds at x = 3. Only when a line does not
// fit, the double blank before the time becomes one, and the line moves left
// as far as needed. Longer weekday names (an English "Wednesday") need more:
// then the abbreviated weekday, and at last none. The time is never cut: a
// line that fits in no form keeps its end inside and loses its start.
void DrawDateLine(Canvas& strip, const StripFont& font, const DateLineForms& forms,
                  std::uint32_t colour) {
  std::string line;
  int width = 0;
  for (const std::string* form : {&forms.full, &forms.abbreviated, &forms.bare}) {
    if (form != &forms.full && form->empty()) continue;
    line = *form;
    width = font.TextWidth(line);
    if (kDateX + width <= kStripWidth) {
      font.Draw(strip, kDateX, kTextTop, line, colour);
      return;
    }
    if (auto pos = line.find("  "); pos != std::string::npos) {
      line.erase(pos, 1);
      width = font.TextWidth(line);
    }
    if (width <= kStripWidth) break;
  }
  font.Draw(strip, kStripWidth - width, kTextTop, line, colour);
}

// The label at (0, 1). Where the value text begins inside it, the value wins:
// the label stops one pixel before the value, so the value is always whole.
void DrawLabel(Canvas& strip, const StripFont& font, const char* label, int valueX,
               std::uint32_t colour) {
  // No ASCII character is wider than a half-width cell and no other one
  // wider than a full-width cell: only a value that starts inside that bound
  // needs the label measured.
  int bound = 0;
  for (const char* c = label; *c != '\0'; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    if (byte < 0x80) bound += kHalfWidthAdvance;
    if (byte >= 0xC0) bound += kFullWidthAdvance;  // the first byte of a character
  }
  int clip = std::numeric_limits<int>::max();
  if (valueX < bound && font.TextWidth(label) > valueX) clip = valueX - 1;
  font.Draw(strip, 0, kTextTop, label, colour, clip);
}

// The memory text carries its own label ("メモリ使用率200MB/511MB"). With 10 GB
// and more the whole text is wider than the strip: the label then gives up
// its last characters, whole ones, so that the figures stay whole.
void DrawMemoryText(Canvas& strip, const StripFont& font, std::string_view text,
                    std::uint32_t colour) {
  const int width = font.TextWidth(text);
  const std::string_view label(kMemoryLabel);
  if (width <= kStripWidth || text.substr(0, label.size()) != label) {
    font.Draw(strip, KeepEndInside(0, width), kTextTop, text, colour);
    return;
  }
  const std::string_view figures = text.substr(label.size());
  const int room = kStripWidth - font.TextWidth(figures);
  std::size_t kept = 0;
  int keptWidth = 0;
  for (std::size_t pos = 0; pos < label.size();) {
    std::size_t next = pos;
    NextCodePoint(label, next);
    const int w = font.TextWidth(label.substr(pos, next - pos));
    if (keptWidth + w > room) break;
    keptWidth += w;
    kept = pos = next;
  }
  font.Draw(strip, 0, kTextTop, label.substr(0, kept), colour);
  font.Draw(strip, KeepEndInside(keptWidth, kStripWidth - room), kTextTop, figures, colour);
}

}  // namespace

std::string FitDiskName(const StripFont& font, std::string_view name, int room) {
  if (font.TextWidth(name) <= room) return std::string(name);
  // "/home/user" becomes "user"; the blank the GB layout puts in front is
  // the first thing to go.
  std::string_view path = name;
  while (!path.empty() && path.front() == ' ') path.remove_prefix(1);
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  if (std::size_t slash = path.rfind('/'); slash != std::string_view::npos && path.size() > 1)
    path.remove_prefix(slash + 1);
  std::string out;
  int width = 0;
  for (std::size_t pos = 0; pos < path.size();) {
    std::size_t next = pos;
    NextCodePoint(path, next);
    const std::string_view character = path.substr(pos, next - pos);
    width += font.TextWidth(character);
    if (width > room) break;
    out.append(character);
    pos = next;
  }
  return out;
}

const char* StripLabel(int key) {
  switch (key) {
    case 100:
      return "ＣＰＵ使用率";
    case 102:
      return "受信量";
    case 103:
      return "送信量";
    case 104:
      return "IPアドレス";
    case 105:
      return "LAN側IP ";
    case 106:
      return "ＰＲＯＸＹ";
    case 107:
      return "ＰＲＯＸＹ使用状況";
    case 108:
      return "ＡＳ状態";
    case 109:
      return "Javaアプレット状態";
    case 110:
      return "総受信量";
    case 111:
      return "総送信量";
    default:
      return nullptr;
  }
}

int ValueTextX(int key, std::string_view valueText) {
  const int length = CharacterCount(valueText);
  switch (key) {
    case 100:
    case 106:
      return 155 - 6 * length;
    case 101:
      return 0;
    case 104:
      if (valueText == kUnreachableText) return 120 - 6 * length;
      if (valueText == kRestartToShowText) return 110 - 6 * length;
      return 160 - 6 * length;
    case 105:
      return 160 - 6 * length;
    case 114:
      return kDateX;
    default:
      return 150 - 6 * length;
  }
}

bool StripDrawn(int key, const std::array<bool, kShownSlots>& shownFlags, int graphSource) {
  const int slot = key - 100;
  if (slot < 0 || slot >= kShownSlots) return false;
  if (shownFlags[static_cast<std::size_t>(slot)]) return true;
  return slot <= 3 && graphSource == slot + 1;
}

void DrawItemStrip(Canvas& strip, const StripFont& font, int key, std::string_view valueText,
                   StripColours colours, const Canvas* gradient, int barWidth,
                   const Canvas* switchImage) {
  if (key == 114) {
    DrawDateStrip(strip, font, {std::string(valueText), {}, {}}, colours);
    return;
  }
  if (strip.width() != kStripWidth || strip.height() != kStripHeight)
    strip.Resize(kStripWidth, kStripHeight);
  strip.Clear(colours.back);
  if (key >= 100 && key <= 103) DrawBar(strip, gradient, barWidth);
  if (key == 101) {
    DrawMemoryText(strip, font, valueText, colours.text);
  } else {
    const int x = KeepEndInside(ValueTextX(key, valueText), font.TextWidth(valueText));
    if (const char* label = StripLabel(key)) DrawLabel(strip, font, label, x, colours.text);
    font.Draw(strip, x, kTextTop, valueText, colours.text);
  }
  if (switchImage != nullptr)
    strip.BitBlt(kSwitchX, 0, switchImage->width(), switchImage->height(), *switchImage, 0, 0);
}

void DrawLimitMark(Canvas& strip) {
  for (int row = 0; row < kLimitMarkSize; ++row) {
    const int width = kLimitMarkSize - row;
    strip.FillRect(strip.width() - width, row, width, 1, kLimitMarkColour);
  }
}

void DrawDateStrip(Canvas& strip, const StripFont& font, const DateLineForms& forms,
                   StripColours colours) {
  if (strip.width() != kStripWidth || strip.height() != kStripHeight)
    strip.Resize(kStripWidth, kStripHeight);
  strip.Clear(colours.back);
  DrawDateLine(strip, font, forms, colours.text);
}

void DrawDiskStrip(Canvas& strip, const StripFont& font, const DiskTexts& texts, int hddUnit,
                   StripColours colours, const Canvas* gradient, int barWidth) {
  if (strip.width() != kStripWidth || strip.height() != kStripHeight)
    strip.Resize(kStripWidth, kStripHeight);
  strip.Clear(colours.back);
  DrawBar(strip, gradient, barWidth);
  const int nameX = hddUnit == 1 ? 1 : 0;
  if (!texts.hasFigures) {
    font.Draw(strip, nameX, kTextTop, FitDiskName(font, texts.name, kStripWidth - nameX),
              colours.text);
    return;
  }
  const int totalLength = CharacterCount(texts.total);
  const int totalX = (hddUnit == 1 ? 107 : 100) - 6 * totalLength;
  const int freeLength = CharacterCount(texts.free);
  // The layout leaves room for figures below 1000 GB; a larger free figure
  // moves left just enough to end where the total begins, so the two stay
  // apart ("1149.7GB/8726.0GB").
  const int freeX =
      std::min((hddUnit == 1 ? 47 : 50) - 6 * freeLength, totalX - 6 * (freeLength + 3));
  // The layout was made for a two-character name ("C:"); a longer one ends
  // half a character before the figures, so the two do not read as one word.
  font.Draw(strip, nameX, kTextTop,
            FitDiskName(font, texts.name, freeX - nameX - kHalfWidthAdvance / 2), colours.text);
  if (hddUnit == 1) {
    font.Draw(strip, totalX, kTextTop, texts.total + "MB", colours.text);
    font.Draw(strip, freeX, kTextTop, texts.free + "MB/", colours.text);
  } else {
    font.Draw(strip, totalX, kTextTop, texts.total + "GB", colours.text);
    font.Draw(strip, freeX, kTextTop, texts.free + "GB/", colours.text);
  }
  font.Draw(strip, 150 - 6 * CharacterCount(texts.percent), kTextTop, texts.percent, colours.text);
}

Canvas MakeSwitchImage(int index) {
  const SwitchColours& c = kSwitchColours.at(static_cast<std::size_t>(index));
  Canvas image(kSwitchWidth, kSwitchHeight, c.face);
  image.FillRect(0, 0, 1, kSwitchHeight, kSwitchHighlight);
  if (c.shadowColumn) image.FillRect(27, 0, 1, kSwitchHeight, kSwitchShadow);
  image.FillRect(28, 0, 1, kSwitchHeight, kSwitchDarkShadow);
  PaintGlyph(image, 3, 1, kHenGlyph, c.text);
  PaintGlyph(image, 15, 1, kKouGlyph, c.text);
  return image;
}

bool NoticeActive(const WebCheckResults& web, bool versionCheckAuto) {
  return versionCheckAuto && web.pageState == "ok" &&
         LeadingNumber(web.latestVersion) > kVersionNumber;
}

void DrawNoticeStrip(Canvas& strip, const StripFont& font, std::string_view notice,
                     std::int16_t& noticeScroll) {
  if (strip.width() != kStripWidth || strip.height() != kStripHeight)
    strip.Resize(kStripWidth, kStripHeight);
  // Filled, so the text reads on the notice colour whatever the strip held.
  strip.FillRect(0, 0, kStripWidth, kStripHeight, kNoticeRectColour);
  font.Draw(strip, 150 - 20 * noticeScroll, kTextTop, notice, kNoticeTextColour);
  // ">=" rather than "==": an empty notice must not count up for ever.
  if (++noticeScroll >= CharacterCount(notice)) noticeScroll = 0;
}

}  // namespace mirel
