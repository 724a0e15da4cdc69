// "通信履歴" on Windows: the history window as native controls declared in
// history_window.rc, showing what the core decides (behaviour/history_view.h)
// as the Qt window does: today's and this month's lines, tabs for 5分 / 時間 /
// 日 / 月 / 年, the interface (or all summed), paging, the chart drawn by the
// core's renderer, the figures in a list view, the run's totals, the limits
// and retention ("上限と表示の設定...") and "CSV保存...".
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "behaviour/history_view.h"
#include "drawing/canvas.h"

namespace mirel {
class Program;
}

namespace mirel::win32 {

class HistoryWindow {
 public:
  HistoryWindow(HINSTANCE instance, HICON icon, Program& program)
      : instance_(instance), icon_(icon), program_(program) {}
  ~HistoryWindow();
  HistoryWindow(const HistoryWindow&) = delete;
  HistoryWindow& operator=(const HistoryWindow&) = delete;

  // Builds the window, hidden; `scale` is the program's whole scale (dpi.h).
  bool Create(int scale);
  // Figures up to now, shown in front.
  void Open();
  // Reads the history again while shown (a batch was written).
  void Refresh();
  void Hide();
  // The keyboard navigation of the window, for the message loop.
  bool PreTranslate(MSG& msg);
  HWND hwnd() const { return hwnd_; }

 private:
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void SetUpControls();
  void Command(int id, int code);
  void FillInterfaces();
  void Update();
  void FillFigures();
  void ShowNewestRows();
  void DrawChart(const DRAWITEMSTRUCT& item);
  void SaveCsv();
  void EditSettings();
  HistoryScope Scope() const;
  HistoryStore* Store();

  HINSTANCE instance_;
  HICON icon_;
  Program& program_;
  HWND hwnd_ = nullptr;
  HFONT bold_ = nullptr;
  int scale_ = 1;
  HistoryTable table_ = HistoryTable::kDays;
  std::vector<std::string> names_;  // of the interface choice, "" for all summed
  std::int64_t lastSeconds_ = 0;
  bool following_ = true;
  HistoryView view_;
  Canvas chart_;
};

}  // namespace mirel::win32
