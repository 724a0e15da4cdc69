#include "platform/windows/wide_text.h"

#include <windows.h>

#include <limits>

namespace mirel::windows_source {

namespace {

// MultiByteToWideChar in two steps (size, then text); nullopt on failure.
std::optional<std::wstring> ToWide(std::string_view in, UINT codePage, DWORD flags) {
  if (in.empty()) return std::wstring();
  if (in.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return std::nullopt;
  const int inSize = static_cast<int>(in.size());
  int n = MultiByteToWideChar(codePage, flags, in.data(), inSize, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  if (MultiByteToWideChar(codePage, flags, in.data(), inSize, out.data(), n) != n) {
    return std::nullopt;
  }
  return out;
}

std::optional<std::string> ToUtf8(std::wstring_view in, DWORD flags) {
  if (in.empty()) return std::string();
  if (in.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return std::nullopt;
  const int inSize = static_cast<int>(in.size());
  int n = WideCharToMultiByte(CP_UTF8, flags, in.data(), inSize, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::nullopt;
  std::string out(static_cast<std::size_t>(n), '\0');
  if (WideCharToMultiByte(CP_UTF8, flags, in.data(), inSize, out.data(), n, nullptr, nullptr) !=
      n) {
    return std::nullopt;
  }
  return out;
}

}  // namespace

std::optional<std::wstring> Utf8ToWide(std::string_view utf8) {
  return ToWide(utf8, CP_UTF8, MB_ERR_INVALID_CHARS);
}

std::optional<std::string> WideToUtf8(std::wstring_view wide) {
  return ToUtf8(wide, WC_ERR_INVALID_CHARS);
}

std::wstring Widen(std::string_view utf8) {
  return ToWide(utf8, CP_UTF8, 0).value_or(std::wstring());
}

std::string Narrow(std::wstring_view wide) {
  return ToUtf8(wide, 0).value_or(std::string());
}

std::string CodePageToUtf8(std::string_view text, unsigned codePage) {
  text = text.substr(0, text.find('\0'));
  return Narrow(ToWide(text, codePage, 0).value_or(std::wstring()));
}

std::string SystemMessage(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide(text != nullptr ? text : L"", n);
  LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ')) {
    wide.pop_back();
  }
  return wide.empty() ? "error " + std::to_string(error) : Narrow(wide);
}

}  // namespace mirel::windows_source
