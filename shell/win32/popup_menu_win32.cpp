#include "shell/win32/popup_menu_win32.h"

#include <string>

#include "platform/windows/wide_text.h"

namespace mirel::win32 {

namespace {

// A "&" in a server text is shown, not taken as an access key.
std::wstring MenuCaption(const std::string& caption) {
  std::wstring text;
  for (wchar_t c : windows_source::Widen(caption)) {
    if (c == L'&') text += L'&';
    text += c;
  }
  return text;
}

void Append(HMENU menu, const std::vector<MenuEntry>& entries) {
  for (const MenuEntry& e : entries) {
    if (!e.visible) continue;
    switch (e.kind) {
      case MenuEntry::Kind::kSeparator:
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        break;
      case MenuEntry::Kind::kSubmenu: {
        HMENU sub = CreatePopupMenu();
        Append(sub, e.entries);
        AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub),
                    MenuCaption(e.caption).c_str());
        break;
      }
      case MenuEntry::Kind::kCommand:
        AppendMenuW(menu, MF_STRING | (e.checkable && e.checked ? MF_CHECKED : MF_UNCHECKED),
                    static_cast<UINT_PTR>(e.id), MenuCaption(e.caption).c_str());
        break;
    }
  }
}

}  // namespace

int TrackMenu(HWND owner, const MenuModel& menu, POINT at) {
  HMENU popup = CreatePopupMenu();
  Append(popup, menu.entries);
  // Without the foreground the menu would not close on a click elsewhere;
  // the null message afterwards lets it close properly.
  SetForegroundWindow(owner);
  const int id = static_cast<int>(TrackPopupMenu(
      popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
  PostMessageW(owner, WM_NULL, 0, 0);
  DestroyMenu(popup);  // and its submenus with it
  return id;
}

}  // namespace mirel::win32
