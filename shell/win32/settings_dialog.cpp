#include "shell/win32/settings_dialog.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <string>

#include "platform/windows/system_library.h"
#include "platform/windows/wide_text.h"
#include "shell/win32/canvas_paint.h"
#include "shell/win32/dialog_ids.h"

namespace mirel::win32 {

namespace {

using windows_source::Narrow;
using windows_source::Widen;

// The resource id of every control that carries a name of the control table.
struct ControlId {
  const char* name;
  int id;
};
#define MIREL_ID(name) \
  { #name, IDC_##name }
constexpr ControlId kControlIds[] = {
    MIREL_ID(Command4),    MIREL_ID(Command5),    MIREL_ID(Command3),   MIREL_ID(Command2),
    MIREL_ID(TabStrip1),   MIREL_ID(StatusBar1),  MIREL_ID(ListView2),  MIREL_ID(Command1_0),
    MIREL_ID(Command1_1),  MIREL_ID(Option3_0),   MIREL_ID(Option3_1),  MIREL_ID(Option3_2),
    MIREL_ID(Option3_3),   MIREL_ID(Option3_4),   MIREL_ID(Picture2),   MIREL_ID(Command9_0),
    MIREL_ID(Command9_1),  MIREL_ID(Command9_2),  MIREL_ID(Command6_0), MIREL_ID(Command6_1),
    MIREL_ID(Command6_2),  MIREL_ID(Command6_3),  MIREL_ID(Option6_0),  MIREL_ID(Option6_1),
    MIREL_ID(Frame8),      MIREL_ID(Slider3),     MIREL_ID(Frame2),     MIREL_ID(Slider1),
    MIREL_ID(Option1_0),   MIREL_ID(Option1_1),   MIREL_ID(Option5_0),  MIREL_ID(Option5_1),
    MIREL_ID(Option5_2),   MIREL_ID(Option5_3),   MIREL_ID(Combo2),     MIREL_ID(Check1_1),
    MIREL_ID(Text1),       MIREL_ID(Command7),    MIREL_ID(List1),      MIREL_ID(Check2_0),
    MIREL_ID(Command8),    MIREL_ID(ListView1),   MIREL_ID(Picture4),   MIREL_ID(Command10_0),
    MIREL_ID(Command10_1), MIREL_ID(Command10_2), MIREL_ID(Frame5),     MIREL_ID(Slider2),
    MIREL_ID(Option2_0),   MIREL_ID(Option2_1),   MIREL_ID(Option4_0),  MIREL_ID(Option4_1),
    MIREL_ID(Option7_0),   MIREL_ID(Option7_1),   MIREL_ID(Check1_20),  MIREL_ID(Check2_1),
    MIREL_ID(Check3_0),    MIREL_ID(Check3_1),    MIREL_ID(Check3_2),   MIREL_ID(Check3_3),
    MIREL_ID(color_0),     MIREL_ID(color_1),     MIREL_ID(color_6),    MIREL_ID(color_7),
    MIREL_ID(Check1_0),    MIREL_ID(Label3),      MIREL_ID(Text2),
};
#undef MIREL_ID

int IdOf(const std::string& name) {
  for (const ControlId& c : kControlIds) {
    if (name == c.name) return c.id;
  }
  return 0;
}

constexpr int kPageIds[] = {IDD_PAGE_DISPLAY, IDD_PAGE_LINE,  IDD_PAGE_PROXY,
                            IDD_PAGE_DRIVES,  IDD_PAGE_OTHER, IDD_PAGE_VERSION};

std::wstring LoadText(HINSTANCE instance, UINT id) {
  const wchar_t* text = nullptr;
  // With a zero length LoadStringW hands out the resource's own read-only copy.
  const int n = LoadStringW(instance, id, reinterpret_cast<wchar_t*>(&text), 0);
  return n > 0 ? std::wstring(text, static_cast<std::size_t>(n)) : std::wstring();
}

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

void SetText(HWND hwnd, const std::wstring& text) {
  if (WindowText(hwnd) != text) SetWindowTextW(hwnd, text.c_str());
}

COLORREF ToColorRef(std::uint32_t colour) {
  return static_cast<COLORREF>(colour & 0xFFFFFFu);  // both are 0x00BBGGRR
}


// The colour buttons: their face is the colour, the caption "彩" in black or
// white, whichever reads better on it.
void DrawSwatch(const DRAWITEMSTRUCT& item, std::uint32_t colour) {
  RECT r = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  DrawEdge(item.hDC, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
  HBRUSH face = CreateSolidBrush(ToColorRef(colour));
  FillRect(item.hDC, &r, face);
  DeleteObject(face);
  const int red = static_cast<int>(colour & 0xFF), green = static_cast<int>((colour >> 8) & 0xFF),
            blue = static_cast<int>((colour >> 16) & 0xFF);
  const bool dark = (red * 299 + green * 587 + blue * 114) / 1000 < 128;
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, dark ? RGB(255, 255, 255) : RGB(0, 0, 0));
  wchar_t caption[8] = {};
  GetWindowTextW(item.hwndItem, caption, 8);
  DrawTextW(item.hDC, caption, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if ((item.itemState & ODS_FOCUS) != 0) {
    InflateRect(&r, -1, -1);
    DrawFocusRect(item.hDC, &r);
  }
}

// The banner of the version page: the program's name over a graph line.
void DrawBanner(const DRAWITEMSTRUCT& item, HFONT font) {
  const RECT r = item.rcItem;
  const int h = std::max<LONG>(1, r.bottom - r.top);
  for (int y = 0; y < h; ++y) {
    const int red = 16 - 16 * y / h, green = 40 + 56 * y / h, blue = 72 + 40 * y / h;
    HBRUSH line = CreateSolidBrush(RGB(red, green, blue));
    RECT row{r.left, r.top + y, r.right, r.top + y + 1};
    FillRect(item.hDC, &row, line);
    DeleteObject(line);
  }
  static constexpr int kHeights[] = {30, 26, 31, 20, 24, 12, 18, 9,  22,
                                     15, 27, 11, 19, 25, 14, 30, 21, 17};
  POINT points[std::size(kHeights) + 2];
  const int w = r.right - r.left;
  points[0] = {r.left, r.top + h * 36 / 40};
  for (std::size_t i = 0; i < std::size(kHeights); ++i) {
    points[i + 1] = {r.left + static_cast<LONG>(w * (static_cast<int>(i) * 18 + 9) / 305),
                     r.top + h * kHeights[i] / 40};
  }
  points[std::size(kHeights) + 1] = {r.right, r.top + h * 28 / 40};
  HPEN pen = CreatePen(PS_SOLID, std::max(1, h / 26), RGB(0, 200, 130));
  HGDIOBJ oldPen = SelectObject(item.hDC, pen);
  Polyline(item.hDC, points, static_cast<int>(std::size(points)));
  SelectObject(item.hDC, oldPen);
  DeleteObject(pen);
  HGDIOBJ oldFont = SelectObject(item.hDC, font);
  SetBkMode(item.hDC, TRANSPARENT);
  const std::wstring title = Widen(kProgramTitle);
  RECT text{r.left + h / 4 + 2, r.top + 2, r.right, r.bottom};
  SetTextColor(item.hDC, RGB(0, 40, 48));
  DrawTextW(item.hDC, title.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  OffsetRect(&text, -2, -2);
  SetTextColor(item.hDC, RGB(255, 255, 255));
  DrawTextW(item.hDC, title.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  SelectObject(item.hDC, oldFont);
}

void EnableTabTexture(HWND page) {
  // The page's background follows the tab control's under visual styles.
  using EnableFn = HRESULT(WINAPI*)(HWND, DWORD);
  static const auto enable = reinterpret_cast<EnableFn>(reinterpret_cast<void*>(GetProcAddress(
      windows_source::LoadSystemLibrary(L"uxtheme.dll"), "EnableThemeDialogTexture")));
  constexpr DWORD kEnableTab = 0x00000006;  // ETDT_ENABLETAB
  if (enable != nullptr) enable(page, kEnableTab);
}

}  // namespace

SettingsDialog::SettingsDialog(HINSTANCE instance, HWND owner, HICON icon, DialogEvents& events,
                               const SettingsModel& model, const GradientImages& gradients)
    : instance_(instance),
      owner_(owner),
      icon_(icon),
      events_(events),
      model_(model),
      gradients_(gradients) {}

SettingsDialog::~SettingsDialog() {
  if (frame_ != nullptr) DestroyWindow(frame_);
  if (versionFont_ != nullptr) DeleteObject(versionFont_);
}

bool SettingsDialog::Create() {
  frame_ = CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_SETTINGS), owner_,
                              &SettingsDialog::FrameProc, reinterpret_cast<LPARAM>(this));
  if (frame_ == nullptr) return false;
  tabs_ = GetDlgItem(frame_, IDC_TabStrip1);
  status_ = GetDlgItem(frame_, IDC_StatusBar1);
  // One part as wide as the bar: its text is also the bar's window text.
  int whole = -1;
  SendMessageW(status_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole));
  BuildPages();
  Bind();
  SetUpControls();
  AddTips();
  ShowPage(0);
  return true;
}

void SettingsDialog::BuildPages() {
  for (int k = 0; k < 6; ++k) {
    std::wstring caption = LoadText(instance_, IDS_TAB_0 + k);
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = caption.data();
    TabCtrl_InsertItem(tabs_, k, &tab);
  }
  // Every page at the tab control's display area, one over the other, above
  // the tab control; the frame's buttons stay above the pages.
  RECT area{};
  GetWindowRect(tabs_, &area);
  MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&area), 2);
  TabCtrl_AdjustRect(tabs_, FALSE, &area);
  for (int k = 0; k < 6; ++k) {
    HWND page = CreateDialogParamW(instance_, MAKEINTRESOURCEW(kPageIds[k]), frame_,
                                   &SettingsDialog::PageProc, reinterpret_cast<LPARAM>(this));
    pages_[static_cast<std::size_t>(k)] = page;
    EnableTabTexture(page);
    SetWindowPos(page, tabs_, area.left, area.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  }
  for (int id : {IDC_Command4, IDC_Command5, IDC_Command3, IDC_Command2}) {
    SetWindowPos(GetDlgItem(frame_, id), HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void SettingsDialog::Bind() {
  auto find = [this](int id) -> HWND {
    if (HWND h = GetDlgItem(frame_, id)) return h;
    for (HWND page : pages_) {
      if (HWND h = GetDlgItem(page, id)) return h;
    }
    return nullptr;
  };
  for (const DialogControl& c : DialogControls()) {
    const int members = c.count > 0 ? c.count : 1;
    for (int i = 0; i < members; ++i) {
      const int id = IdOf(ControlName(c, i));
      HWND hwnd = id != 0 ? find(id) : nullptr;
      // color_2 .. color_5 have no window: their colours are only kept.
      if (hwnd != nullptr) bound_.push_back({&c, i, hwnd, id});
    }
  }
}

void SettingsDialog::SetUpControls() {
  for (const Bound& b : bound_) {
    const DialogControl& c = *b.control;
    if (c.kind == ControlKind::kSlider) {
      SendMessageW(b.hwnd, TBM_SETRANGE, FALSE, MAKELPARAM(c.range.minimum, c.range.maximum));
      SendMessageW(b.hwnd, TBM_SETPAGESIZE, 0, c.range.pageStep);
      SendMessageW(b.hwnd, TBM_SETTICFREQ, static_cast<WPARAM>(c.range.tickEvery), 0);
    }
  }
  auto columns = [this](int page, int id, std::initializer_list<std::pair<UINT, int>> list) {
    HWND view = GetDlgItem(pages_[static_cast<std::size_t>(page)], id);
    ListView_SetExtendedListViewStyle(view, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    RECT client{};
    GetClientRect(view, &client);
    int used = 0, k = 0;
    for (const auto& [text, width] : list) {
      std::wstring caption = LoadText(instance_, text);
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.pszText = caption.data();
      // Widths are of the 173-pixel drive list; 0: the rest, less a scroll bar.
      column.cx = width > 0 ? MulDiv(width, client.right, 173)
                            : client.right - used - GetSystemMetrics(SM_CXVSCROLL);
      used += column.cx;
      ListView_InsertColumn(view, k++, &column);
    }
  };
  columns(0, IDC_ListView2, {{IDS_LIST_ITEMS, 0}});
  columns(3, IDC_ListView1, {{IDS_LIST_DRIVE, 60}, {IDS_LIST_KIND, 0}});

  // The version page: its texts, the version in a larger bold face.
  HWND version = pages_[5];
  SetWindowTextW(GetDlgItem(version, IDC_Label2_0), Widen(kVersionLabel).c_str());
  SetWindowTextW(GetDlgItem(version, IDC_Label3), Widen(kHomePage).c_str());
  // An empty address field reads as what the IP address strip shows then.
  Edit_SetCueBannerText(GetDlgItem(version, IDC_Text2),
                        L"未設定　例 http://monitor.example.org:8080");
  LOGFONTW face{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(frame_, WM_GETFONT, 0, 0)), sizeof face, &face);
  face.lfHeight = face.lfHeight * 3 / 2;
  face.lfWeight = FW_BOLD;
  versionFont_ = CreateFontIndirectW(&face);
  SendMessageW(GetDlgItem(version, IDC_Label2_0), WM_SETFONT,
               reinterpret_cast<WPARAM>(versionFont_), FALSE);
}

void SettingsDialog::AddTips() {
  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, frame_,
                          nullptr, instance_, nullptr);
  if (tips_ == nullptr) return;
  SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 400);
  for (HWND page : pages_) {
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      std::wstring tip = LoadText(instance_, static_cast<UINT>(IDS_TIP + GetDlgCtrlID(child)));
      if (tip.empty()) continue;
      TTTOOLINFOW tool{};
      tool.cbSize = sizeof tool;
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.hwnd = page;
      tool.uId = reinterpret_cast<UINT_PTR>(child);
      tool.lpszText = tip.data();
      SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
  }
}

void SettingsDialog::ShowPage(int page) {
  TabCtrl_SetCurSel(tabs_, page);
  for (int k = 0; k < 6; ++k) {
    ShowWindow(pages_[static_cast<std::size_t>(k)], k == page ? SW_SHOW : SW_HIDE);
  }
}

// --- Opening and closing ------------------------------------------------------

void SettingsDialog::Open(const DialogOpening& opening, int scale) {
  scale_ = scale;
  if (!placed_) {
    placed_ = true;
    SetWindowPos(frame_, nullptr, opening.position.x * scale, opening.position.y * scale, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  Refresh(DialogPart::kAll);
  // A place saved with a screen that is gone would open it where nobody can
  // reach it, and it has no taskbar button to recover it by.
  RECT r{};
  GetWindowRect(frame_, &r);
  if (MonitorFromRect(&r, MONITOR_DEFAULTTONULL) == nullptr) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    SetWindowPos(frame_, nullptr, info.rcWork.left, info.rcWork.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (opening.makeTopmost) {
    SetWindowPos(frame_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  ShowWindow(frame_, IsIconic(frame_) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(frame_);
}

void SettingsDialog::Close() {
  ShowWindow(frame_, SW_HIDE);
}

bool SettingsDialog::PreTranslate(MSG& msg) {
  return frame_ != nullptr && IsWindowVisible(frame_) && IsDialogMessageW(frame_, &msg);
}

// --- Showing the model ------------------------------------------------------------

void SettingsDialog::Refresh(DialogParts parts) {
  if (frame_ == nullptr) return;
  const bool was = refreshing_;
  refreshing_ = true;
  for (const Bound& b : bound_) {
    if ((b.control->part & parts) != 0) RefreshControl(b);
  }
  refreshing_ = was;
}

void SettingsDialog::RefreshControl(const Bound& b) {
  const DialogControl& c = *b.control;
  EnableWindow(b.hwnd, ControlEnabled(c, model_));
  switch (c.kind) {
    case ControlKind::kCheck:
      Button_SetCheck(b.hwnd, ControlChecked(c, model_) ? BST_CHECKED : BST_UNCHECKED);
      break;
    case ControlKind::kOptions:
      Button_SetCheck(b.hwnd, ControlChoice(c, model_) == b.index ? BST_CHECKED : BST_UNCHECKED);
      break;
    case ControlKind::kSlider:
      SendMessageW(b.hwnd, TBM_SETPOS, TRUE, ControlChoice(c, model_));
      break;
    case ControlKind::kText:
    case ControlKind::kCaption:
      SetText(b.hwnd, Widen(ControlText(c, model_)));
      break;
    case ControlKind::kStatus:
      SendMessageW(b.hwnd, SB_SETTEXTW, 0 | SBT_NOBORDERS,
                   reinterpret_cast<LPARAM>(Widen(ControlText(c, model_)).c_str()));
      break;
    case ControlKind::kCombo: {
      SendMessageW(b.hwnd, CB_RESETCONTENT, 0, 0);
      for (const std::string& entry : c.entries(model_)) {
        SendMessageW(b.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
      }
      SendMessageW(b.hwnd, CB_SETCURSEL, static_cast<WPARAM>(ControlChoice(c, model_)), 0);
      break;
    }
    case ControlKind::kList: {
      SendMessageW(b.hwnd, LB_RESETCONTENT, 0, 0);
      for (const std::string& entry : c.entries(model_)) {
        SendMessageW(b.hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
      }
      SendMessageW(b.hwnd, LB_SETCURSEL, static_cast<WPARAM>(ControlChoice(c, model_)), 0);
      break;
    }
    case ControlKind::kCheckList:
      RefreshCheckList(b);
      break;
    case ControlKind::kSwatch:
    case ControlKind::kPicture:
      InvalidateRect(b.hwnd, nullptr, FALSE);
      break;
    case ControlKind::kButton:
    case ControlKind::kLink:
      break;
  }
}

void SettingsDialog::RefreshCheckList(const Bound& b) {
  const DialogControl& c = *b.control;
  const std::vector<ListRowView> rows = c.rows(model_);
  const int count = static_cast<int>(rows.size());
  // Rows are updated in place while their number stays, so the list keeps
  // its scroll position while the user edits it.
  if (ListView_GetItemCount(b.hwnd) != count) {
    ListView_DeleteAllItems(b.hwnd);
    for (int i = 0; i < count; ++i) {
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = i;
      item.pszText = const_cast<wchar_t*>(L"");
      ListView_InsertItem(b.hwnd, &item);
    }
  }
  const int columns = Header_GetItemCount(ListView_GetHeader(b.hwnd));
  for (int i = 0; i < count; ++i) {
    const ListRowView& row = rows[static_cast<std::size_t>(i)];
    for (int k = 0; k < columns && k < static_cast<int>(row.columns.size()); ++k) {
      std::wstring text = Widen(row.columns[static_cast<std::size_t>(k)]);
      ListView_SetItemText(b.hwnd, i, k, text.data());
    }
    ListView_SetCheckState(b.hwnd, i, row.checked);
  }
  const int selected = ControlChoice(c, model_);
  for (int i = 0; i < count; ++i) {
    const UINT state = i == selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    ListView_SetItemState(b.hwnd, i, state, LVIS_SELECTED | LVIS_FOCUSED);
  }
  if (selected >= 0 && selected < count) ListView_EnsureVisible(b.hwnd, selected, FALSE);
}

// --- Events -----------------------------------------------------------------------

const SettingsDialog::Bound* SettingsDialog::Interactive(int id) const {
  for (const Bound& b : bound_) {
    if (b.id == id && b.control->kind != ControlKind::kCaption &&
        b.control->kind != ControlKind::kPicture && b.control->kind != ControlKind::kStatus)
      return &b;
  }
  return nullptr;
}

void SettingsDialog::OnCommand(int id, int code) {
  const Bound* b = Interactive(id);
  if (b == nullptr || refreshing_) return;
  const DialogControl& c = *b->control;
  switch (c.kind) {
    case ControlKind::kCheck:
      if (code == BN_CLICKED) events_.Toggled(c, Button_GetCheck(b->hwnd) == BST_CHECKED);
      break;
    case ControlKind::kOptions:
      if (code == BN_CLICKED && Button_GetCheck(b->hwnd) == BST_CHECKED)
        events_.Chosen(c, b->index);
      break;
    case ControlKind::kButton:
    case ControlKind::kSwatch:
      if (code == BN_CLICKED) events_.Pressed(c, b->index);
      break;
    case ControlKind::kLink:
      if (code == STN_CLICKED) events_.Pressed(c, b->index);
      break;
    case ControlKind::kText:
      if (code == EN_CHANGE) events_.Edited(c, Narrow(WindowText(b->hwnd)));
      break;
    case ControlKind::kCombo:
      if (code == CBN_SELCHANGE)
        events_.Chosen(c, static_cast<int>(SendMessageW(b->hwnd, CB_GETCURSEL, 0, 0)));
      break;
    case ControlKind::kList:
      if (code == LBN_SELCHANGE)
        events_.Chosen(c, static_cast<int>(SendMessageW(b->hwnd, LB_GETCURSEL, 0, 0)));
      break;
    default:
      break;
  }
}

void SettingsDialog::OnScroll(HWND slider) {
  if (refreshing_) return;
  const Bound* b = Interactive(GetDlgCtrlID(slider));
  if (b == nullptr || b->control->kind != ControlKind::kSlider) return;
  const int value = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
  if (value != ControlChoice(*b->control, model_)) events_.Chosen(*b->control, value);
}

bool SettingsDialog::OnNotify(const NMHDR& header) {
  if (header.hwndFrom == tabs_ && header.code == TCN_SELCHANGE) {
    ShowPage(TabCtrl_GetCurSel(tabs_));
    return true;
  }
  const Bound* b = Interactive(static_cast<int>(header.idFrom));
  if (b == nullptr || b->control->kind != ControlKind::kCheckList || refreshing_) return false;
  const DialogControl& c = *b->control;
  if (header.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if (change.iItem < 0 || (change.uChanged & LVIF_STATE) == 0) return false;
    const UINT before = (change.uOldState & LVIS_STATEIMAGEMASK) >> 12;
    const UINT after = (change.uNewState & LVIS_STATEIMAGEMASK) >> 12;
    // State images: 1 unticked, 2 ticked, 0 while a row is being inserted.
    if (before != 0 && after != 0 && before != after)
      events_.RowTicked(c, change.iItem, after == 2);
    if ((change.uNewState & LVIS_SELECTED) != 0 && (change.uOldState & LVIS_SELECTED) == 0)
      events_.RowSelected(c, change.iItem);
    return true;
  }
  if (header.code == NM_CLICK) {
    // A click on the row that is already selected counts too (a drive row
    // without a start colour becomes white).
    const auto& click = reinterpret_cast<const NMITEMACTIVATE&>(header);
    if (click.iItem >= 0 && click.iItem == ControlChoice(c, model_))
      events_.RowSelected(c, click.iItem);
    return true;
  }
  return false;
}

bool SettingsDialog::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlID == IDC_Image1) {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    DrawIconEx(item.hDC, item.rcItem.left, item.rcItem.top, icon_,
               item.rcItem.right - item.rcItem.left, item.rcItem.bottom - item.rcItem.top, 0,
               nullptr, DI_NORMAL);
    return true;
  }
  if (item.CtlID == IDC_Image2) {
    DrawBanner(item, versionFont_);
    return true;
  }
  for (const Bound& b : bound_) {
    if (b.hwnd != item.hwndItem) continue;
    if (b.control->kind == ControlKind::kSwatch) {
      DrawSwatch(item, b.control->face(model_, b.index));
      return true;
    }
    if (b.control->kind == ControlKind::kPicture) {
      FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_WINDOW));
      DrawCanvas(item.hDC, 0, 0, b.control->image(gradients_), scale_);
      return true;
    }
  }
  return false;
}

INT_PTR SettingsDialog::Handle(HWND from, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Enter and Escape do nothing: only "閉じる" closes the dialog.
      if (from == frame_ && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) return TRUE;
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_HSCROLL:
      if (lParam != 0) OnScroll(reinterpret_cast<HWND>(lParam));
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam)) ? TRUE : FALSE;
    case WM_DRAWITEM:
      return OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_Label3) {
        // The home page link, in its own colour over the page's background.
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 128, 128));
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
      }
      return FALSE;
    case WM_SETCURSOR:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(wParam)) == IDC_Label3) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        SetWindowLongPtrW(from, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_MOVE:
      if (from == frame_ && IsWindowVisible(frame_)) {
        RECT r{};
        GetWindowRect(frame_, &r);
        events_.Moved(PixelPoint{r.left / scale_, r.top / scale_});
      }
      return FALSE;
    case WM_CLOSE:
      if (from == frame_) events_.CloseRequested();
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK SettingsDialog::FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    return TRUE;
  }
  auto* self = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  return self != nullptr ? self->Handle(hwnd, message, wParam, lParam) : FALSE;
}

INT_PTR CALLBACK SettingsDialog::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    return FALSE;
  }
  auto* self = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  return self != nullptr ? self->Handle(hwnd, message, wParam, lParam) : FALSE;
}

}  // namespace mirel::win32
