// mirel9x-probe: what the end-to-end test under Wine asks of the running
// program's windows from a second Wine process, with the calls that work
// across processes (window rectangles, texts, list-view states, posted
// clicks). One command per run; results on standard output in UTF-8.
//
// Controls go by their names in the dialog's control table (Command3,
// ListView2, color_0 ...).
//   probe rect NAME           screen rectangle of the control ("dialog": of the
//                             dialog itself): "x y w h"
//   probe checked NAME ROW    1 when row ROW of the list view is ticked, else 0
//   probe state NAME          1 when the button is checked, else 0
//   probe text NAME           the control's text
//   probe status              the text of the dialog's status line
//   probe click NAME          clicks the button (posted, as a user's click)
//   probe colour R G B        answers the open colour chooser with R, G, B
//   probe menu                the open popup menus, innermost last: one line
//                             per entry, "x y w h checked caption"
//   probe reg KEY VALUE       a value under HKEY_CURRENT_USER: "dword N",
//                             "string TEXT" or "none"
//   probe hwnd CLASS          the window of that class: decimal handle, or 0
//   probe drives              the drive rows of this machine, one a line
// Exit status 0 when the command worked, 1 when what it looks for is absent.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/windows/wide_text.h"
#include "shell/win32/dialog_ids.h"

namespace {

using mirel::windows_source::Narrow;
using mirel::windows_source::Widen;

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

std::wstring TextOf(HWND hwnd) {
  // WM_GETTEXT is carried across processes.
  wchar_t text[1024] = {};
  SendMessageW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
  return text;
}

struct ControlId {
  const char* name;
  int id;
};
#define MIREL_ID(name) \
  { #name, IDC_##name }
constexpr ControlId kControls[] = {
    MIREL_ID(TabStrip1), MIREL_ID(ListView2), MIREL_ID(ListView1), MIREL_ID(Command2),
    MIREL_ID(Command3),  MIREL_ID(Command4),  MIREL_ID(Command5),  MIREL_ID(color_0),
    MIREL_ID(color_1),   MIREL_ID(color_6),   MIREL_ID(color_7),   MIREL_ID(Check1_0),
    MIREL_ID(Check2_0),  MIREL_ID(Check2_1),  MIREL_ID(Text1),     MIREL_ID(List1),
    MIREL_ID(Frame5),    MIREL_ID(Slider2),   MIREL_ID(Option7_0), MIREL_ID(Option7_1),
};
#undef MIREL_ID

int IdOf(const std::string& name) {
  for (const ControlId& c : kControls) {
    if (name == c.name) return c.id;
  }
  return 0;
}

// The settings dialog: the visible top-level dialog of the program that has
// the tab control.
HWND SettingsDialog() {
  struct Search {
    HWND found = nullptr;
  } search;
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        if (IsWindowVisible(hwnd) && ClassOf(hwnd) == L"#32770" &&
            FindWindowExW(hwnd, nullptr, L"SysTabControl32", nullptr) != nullptr) {
          reinterpret_cast<Search*>(data)->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Control ID of the dialog, on its frame or on any of its pages.
HWND Control(int id) {
  HWND dialog = SettingsDialog();
  if (dialog == nullptr || id == 0) return nullptr;
  if (HWND h = GetDlgItem(dialog, id)) return h;
  for (HWND page = FindWindowExW(dialog, nullptr, L"#32770", nullptr); page != nullptr;
       page = FindWindowExW(dialog, page, L"#32770", nullptr)) {
    if (HWND h = GetDlgItem(page, id)) return h;
  }
  return nullptr;
}

int Rect(const std::string& name) {
  // "dialog": the dialog itself.
  HWND h = name == "dialog" ? SettingsDialog() : Control(IdOf(name));
  RECT r{};
  if (h == nullptr || !GetWindowRect(h, &r)) return 1;
  Print(std::to_string(r.left) + " " + std::to_string(r.top) + " " +
        std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top));
  return 0;
}

int Checked(int id, int row) {
  HWND h = Control(id);
  if (h == nullptr) return 1;
  // LVM_GETITEMSTATE takes no pointer, so it works across processes.
  const LRESULT state =
      SendMessageW(h, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
  Print(((state & LVIS_STATEIMAGEMASK) >> 12) == 2 ? "1" : "0");
  return 0;
}

int State(int id) {
  HWND h = Control(id);
  if (h == nullptr) return 1;
  Print(SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0");
  return 0;
}

int Text(int id) {
  HWND h = Control(id);
  if (h == nullptr) return 1;
  Print(Narrow(TextOf(h)));
  return 0;
}

int Status() {
  HWND dialog = SettingsDialog();
  HWND bar =
      dialog != nullptr ? FindWindowExW(dialog, nullptr, STATUSCLASSNAMEW, nullptr) : nullptr;
  if (bar == nullptr) return 1;
  Print(Narrow(TextOf(bar)));
  return 0;
}

int Click(int id) {
  HWND h = Control(id);
  if (h == nullptr) return 1;
  PostMessageW(h, BM_CLICK, 0, 0);
  return 0;
}

// The colour chooser: a dialog with the red, green and blue boxes (706-708).
int Colour(int red, int green, int blue) {
  struct Search {
    HWND found = nullptr;
  } search;
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        if (IsWindowVisible(hwnd) && ClassOf(hwnd) == L"#32770" && GetDlgItem(hwnd, 706) &&
            GetDlgItem(hwnd, 707) && GetDlgItem(hwnd, 708)) {
          reinterpret_cast<Search*>(data)->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) return 1;
  const int values[] = {red, green, blue};
  for (int k = 0; k < 3; ++k) {
    const std::wstring text = std::to_wstring(values[k]);
    SendMessageW(GetDlgItem(search.found, 706 + k), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(text.c_str()));
    // The chooser takes a value when its box loses the focus or changes.
    SendMessageW(search.found, WM_COMMAND, MAKEWPARAM(706 + k, EN_CHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(search.found, 706 + k)));
  }
  PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(search.found, IDOK)));
  return 0;
}

int Menu() {
  std::vector<HWND> menus;
  for (HWND w = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); w != nullptr;
       w = FindWindowExW(nullptr, w, L"#32768", nullptr)) {
    if (IsWindowVisible(w)) menus.insert(menus.begin(), w);
  }
  if (menus.empty()) return 1;
  for (HWND w : menus) {
    constexpr UINT kGetMenu = 0x01E1;  // MN_GETHMENU
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(w, kGetMenu, 0, 0));
    const int count = GetMenuItemCount(menu);
    Print("menu " + std::to_string(count));
    for (int i = 0; i < count; ++i) {
      RECT r{};
      GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &r);
      wchar_t caption[256] = {};
      GetMenuStringW(menu, static_cast<UINT>(i), caption, 256, MF_BYPOSITION);
      const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
      Print(std::to_string(r.left) + " " + std::to_string(r.top) + " " +
            std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top) + " " +
            ((state & MF_CHECKED) ? "1 " : "0 ") + Narrow(caption));
    }
  }
  return 0;
}

int Reg(const std::string& key, const std::string& value) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) {
    Print("none");
    return 0;
  }
  DWORD type = 0, size = 0;
  const std::wstring name = Widen(value);
  if (RegQueryValueExW(h, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    RegCloseKey(h);
    Print("none");
    return 0;
  }
  std::vector<BYTE> data(size + sizeof(wchar_t), 0);
  RegQueryValueExW(h, name.c_str(), nullptr, &type, data.data(), &size);
  RegCloseKey(h);
  if (type == REG_DWORD) {
    DWORD v = 0;
    std::memcpy(&v, data.data(), sizeof v);
    Print("dword " + std::to_string(v));
  } else {
    Print("string " + Narrow(reinterpret_cast<const wchar_t*>(data.data())));
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> a;
  for (int i = 1; i < argc; ++i) a.push_back(Narrow(argv[i]));
  auto n = [&a](std::size_t i) { return i < a.size() ? std::atoi(a[i].c_str()) : 0; };
  auto id = [&a](std::size_t i) { return i < a.size() ? IdOf(a[i]) : 0; };
  if (a.empty()) return 2;
  if (a[0] == "rect" && a.size() == 2) return Rect(a[1]);
  if (a[0] == "checked" && a.size() == 3) return Checked(id(1), n(2));
  if (a[0] == "state" && a.size() == 2) return State(id(1));
  if (a[0] == "text" && a.size() == 2) return Text(id(1));
  if (a[0] == "status") return Status();
  if (a[0] == "click" && a.size() == 2) return Click(id(1));
  if (a[0] == "drives") {
    for (const std::string& drive : mirel::MakeSystemSource()->ListFixedDrives()) Print(drive);
    return 0;
  }
  if (a[0] == "colour" && a.size() == 4) return Colour(n(1), n(2), n(3));
  if (a[0] == "menu") return Menu();
  if (a[0] == "reg" && a.size() == 3) return Reg(a[1], a[2]);
  if (a[0] == "hwnd" && a.size() == 2) {
    HWND h = FindWindowW(Widen(a[1]).c_str(), nullptr);
    Print(std::to_string(reinterpret_cast<std::uintptr_t>(h)));
    return h != nullptr ? 0 : 1;
  }
  std::fputs("usage: see the head of probe.cpp\n", stderr);
  return 2;
}
