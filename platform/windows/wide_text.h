// Text conversions at the Win32 boundary: the core speaks UTF-8, the wide
// calls UTF-16, and a few old structures the system's ANSI code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mirel::windows_source {

// UTF-8 -> UTF-16; nullopt when the input is not valid UTF-8.
std::optional<std::wstring> Utf8ToWide(std::string_view utf8);
// UTF-16 -> UTF-8; nullopt when the input holds an unpaired surrogate.
std::optional<std::string> WideToUtf8(std::wstring_view wide);

// The same for texts the system hands over (names, descriptions): never
// empty-handed, a character that cannot be converted becomes U+FFFD.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// A text in code page `codePage` (CP_ACP for the system's ANSI code page)
// up to its first zero byte, as UTF-8.
std::string CodePageToUtf8(std::string_view text, unsigned codePage);

// The system's text for a Win32 error code (GetLastError), in UTF-8 without
// its line end; "error N" where the system has none.
std::string SystemMessage(unsigned long error);

}  // namespace mirel::windows_source
