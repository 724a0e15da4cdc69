// REGEDIT4 text: the form in which the browser settings that the desktop does
// not hold are kept on disk. Only keys under HKEY_CURRENT_USER are read.
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\...\Zones\3]
//   "1400"=dword:00000003
//   "ProxyServer"="host:8080"
//   "Binary"=hex:01,02,\    (a backslash at the end: the data goes on)
//     03
//   @="the key's default value"
//
// Lines starting with ';' are comments; long hex data goes on over lines that
// end in a backslash. The text is UTF-8; a leading byte-order mark is skipped.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace mirel::reg {

struct NamedValue {
  std::string name;  // "" is the key's default value ("@")
  RegValue value;
};

struct Key {
  std::string path;  // normal form (see NormalKey), spelled as first seen
  std::vector<NamedValue> values;
};

struct Data {
  std::vector<Key> keys;

  Key* FindKey(std::string_view path);
  const Key* FindKey(std::string_view path) const;
  // true when `path` or a key below it exists.
  bool KeyExists(std::string_view path) const;
  Key& KeyForWrite(std::string_view path);
  const RegValue* Find(std::string_view path, std::string_view name) const;
};

// Letter case aside, as the registry compares names.
bool SameName(std::string_view a, std::string_view b);

// ASCII letters in lower case, the form in which names are compared.
char AsciiLower(char c);
// Without blanks, tabs and line ends at either end.
std::string_view Trim(std::string_view s);

// A key path with empty components dropped: "Software\\X\\" -> "Software\\X".
std::string NormalKey(std::string_view path);

// Sets or replaces a value (names compare without regard to case).
void PutValue(Key& key, std::string_view name, RegValue value);

// nullopt when the text is not REGEDIT4 that can be read back faithfully.
std::optional<Data> Parse(std::string_view text);

// CR LF lines. Whatever Parse accepted formats to a text that parses to the
// same data.
std::string Format(const Data& data);

// Whether a name or a text can be written at all: REGEDIT4 has no way to
// write a line break inside one.
bool Writable(std::string_view s);

}  // namespace mirel::reg
