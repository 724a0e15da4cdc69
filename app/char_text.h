// Character positions in UTF-8 text. The packed strings of the settings file
// count characters, not bytes (flags, three-character keys, 12-character
// colour slots), so a stray double-byte character shifts by one position
// only, as it would in the program that first wrote these files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mirel {

// Number of characters (code points) of a UTF-8 text.
std::size_t CharCount(std::string_view utf8);

// Up to `count` characters starting at character `start` (from 0); empty
// when `start` lies past the end.
std::string CharSlice(std::string_view utf8, std::size_t start, std::size_t count);

}  // namespace mirel
