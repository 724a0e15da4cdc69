// The six-page settings dialog: the pages and their look, with every
// control bound through the behaviour's table (behaviour/dialog_controls.h)
// by one helper per kind of widget. A change goes to DialogEvents; what the
// controls show is read from the live settings model when the behaviour
// asks (Refresh). The dialog lives for the whole run once built; opening
// and closing only show and hide it.
#pragma once

#include <QWidget>
#include <utility>
#include <vector>

#include "behaviour/dialog_controls.h"
#include "behaviour/monitor_geometry.h"

namespace mirel {

class SettingsDialog : public QWidget {
  Q_OBJECT

 public:
  SettingsDialog(const SettingsModel& model, const GradientImages& gradients, DialogEvents& events,
                 QWidget* parent = nullptr);
  ~SettingsDialog() override;

  // Shows it with every control read from the model, restored and in front,
  // on one of `screens`; made topmost when asked (else left as it was).
  void Open(bool makeTopmost, const std::vector<ScreenArea>& screens);
  // Reads these parts again from the model.
  void Refresh(DialogParts parts);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Page builders (settings_dialog_pages.cpp): places, captions, tips.
  void BuildFrame();
  QWidget* BuildDisplayPage();
  QWidget* BuildLinePage();
  QWidget* BuildProxyPage();
  QWidget* BuildDrivePage();
  QWidget* BuildOtherPage();
  QWidget* BuildVersionPage();

  // The table's rows bound to the widgets of their names, and shown.
  void Bind(const DialogControl& c, const std::vector<QWidget*>& widgets);
  void Show(const DialogControl& c, const std::vector<QWidget*>& widgets);

  const SettingsModel& model_;
  const GradientImages& gradients_;
  DialogEvents& events_;
  // Per row of DialogControls(): its widgets (one per member of an array).
  std::vector<std::vector<QWidget*>> widgets_;
  // Labels that act when clicked, with their rows.
  std::vector<std::pair<QObject*, const DialogControl*>> links_;
};

}  // namespace mirel
