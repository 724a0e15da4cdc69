#include "shell/qt/status_line.h"

#include <QPainter>
#include <QStyleOption>

namespace mirel {

namespace {
// QStatusBar keeps this much room at each end of its message.
constexpr int kMargin = 6;
}  // namespace

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  connect(this, &QStatusBar::messageChanged, this, [this](const QString& text) {
    setToolTip(text);
    update();
  });
}

QRect StatusLine::TextRect() const {
  return rect().adjusted(kMargin, 0, -kMargin, 0);
}

QString StatusLine::shownText() const {
  return fontMetrics().elidedText(currentMessage(), Qt::ElideRight, TextRect().width());
}

void StatusLine::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  QStyleOption opt;
  opt.initFrom(this);
  style()->drawPrimitive(QStyle::PE_PanelStatusBar, &opt, &p, this);
  if (currentMessage().isEmpty()) return;
  p.setPen(palette().windowText().color());
  p.drawText(TextRect(), Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
}

}  // namespace mirel
