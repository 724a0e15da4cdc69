// A window whose only content is its caption. It sits left of and above the
// visible screen (ToolbarWindowRect), so what the user sees of it is its
// task-bar entry, which carries the readings chosen for it.
#pragma once

#include <QWidget>
#include <string>

namespace mirel {

class ToolbarWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ToolbarWindow(QWidget* parent = nullptr);

  void SetCaption(const std::string& caption);
  // Shows it (placed off the screen again) or hides it.
  void SetShown(bool shown);

 private:
  void PlaceOffScreen();
};

}  // namespace mirel
