#include "app/char_text.h"

namespace mirel {

namespace {

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Byte offset of character `index`, or text.size() when there are fewer.
std::size_t ByteOffset(std::string_view text, std::size_t index) {
  std::size_t pos = 0;
  while (index > 0 && pos < text.size()) {
    ++pos;
    while (pos < text.size() && IsContinuation(text[pos])) ++pos;
    --index;
  }
  return pos;
}

}  // namespace

std::size_t CharCount(std::string_view utf8) {
  std::size_t n = 0;
  for (char c : utf8) n += IsContinuation(c) ? 0 : 1;
  return n;
}

std::string CharSlice(std::string_view utf8, std::size_t start, std::size_t count) {
  std::size_t from = ByteOffset(utf8, start);
  std::size_t to = from + ByteOffset(utf8.substr(from), count);
  return std::string(utf8.substr(from, to - from));
}

}  // namespace mirel
