// Character positions in UTF-8 text. The packed strings of the settings file
// count characters, not bytes (flags, three-character keys, 12-character
// colour slots), so a stray double-byte character shifts by one position
// only, as it would in the program that first wrote these files.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace mirel {

// Decodes one code point at text[pos] and advances pos; malformed bytes read
// as U+FFFD one byte at a time.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

// Number of characters (code points) of a UTF-8 text: also the unit of the
// strip layout, where a full-width character counts as one.
int CharacterCount(std::string_view utf8);

// Strict decoding: nullopt for malformed UTF-8.
std::optional<std::u32string> DecodeUtf8(std::string_view utf8);
std::string EncodeUtf8(std::u32string_view text);

// Up to `count` characters starting at character `start` (from 0); empty
// when `start` lies past the end.
std::string CharSlice(std::string_view utf8, std::size_t start, std::size_t count);

}  // namespace mirel
