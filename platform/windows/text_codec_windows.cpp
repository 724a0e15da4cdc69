// Code page 932 through the system's own tables, strictly: bytes that are
// not CP932 and characters that have no CP932 form are refused, never
// replaced by a look-alike or a question mark.
#include <shlobj.h>
#include <windows.h>

#include <limits>

#include "platform/platform.h"
#include "platform/windows/wide_text.h"

namespace mirel {

namespace {

constexpr UINT kCodePage932 = 932;

using windows_source::Utf8ToWide;
using windows_source::WideToUtf8;

class Cp932Codec final : public TextCodec {
 public:
  std::optional<std::string> ToAnsi(std::string_view utf8) const override {
    std::optional<std::wstring> wide = Utf8ToWide(utf8);
    if (!wide) return std::nullopt;
    if (wide->empty()) return std::string();
    if (wide->size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 2)) {
      return std::nullopt;
    }
    const int inSize = static_cast<int>(wide->size());
    // No best fit: "é" must not quietly become "e" in the settings file.
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(kCodePage932, WC_NO_BEST_FIT_CHARS, wide->data(), inSize, nullptr,
                                0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(kCodePage932, WC_NO_BEST_FIT_CHARS, wide->data(), inSize, out.data(), n,
                            nullptr, &usedDefault) != n ||
        usedDefault) {
      return std::nullopt;
    }
    return out;
  }

  std::optional<std::string> FromAnsi(std::string_view ansi) const override {
    if (ansi.empty()) return std::string();
    if (ansi.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
      return std::nullopt;
    }
    const int inSize = static_cast<int>(ansi.size());
    int n =
        MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, ansi.data(), inSize, nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, ansi.data(), inSize, wide.data(),
                            n) != n) {
      return std::nullopt;
    }
    return WideToUtf8(wide);
  }
};

}  // namespace

std::unique_ptr<TextCodec> MakeAnsiCodec() {
  return std::make_unique<Cp932Codec>();
}

// The settings live beside the program; this per-user folder is where they
// go when the program's folder is not writable (an installation under
// Program Files), and where nothing else of the program is kept.
std::filesystem::path UserConfigDir() {
  PWSTR roaming = nullptr;
  std::filesystem::path dir;
  if (SUCCEEDED(
          SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &roaming))) {
    dir = std::filesystem::path(roaming) / L"mirel9x";
  }
  CoTaskMemFree(roaming);
  if (dir.empty()) {
    // No profile folder (a service account): the temporary folder still works.
    std::error_code ec;
    dir = std::filesystem::temp_directory_path(ec) / L"mirel9x";
  }
  return dir;
}

std::filesystem::path UserCacheDir() {
  PWSTR local = nullptr;
  std::filesystem::path dir;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &local))) {
    dir = std::filesystem::path(local) / L"mirel9x";
  }
  CoTaskMemFree(local);
  return dir;
}

}  // namespace mirel
