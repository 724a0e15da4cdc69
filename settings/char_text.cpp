#include "settings/char_text.h"

namespace mirel {

namespace {

// Byte offset of character `index`, or text.size() when there are fewer.
// Steps exactly as NextCodePoint does, so slices and counts always agree.
std::size_t ByteOffset(std::string_view text, std::size_t index) {
  std::size_t pos = 0;
  while (index > 0 && pos < text.size()) {
    NextCodePoint(text, pos);
    --index;
  }
  return pos;
}

}  // namespace

char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char b0 = byte(pos);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  // The well-formed sequences: no overlong forms (C0, C1, E0 80-9F, F0 80-8F),
  // no surrogates (ED A0-BF) and nothing above U+10FFFF (F4 90-BF, F5-FF).
  int extra = 0;
  char32_t cp = 0;
  unsigned char low = 0x80;  // allowed range of the second byte
  unsigned char high = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    extra = 1;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    extra = 2;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    extra = 3;
    cp = b0 & 0x07;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    ++pos;
    return 0xFFFD;
  }
  if (pos + static_cast<std::size_t>(extra) >= text.size()) {  // truncated sequence
    ++pos;
    return 0xFFFD;
  }
  for (int i = 1; i <= extra; ++i) {
    const unsigned char b = byte(pos + static_cast<std::size_t>(i));
    if (b < (i == 1 ? low : 0x80) || b > (i == 1 ? high : 0xBF)) {
      ++pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  pos += static_cast<std::size_t>(extra) + 1;
  return cp;
}

int CharacterCount(std::string_view text) {
  int count = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    NextCodePoint(text, pos);
    ++count;
  }
  return count;
}

std::optional<std::u32string> DecodeUtf8(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const std::size_t at = pos;
    const char32_t cp = NextCodePoint(utf8, pos);
    // U+FFFD from a single byte is a malformed sequence, not the character.
    if (cp == 0xFFFD && pos == at + 1 && static_cast<unsigned char>(utf8[at]) >= 0x80) {
      return std::nullopt;
    }
    out.push_back(cp);
  }
  return out;
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t cp : text) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string CharSlice(std::string_view utf8, std::size_t start, std::size_t count) {
  std::size_t from = ByteOffset(utf8, start);
  std::size_t to = from + ByteOffset(utf8.substr(from), count);
  return std::string(utf8.substr(from, to - from));
}

}  // namespace mirel
