#include "platform/windows/browser_store_windows.h"

#include <windows.h>
#include <wininet.h>

#include <cwctype>
#include <vector>

#include "platform/windows/system_library.h"
#include "platform/windows/wide_text.h"

namespace mirel {

namespace windows_source {

namespace {

constexpr std::wstring_view kInternetSettings =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

bool UnderInternetSettings(std::wstring_view keyPath) {
  if (keyPath.size() < kInternetSettings.size()) return false;
  for (std::size_t i = 0; i < kInternetSettings.size(); ++i) {
    if (std::towlower(keyPath[i]) != std::towlower(kInternetSettings[i])) return false;
  }
  return keyPath.size() == kInternetSettings.size() || keyPath[kInternetSettings.size()] == L'\\';
}

// An open registry key, closed when it goes out of scope.
class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class RegistryStore final : public BrowserSettingsStore {
 public:
  explicit RegistryStore(std::function<void()> announce) : announce_(std::move(announce)) {}

  std::optional<RegValue> Query(std::string_view keyPath, std::string_view valueName) override {
    std::optional<std::wstring> path = Utf8ToWide(keyPath);
    std::optional<std::wstring> name = Utf8ToWide(valueName);
    if (!path || !name) return std::nullopt;
    Key key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path->c_str(), 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    LSTATUS result = ERROR_MORE_DATA;
    // The value may grow between asking its size and reading it.
    for (int attempt = 0; attempt < 3 && result == ERROR_MORE_DATA; ++attempt) {
      DWORD size = 0;
      result = RegQueryValueExW(key.get(), name->c_str(), nullptr, &type, nullptr, &size);
      if (result != ERROR_SUCCESS) return std::nullopt;
      data.assign(size, 0);
      result = RegQueryValueExW(key.get(), name->c_str(), nullptr, &type, data.data(), &size);
      if (result == ERROR_SUCCESS) data.resize(size);
    }
    if (result != ERROR_SUCCESS) return std::nullopt;

    RegValue value;
    switch (type) {
      case REG_SZ:
      case REG_EXPAND_SZ:
      case REG_MULTI_SZ: {
        // Kept whole: the reader stops at the first zero character.
        std::wstring text(data.size() / sizeof(wchar_t), L'\0');
        std::copy_n(data.data(), text.size() * sizeof(wchar_t),
                    reinterpret_cast<BYTE*>(text.data()));
        value.kind = RegValue::Kind::kString;
        value.text = Narrow(text);
        return value;
      }
      case REG_DWORD:
        if (data.size() == sizeof(DWORD)) {
          value.kind = RegValue::Kind::kDword;
          std::copy_n(data.data(), sizeof(DWORD), reinterpret_cast<BYTE*>(&value.dword));
          return value;
        }
        break;
      default:
        break;
    }
    value.kind = RegValue::Kind::kBinary;
    value.text.assign(data.begin(), data.end());
    return value;
  }

  KeyDisposition CreateKey(std::string_view keyPath) override {
    std::optional<std::wstring> path = Utf8ToWide(keyPath);
    if (!path) return KeyDisposition::kFailed;
    Key key;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.out(),
                        &disposition) != ERROR_SUCCESS) {
      return KeyDisposition::kFailed;
    }
    return disposition == REG_CREATED_NEW_KEY ? KeyDisposition::kCreatedNew
                                              : KeyDisposition::kOpenedExisting;
  }

  bool SetString(std::string_view keyPath, std::string_view valueName,
                 std::string_view text) override {
    std::optional<std::wstring> wide = Utf8ToWide(text);
    if (!wide) return false;
    // With its terminating zero, as every reader of REG_SZ expects.
    return Set(keyPath, valueName, REG_SZ, reinterpret_cast<const BYTE*>(wide->c_str()),
               (wide->size() + 1) * sizeof(wchar_t));
  }

  bool SetDword(std::string_view keyPath, std::string_view valueName,
                std::uint32_t value) override {
    const DWORD data = value;
    return Set(keyPath, valueName, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
  }

 private:
  bool Set(std::string_view keyPath, std::string_view valueName, DWORD type, const BYTE* data,
           std::size_t size) {
    std::optional<std::wstring> path = Utf8ToWide(keyPath);
    std::optional<std::wstring> name = Utf8ToWide(valueName);
    if (!path || !name || size > MAXDWORD) return false;
    {
      Key key;
      if (RegCreateKeyExW(HKEY_CURRENT_USER, path->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, key.out(), nullptr) != ERROR_SUCCESS) {
        return false;
      }
      if (RegSetValueExW(key.get(), name->c_str(), 0, type, data, static_cast<DWORD>(size)) !=
          ERROR_SUCCESS) {
        return false;
      }
    }
    if (announce_ && UnderInternetSettings(*path)) announce_();
    return true;
  }

  std::function<void()> announce_;
};

}  // namespace

InternetSettingsNotice AnnounceInternetSettingsChange() {
  using SetOption = decltype(&::InternetSetOptionW);
  // Loaded once and kept: the monitor itself never needs WinINet otherwise.
  static const SetOption setOption = [] {
    HMODULE module = LoadSystemLibrary(L"wininet.dll");
    return module == nullptr ? nullptr
                             : reinterpret_cast<SetOption>(reinterpret_cast<void (*)()>(
                                   GetProcAddress(module, "InternetSetOptionW")));
  }();
  InternetSettingsNotice notice;
  if (setOption == nullptr) return notice;
  notice.settingsChanged = setOption(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
  notice.refreshed = setOption(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);
  return notice;
}

std::unique_ptr<BrowserSettingsStore> MakeRegistryStore(std::function<void()> announce) {
  return std::make_unique<RegistryStore>(std::move(announce));
}

}  // namespace windows_source

// On Windows the browser's settings are the registry's own; nothing is kept
// in the configuration folder.
std::unique_ptr<BrowserSettingsStore> MakeBrowserSettingsStore(const std::filesystem::path&) {
  return windows_source::MakeRegistryStore(
      [] { (void)windows_source::AnnounceInternetSettingsChange(); });
}

}  // namespace mirel
