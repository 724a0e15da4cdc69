#include "shell/win32/history_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

#include "behaviour/history_keeper.h"
#include "behaviour/program.h"
#include "drawing/history_chart.h"
#include "platform/atomic_file.h"
#include "platform/windows/wide_text.h"
#include "settings/settings_model.h"
#include "shell/win32/canvas_paint.h"
#include "shell/win32/history_window_ids.h"

namespace mirel::win32 {

namespace {

using windows_source::Narrow;
using windows_source::Widen;

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

void SetText(HWND dialog, int id, const std::string& text) {
  HWND control = GetDlgItem(dialog, id);
  const std::wstring wide = Widen(text);
  if (WindowText(control) != wide) SetWindowTextW(control, wide.c_str());
}

void ShowError(HWND owner, const std::string& text) {
  MessageBoxW(owner, Widen(text).c_str(), Widen(kProgramTitle).c_str(), MB_OK | MB_ICONERROR);
}


// The text colour of a figure line by its limit's level.
COLORREF LevelColour(int level) {
  return level >= 2 ? RGB(192, 0, 0) : level == 1 ? RGB(160, 80, 0) : GetSysColor(COLOR_BTNTEXT);
}

// --- The settings dialog ---------------------------------------------------------

struct SettingsEdit {
  HistorySettings settings;
  std::string scope;  // the limits' scope: a name or kAllInterfaces
};

void SetUpSettings(HWND dialog, const SettingsEdit& edit) {
  const HistorySettings& s = edit.settings;
  SetText(dialog, IDC_HS_SCOPE_CAPTION, kLimitScopeCaption);
  SetText(dialog, IDC_HS_SCOPE, ScopeCaption(edit.scope));
  SetText(dialog, IDC_HS_DAILY_CAPTION, kDailyLimitCaption);
  SetText(dialog, IDC_HS_MONTHLY_CAPTION, kMonthlyLimitCaption);
  SetText(dialog, IDC_HS_WARN_CAPTION, kWarnPercentCaption);
  SetText(dialog, IDC_HS_START_CAPTION, kMonthStartCaption);
  SetText(dialog, IDC_HS_TOTALS_CAPTION, kTotalsCaption);
  SetText(dialog, IDC_HS_KEEP_NOTE,
          std::string("0 は") + kForEverCaption + "、上限の空欄は" + kNoLimitCaption + "です。");
  const struct {
    int edit, unit;
    LimitPeriod period;
  } limits[] = {{IDC_HS_DAILY, IDC_HS_DAILY_UNIT, LimitPeriod::kDay},
                {IDC_HS_MONTHLY, IDC_HS_MONTHLY_UNIT, LimitPeriod::kMonth}};
  for (const auto& l : limits) {
    const LimitAmount amount = LimitAmountOf(s.Limit(edit.scope, l.period));
    SetText(dialog, l.edit, LimitAmountText(amount.amount));
    for (const wchar_t* unit : {L"MB", L"GB"})
      SendDlgItemMessageW(dialog, l.unit, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(unit));
    SendDlgItemMessageW(dialog, l.unit, CB_SETCURSEL, amount.gigabytes ? 1 : 0, 0);
  }
  auto spin = [dialog](int id, int low, int high, int value) {
    SendDlgItemMessageW(dialog, id, UDM_SETRANGE32, low, high);
    SendDlgItemMessageW(dialog, id, UDM_SETPOS32, 0, value);
  };
  spin(IDC_HS_WARN_SPIN, 1, 100, s.warnPercent);
  spin(IDC_HS_START_SPIN, 1, 31, s.monthStartDay);
  for (const char* choice : kTotalsChoices) {
    const std::wstring caption = Widen(choice);
    SendDlgItemMessageW(dialog, IDC_HS_TOTALS, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(caption.c_str()));
  }
  SendDlgItemMessageW(dialog, IDC_HS_TOTALS, CB_SETCURSEL, static_cast<WPARAM>(s.totals), 0);
  int row = 0;
  for (const RetentionChoice& k : kRetentionChoices) {
    const int id = IDC_HS_KEEP + 4 * row++;
    SetText(dialog, id, k.caption);
    spin(id + 2, 0, kRetentionMax, s.retention.*k.field);
    SetText(dialog, id + 3, k.unit);
  }
}

// Reads the controls into edit.settings; false (and the user told) when a
// limit is no number.
bool ReadSettings(HWND dialog, SettingsEdit& edit) {
  HistorySettings& s = edit.settings;
  const struct {
    int edit, unit;
    LimitPeriod period;
  } limits[] = {{IDC_HS_DAILY, IDC_HS_DAILY_UNIT, LimitPeriod::kDay},
                {IDC_HS_MONTHLY, IDC_HS_MONTHLY_UNIT, LimitPeriod::kMonth}};
  std::uint64_t octets[2] = {};
  for (int i = 0; i < 2; ++i) {
    HWND control = GetDlgItem(dialog, limits[i].edit);
    const std::optional<double> amount = ParseLimitAmount(Narrow(WindowText(control)));
    if (!amount) {
      ShowError(dialog, "上限は数で入れてください (例: 1.5)。空欄は上限なしです。");
      SetFocus(control);
      SendMessageW(control, EM_SETSEL, 0, -1);
      return false;
    }
    const bool gigabytes = SendDlgItemMessageW(dialog, limits[i].unit, CB_GETCURSEL, 0, 0) == 1;
    octets[i] = LimitOctetsOf({*amount, gigabytes});
  }
  for (int i = 0; i < 2; ++i) SetLimit(s, edit.scope, limits[i].period, octets[i]);
  auto spun = [dialog](int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, UDM_GETPOS32, 0, 0));
  };
  s.warnPercent = std::clamp(spun(IDC_HS_WARN_SPIN), 1, 100);
  s.monthStartDay = std::clamp(spun(IDC_HS_START_SPIN), 1, 31);
  const LRESULT totals = SendDlgItemMessageW(dialog, IDC_HS_TOTALS, CB_GETCURSEL, 0, 0);
  s.totals = static_cast<TotalsSource>(std::clamp<LRESULT>(totals, 0, 2));
  int row = 0;
  for (const RetentionChoice& k : kRetentionChoices)
    s.retention.*k.field = std::clamp(spun(IDC_HS_KEEP + 4 * row++ + 2), 0, kRetentionMax);
  return true;
}

INT_PTR CALLBACK SettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* edit = reinterpret_cast<SettingsEdit*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      SetUpSettings(dialog, *reinterpret_cast<SettingsEdit*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK && edit != nullptr && ReadSettings(dialog, *edit)) {
        EndDialog(dialog, IDOK);
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

// --- The window ------------------------------------------------------------------

HistoryWindow::~HistoryWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (bold_ != nullptr) DeleteObject(bold_);
}

bool HistoryWindow::Create(int scale) {
  scale_ = std::max(1, scale);
  hwnd_ = CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_HISTORY), nullptr,
                             &HistoryWindow::Proc, reinterpret_cast<LPARAM>(this));
  return hwnd_ != nullptr;
}

void HistoryWindow::SetUpControls() {
  SetWindowTextW(hwnd_, Widen(std::string("通信履歴 - ") + kProgramTitle).c_str());
  if (icon_ != nullptr) {
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  }
  LOGFONTW face{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)), sizeof face, &face);
  face.lfWeight = FW_BOLD;
  bold_ = CreateFontIndirectW(&face);

  HWND tabs = GetDlgItem(hwnd_, IDC_HISTORY_TABLES);
  for (HistoryTable table : kHistoryTables) {
    std::wstring caption = Widen(HistoryTableCaption(table));
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(table),
                 reinterpret_cast<LPARAM>(&item));
  }
  SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(table_), 0);

  HWND list = GetDlgItem(hwnd_, IDC_HISTORY_FIGURES);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_GRIDLINES);
  RECT r{};
  GetClientRect(list, &r);
  const int width = r.right - r.left - GetSystemMetrics(SM_CXVSCROLL);
  const wchar_t* captions[] = {L"期間", L"受信", L"送信", L"合計"};
  for (int c = 0; c < 4; ++c) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = c == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
    column.cx = c == 0 ? width - 3 * (width * 22 / 100) : width * 22 / 100;
    column.pszText = const_cast<wchar_t*>(captions[c]);
    SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
  }
}

void HistoryWindow::Open() {
  program_.FlushHistory();
  following_ = true;
  FillInterfaces();
  Update();
  ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
  ShowNewestRows();
  SetForegroundWindow(hwnd_);
}

void HistoryWindow::Refresh() {
  if (hwnd_ == nullptr || !IsWindowVisible(hwnd_)) return;
  FillInterfaces();
  Update();
}

void HistoryWindow::Hide() {
  if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_HIDE);
}

bool HistoryWindow::PreTranslate(MSG& msg) {
  return hwnd_ != nullptr && IsWindowVisible(hwnd_) && IsDialogMessageW(hwnd_, &msg);
}

HistoryStore* HistoryWindow::Store() {
  HistoryKeeper* keeper = program_.history();
  return keeper ? keeper->store() : nullptr;
}

HistoryScope HistoryWindow::Scope() const {
  const LRESULT i = SendDlgItemMessageW(hwnd_, IDC_HISTORY_INTERFACE, CB_GETCURSEL, 0, 0);
  if (i <= 0 || static_cast<std::size_t>(i) >= names_.size()) return {};
  return {names_[static_cast<std::size_t>(i)]};
}

void HistoryWindow::FillInterfaces() {
  const std::string chosen = Scope().name;
  names_ = {""};
  for (const HistoryInterface& i : HistoryChoices(Store())) names_.push_back(i.name);
  HWND combo = GetDlgItem(hwnd_, IDC_HISTORY_INTERFACE);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  std::size_t selected = 0;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const std::wstring caption = Widen(i == 0 ? std::string(kAllSummedCaption) : names_[i]);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(caption.c_str()));
    if (names_[i] == chosen) selected = i;
  }
  SendMessageW(combo, CB_SETCURSEL, selected, 0);
}

void HistoryWindow::Update() {
  const std::int64_t now = WallClockNowMs() / 1000;
  if (following_) lastSeconds_ = now;
  HistoryKeeper* keeper = program_.history();
  view_ = BuildHistoryView(Store(), keeper ? keeper->Unavailable() : std::string(),
                           keeper ? keeper->settings() : HistorySettings{}, table_, Scope(),
                           lastSeconds_, now);
  const bool problem = !view_.problem.empty();
  SetText(hwnd_, IDC_HISTORY_PROBLEM, view_.problem);
  ShowWindow(GetDlgItem(hwnd_, IDC_HISTORY_PROBLEM), problem ? SW_SHOW : SW_HIDE);
  for (auto [id, line] :
       {std::pair{IDC_HISTORY_TODAY, &view_.today}, std::pair{IDC_HISTORY_MONTH, &view_.month}}) {
    HWND control = GetDlgItem(hwnd_, id);
    ShowWindow(control, problem ? SW_HIDE : SW_SHOW);
    SetText(hwnd_, id, line->text);
    const HFONT font =
        line->level >= 2 ? bold_ : reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    if (reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)) != font)
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    InvalidateRect(control, nullptr, TRUE);  // its colour follows the level
  }
  SetText(hwnd_, IDC_HISTORY_RANGE, view_.range);
  SetText(hwnd_, IDC_HISTORY_TOTALS, view_.totals);
  EnableWindow(GetDlgItem(hwnd_, IDC_HISTORY_FORWARD), !view_.latest);
  EnableWindow(GetDlgItem(hwnd_, IDC_HISTORY_LATEST), !view_.latest);
  FillFigures();
  InvalidateRect(GetDlgItem(hwnd_, IDC_HISTORY_CHART), nullptr, FALSE);
}

void HistoryWindow::FillFigures() {
  HWND list = GetDlgItem(hwnd_, IDC_HISTORY_FIGURES);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (std::size_t i = 0; i < view_.rows.size(); ++i) {
    const HistoryRow& row = view_.rows[i];
    const std::string* cells[] = {&row.period, &row.rx, &row.tx, &row.total};
    for (int c = 0; c < 4; ++c) {
      std::wstring text = Widen(*cells[c]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(i);
      item.iSubItem = c;
      item.pszText = text.data();
      SendMessageW(list, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, i,
                   reinterpret_cast<LPARAM>(&item));
    }
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ShowNewestRows();
}

void HistoryWindow::ShowNewestRows() {
  // In sight as the chart ends with them (a list view scrolls only once shown).
  if (!view_.rows.empty()) {
    SendDlgItemMessageW(hwnd_, IDC_HISTORY_FIGURES, LVM_ENSUREVISIBLE, view_.rows.size() - 1,
                        FALSE);
  }
}

void HistoryWindow::DrawChart(const DRAWITEMSTRUCT& item) {
  const StripFont* font = program_.stripFont();
  const SettingsModel& settings = program_.settings();
  const RECT& r = item.rcItem;
  // The core's picture in the program's pixels, each a whole number of
  // device pixels, so the bitmap font stays sharp.
  HBRUSH back = CreateSolidBrush(static_cast<COLORREF>(settings.backColor() & 0xFFFFFFu));
  FillRect(item.hDC, &r, back);
  DeleteObject(back);
  if (font == nullptr) return;
  chart_.Resize((r.right - r.left) / scale_, (r.bottom - r.top) / scale_, settings.backColor());
  const GradientImages& gradients = program_.gradients();
  DrawHistoryChart(
      chart_, *font, view_.chart,
      {settings.backColor(), settings.textColor(), &gradients.items[2], &gradients.items[3]});
  DrawCanvas(item.hDC, r.left, r.top, chart_, scale_);
}

void HistoryWindow::SaveCsv() {
  HistoryStore* store = Store();
  if (store == nullptr) {
    ShowError(hwnd_, "通信履歴はありません");
    return;
  }
  std::wstring suggested = Widen(std::string("通信履歴-") + HistoryTableKey(table_) + ".csv");
  wchar_t file[MAX_PATH] = {};
  std::copy_n(suggested.begin(), std::min<std::size_t>(suggested.size(), MAX_PATH - 1), file);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = hwnd_;
  dialog.lpstrFilter = L"CSV (*.csv)\0*.csv\0";
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = L"csv";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) return;
  const std::string error = WriteFileAtomically(
      std::filesystem::path(file), HistoryViewCsv(*store, table_, Scope(), view_.chart));
  if (!error.empty()) ShowError(hwnd_, error);
}

void HistoryWindow::EditSettings() {
  HistoryKeeper* keeper = program_.history();
  SettingsEdit edit{keeper ? keeper->settings() : HistorySettings{}, LimitScopeOf(Scope())};
  if (DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_HISTORY_SETTINGS), hwnd_, &SettingsProc,
                      reinterpret_cast<LPARAM>(&edit)) != IDOK)
    return;
  if (const std::string error = program_.ChangeHistorySettings(edit.settings); !error.empty())
    ShowError(hwnd_, error);
  Update();
}

void HistoryWindow::Command(int id, int code) {
  switch (id) {
    case IDC_HISTORY_INTERFACE:
      if (code == CBN_SELCHANGE) Update();
      return;
    case IDC_HISTORY_BACK:
    case IDC_HISTORY_FORWARD:
      lastSeconds_ = HistoryPage(table_, lastSeconds_, id == IDC_HISTORY_BACK ? -1 : 1,
                                 WallClockNowMs() / 1000, following_);
      Update();
      return;
    case IDC_HISTORY_LATEST:
      following_ = true;
      Update();
      return;
    case IDC_HISTORY_SETTINGS:
      EditSettings();
      return;
    case IDC_HISTORY_CSV:
      SaveCsv();
      return;
    case IDC_HISTORY_CLOSE:
    case IDCANCEL:  // Esc
      Hide();
      return;
    default:
      return;
  }
}

INT_PTR CALLBACK HistoryWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<HistoryWindow*>(lParam);
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    self->hwnd_ = hwnd;
    self->SetUpControls();
    return TRUE;
  }
  auto* self = reinterpret_cast<HistoryWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  return self != nullptr ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR HistoryWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == IDC_HISTORY_TABLES && header->code == TCN_SELCHANGE) {
        const LRESULT i = SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0);
        table_ = kHistoryTables[static_cast<std::size_t>(std::clamp<LRESULT>(i, 0, 4))];
        following_ = true;
        Update();
        return TRUE;
      }
      return FALSE;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID != IDC_HISTORY_CHART) return FALSE;
      DrawChart(*item);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
      const auto control = reinterpret_cast<HWND>(lParam);
      const int id = GetDlgCtrlID(control);
      int level = 0;
      if (id == IDC_HISTORY_TODAY) level = view_.today.level;
      if (id == IDC_HISTORY_MONTH) level = view_.month.level;
      if (id == IDC_HISTORY_PROBLEM) level = 2;
      if (level == 0) return FALSE;
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, LevelColour(level));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CLOSE:
      Hide();  // kept for the next opening
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace mirel::win32
