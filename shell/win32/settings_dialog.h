// The six-page settings dialog as native controls declared in
// settings_dialog.rc: a frame with a tab control and the four buttons along
// its bottom, one child dialog per page, and the status bar. The controls are
// bound to the dialog's control table (behaviour/dialog_controls.h) by name
// with one helper per kind of control: every change goes to DialogEvents,
// and what a control shows is read from the model on Refresh. The dialog
// decides nothing itself.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <vector>

#include "behaviour/dialog_controls.h"
#include "behaviour/shell.h"
#include "drawing/gradient.h"
#include "settings/settings_model.h"

namespace mirel::win32 {

class SettingsDialog {
 public:
  SettingsDialog(HINSTANCE instance, HWND owner, HICON icon, DialogEvents& events,
                 const SettingsModel& model, const GradientImages& gradients);
  ~SettingsDialog();
  SettingsDialog(const SettingsDialog&) = delete;
  SettingsDialog& operator=(const SettingsDialog&) = delete;

  // Builds the frame and the pages, hidden.
  bool Create();
  HWND hwnd() const { return frame_; }

  // Shows it (restored, in front, on a screen) with every control read from
  // the model; `scale` is the program's whole scale (dpi.h).
  void Open(const DialogOpening& opening, int scale);
  void Close();
  void Refresh(DialogParts parts);
  // The keyboard navigation of the dialog, for the message loop.
  bool PreTranslate(MSG& msg);

 private:
  // One control of the table, bound to its window. A window may carry more
  // than one row (Command9_0 is a button and a caption).
  struct Bound {
    const DialogControl* control = nullptr;
    int index = 0;
    HWND hwnd = nullptr;
    int id = 0;
  };

  static INT_PTR CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(HWND from, UINT message, WPARAM wParam, LPARAM lParam);

  void BuildPages();
  void Bind();
  void SetUpControls();
  void AddTips();
  void ShowPage(int page);
  void RefreshControl(const Bound& b);
  void RefreshCheckList(const Bound& b);

  void OnCommand(int id, int code);
  void OnScroll(HWND slider);
  bool OnNotify(const NMHDR& header);
  bool OnDrawItem(const DRAWITEMSTRUCT& item);
  const Bound* Interactive(int id) const;

  HINSTANCE instance_;
  HWND owner_;
  HICON icon_;
  DialogEvents& events_;
  const SettingsModel& model_;
  const GradientImages& gradients_;

  HWND frame_ = nullptr;
  HWND tabs_ = nullptr;
  HWND status_ = nullptr;
  HWND tips_ = nullptr;
  std::array<HWND, 6> pages_{};
  std::vector<Bound> bound_;
  HFONT versionFont_ = nullptr;
  bool refreshing_ = false;
  bool placed_ = false;
  int scale_ = 1;
};

}  // namespace mirel::win32
