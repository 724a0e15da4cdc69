// The dialog's one-line status bar. A result text longer than the line (a
// save failure with its file name and the system's reason) shows what fits,
// ending in "…", and the whole text is the tool tip.
#pragma once

#include <QStatusBar>

namespace mirel {

class StatusLine : public QStatusBar {
  Q_OBJECT

 public:
  explicit StatusLine(QWidget* parent = nullptr);

  // What the line draws of currentMessage().
  QString shownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect TextRect() const;
};

}  // namespace mirel
