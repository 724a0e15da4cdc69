#include "shell/qt/settings_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QTreeWidget>

#include "drawing/canvas.h"
#include "settings/settings_model.h"

namespace mirel {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QColor ToQColor(std::uint32_t colour) {
  return QColor(static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
                static_cast<int>((colour >> 16) & 0xFFu));
}

// A canvas as a pixmap; the canvas is already laid out as RGB32.
QPixmap ToPixmap(const Canvas& canvas) {
  if (canvas.width() <= 0 || canvas.height() <= 0) return QPixmap();
  QImage view(reinterpret_cast<const uchar*>(canvas.data()), canvas.width(), canvas.height(),
              canvas.width() * 4, QImage::Format_RGB32);
  return QPixmap::fromImage(view);
}

int RowOf(QTreeWidget* list, QTreeWidgetItem* item) {
  return item == nullptr ? -1 : list->indexOfTopLevelItem(item);
}

// Rows are updated in place when their number is unchanged, so the list
// keeps its scroll position while the user edits it.
void FillCheckList(QTreeWidget* list, const std::vector<ListRowView>& rows, int selected) {
  QSignalBlocker block(list);
  if (list->topLevelItemCount() != static_cast<int>(rows.size())) {
    list->clear();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      auto* item = new QTreeWidgetItem(list);
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    }
  }
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    const ListRowView& row = rows[static_cast<std::size_t>(i)];
    for (std::size_t c = 0; c < row.columns.size(); ++c)
      item->setText(static_cast<int>(c), Q(row.columns[c]));
    item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
  }
  list->setCurrentItem(selected >= 0 && selected < list->topLevelItemCount()
                           ? list->topLevelItem(selected)
                           : nullptr);
}

void FillList(QListWidget* list, const std::vector<std::string>& entries, int selected) {
  QSignalBlocker block(list);
  list->clear();
  for (const std::string& entry : entries) list->addItem(Q(entry));
  if (selected >= 0 && selected < list->count()) list->setCurrentRow(selected);
}

void FillCombo(QComboBox* combo, const std::vector<std::string>& entries, int chosen) {
  QSignalBlocker block(combo);
  combo->clear();
  for (const std::string& entry : entries) combo->addItem(Q(entry));
  combo->setCurrentIndex(chosen < combo->count() ? chosen : -1);
}

void PaintSwatch(QWidget* swatch, std::uint32_t colour) {
  const QColor face = ToQColor(colour);
  const QColor text = face.lightness() < 128 ? Qt::white : Qt::black;
  swatch->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2; "
                                       "border: 1px solid #606060; padding: 0px; }")
                            .arg(face.name(), text.name()));
}

void SetCaption(QWidget* w, const QString& caption) {
  if (auto* frame = qobject_cast<QGroupBox*>(w)) {
    frame->setTitle(caption);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(caption);
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(caption);
  }
}

}  // namespace

SettingsDialog::SettingsDialog(const SettingsModel& model, const GradientImages& gradients,
                               DialogEvents& events, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      model_(model),
      gradients_(gradients),
      events_(events) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QString::fromUtf8(kProgramTitle));
  setFixedSize(425, 329);
  // The layout is in pixels for a 12-pixel Japanese face; a proportional
  // Gothic comes closest to the captions' intended widths. Frames draw their
  // caption on the border line, so that the controls' positions (from y 16
  // inside a frame) clear it; the six tabs fit the strip without arrows.
  setStyleSheet(QStringLiteral(
      "QWidget { font-family: \"IPAPGothic\", \"IPAGothic\", \"Noto Sans CJK JP\";"
      " font-size: 12px; }"
      "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
      "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
      " left: 6px; top: 0px; padding: 0px 2px; }"
      "QTabBar::tab { padding: 3px 7px; }"
      "QRadioButton, QCheckBox { spacing: 3px; }"
      "#Label2_0 { font-size: 14px; font-weight: bold; }"
      "#Label3 { color: rgb(0, 128, 128); }"
      "#lblDisclaimer { color: rgb(96, 96, 96); }"));

  BuildFrame();
  const std::span<const DialogControl> controls = DialogControls();
  widgets_.resize(controls.size());
  for (std::size_t r = 0; r < controls.size(); ++r) {
    const DialogControl& c = controls[r];
    for (int i = 0; i < std::max(c.count, 1); ++i) {
      const std::string name = ControlName(c, i);
      QWidget* w = findChild<QWidget*>(Q(name));
      if (w == nullptr) qWarning("mirel9x: the dialog has no control %s", name.c_str());
      widgets_[r].push_back(w);
    }
    Bind(c, widgets_[r]);
  }
  Refresh(DialogPart::kAll);
}

SettingsDialog::~SettingsDialog() = default;

// --- Binding: one helper per kind of widget -------------------------------------

void SettingsDialog::Bind(const DialogControl& c, const std::vector<QWidget*>& widgets) {
  QWidget* w = widgets.front();
  switch (c.kind) {
    case ControlKind::kCheck:
      if (auto* box = qobject_cast<QCheckBox*>(w))
        connect(box, &QCheckBox::clicked, this, [this, &c](bool on) { events_.Toggled(c, on); });
      break;
    case ControlKind::kOptions: {
      auto* group = new QButtonGroup(this);
      for (int i = 0; i < static_cast<int>(widgets.size()); ++i) {
        if (auto* button = qobject_cast<QAbstractButton*>(widgets[static_cast<std::size_t>(i)]))
          group->addButton(button, i);
      }
      connect(group, &QButtonGroup::idClicked, this, [this, &c](int i) { events_.Chosen(c, i); });
      break;
    }
    case ControlKind::kSlider:
      if (auto* slider = qobject_cast<QSlider*>(w)) {
        QSignalBlocker block(slider);
        slider->setRange(c.range.minimum, c.range.maximum);
        slider->setPageStep(c.range.pageStep);
        slider->setTickInterval(c.range.tickEvery);
        connect(slider, &QSlider::valueChanged, this, [this, &c](int v) { events_.Chosen(c, v); });
      }
      break;
    case ControlKind::kText:
      if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        connect(edit, &QLineEdit::textChanged, this,
                [this, &c](const QString& text) { events_.Edited(c, text.toStdString()); });
      }
      break;
    case ControlKind::kCombo:
      if (auto* combo = qobject_cast<QComboBox*>(w)) {
        connect(combo, &QComboBox::currentIndexChanged, this,
                [this, &c](int index) { events_.Chosen(c, index); });
      }
      break;
    case ControlKind::kList:
      // The selected entry: the current row alone (a list entered with Tab
      // has one) is not a selection.
      if (auto* list = qobject_cast<QListWidget*>(w)) {
        connect(list, &QListWidget::itemSelectionChanged, this, [this, &c, list] {
          const QList<QListWidgetItem*> selected = list->selectedItems();
          events_.Chosen(c, selected.isEmpty() ? -1 : list->row(selected.front()));
        });
      }
      break;
    case ControlKind::kCheckList:
      if (auto* list = qobject_cast<QTreeWidget*>(w)) {
        connect(list, &QTreeWidget::itemChanged, this,
                [this, &c, list](QTreeWidgetItem* item, int column) {
                  if (column == 0)
                    events_.RowTicked(c, RowOf(list, item), item->checkState(0) == Qt::Checked);
                });
        // A new current row, and a click on the current one, both select.
        auto selected = [this, &c, list] {
          events_.RowSelected(c, RowOf(list, list->currentItem()));
        };
        connect(list, &QTreeWidget::currentItemChanged, this, selected);
        connect(list, &QTreeWidget::itemClicked, this, selected);
      }
      break;
    case ControlKind::kButton:
    case ControlKind::kSwatch:
      for (int i = 0; i < static_cast<int>(widgets.size()); ++i) {
        if (auto* button = qobject_cast<QAbstractButton*>(widgets[static_cast<std::size_t>(i)]))
          connect(button, &QAbstractButton::clicked, this,
                  [this, &c, i] { events_.Pressed(c, i); });
      }
      break;
    case ControlKind::kLink:
      if (w != nullptr) {
        w->setCursor(Qt::PointingHandCursor);
        w->installEventFilter(this);
        links_.emplace_back(w, &c);
      }
      break;
    case ControlKind::kCaption:
    case ControlKind::kPicture:
    case ControlKind::kStatus:
      break;  // shown only
  }
}

void SettingsDialog::Refresh(DialogParts parts) {
  const std::span<const DialogControl> controls = DialogControls();
  for (std::size_t r = 0; r < controls.size(); ++r) {
    if (controls[r].part & parts) Show(controls[r], widgets_[r]);
  }
}

void SettingsDialog::Show(const DialogControl& c, const std::vector<QWidget*>& widgets) {
  QWidget* w = widgets.front();
  if (w == nullptr) return;
  switch (c.kind) {
    case ControlKind::kCheck:
      if (auto* box = qobject_cast<QCheckBox*>(w)) {
        QSignalBlocker block(box);
        box->setChecked(ControlChecked(c, model_));
        box->setEnabled(ControlEnabled(c, model_));
      }
      break;
    case ControlKind::kOptions: {
      const int chosen = ControlChoice(c, model_);
      if (chosen >= 0 && chosen < static_cast<int>(widgets.size())) {
        if (auto* button =
                qobject_cast<QAbstractButton*>(widgets[static_cast<std::size_t>(chosen)]))
          button->setChecked(true);
      }
      break;
    }
    case ControlKind::kSlider:
      if (auto* slider = qobject_cast<QSlider*>(w)) {
        QSignalBlocker block(slider);
        slider->setValue(ControlChoice(c, model_));
      }
      break;
    case ControlKind::kText:
      if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        const QString text = Q(ControlText(c, model_));
        QSignalBlocker block(edit);
        if (edit->text() != text) edit->setText(text);
      }
      break;
    case ControlKind::kCombo:
      if (auto* combo = qobject_cast<QComboBox*>(w))
        FillCombo(combo, c.entries(model_), ControlChoice(c, model_));
      break;
    case ControlKind::kList:
      if (auto* list = qobject_cast<QListWidget*>(w))
        FillList(list, c.entries(model_), ControlChoice(c, model_));
      break;
    case ControlKind::kCheckList:
      if (auto* list = qobject_cast<QTreeWidget*>(w))
        FillCheckList(list, c.rows(model_), ControlChoice(c, model_));
      break;
    case ControlKind::kSwatch:
      for (int i = 0; i < static_cast<int>(widgets.size()); ++i) {
        if (QWidget* swatch = widgets[static_cast<std::size_t>(i)])
          PaintSwatch(swatch, c.face(model_, i));
      }
      break;
    case ControlKind::kCaption:
      SetCaption(w, Q(ControlText(c, model_)));
      break;
    case ControlKind::kPicture:
      if (auto* label = qobject_cast<QLabel*>(w)) label->setPixmap(ToPixmap(c.image(gradients_)));
      break;
    case ControlKind::kStatus:
      if (auto* status = qobject_cast<QStatusBar*>(w)) {
        const QString text = Q(ControlText(c, model_));
        if (text.isEmpty()) {
          status->clearMessage();
        } else {
          status->showMessage(text);
        }
      }
      break;
    case ControlKind::kButton:
    case ControlKind::kLink:
      break;
  }
}

// --- Opening, closing, moving ---------------------------------------------------

void SettingsDialog::Open(bool makeTopmost, const std::vector<ScreenArea>& screens) {
  Refresh(DialogPart::kAll);
  if (makeTopmost && !(windowFlags() & Qt::WindowStaysOnTopHint)) {
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
  }
  // A position saved with a screen that is gone would open the dialog where
  // nobody can reach it, and it has no task-bar entry to recover it by.
  const QRect frame(pos(), frameGeometry().size());
  if (const std::optional<PixelPoint> corner = BroughtOntoAScreen(
          {frame.x(), frame.y(), frame.width(), frame.height()}, screens, true)) {
    move(corner->x, corner->y);
  }
  // A minimised dialog has no task-bar entry to bring it back by: opening
  // it again restores it.
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
  // The rest of the program reads the dialog's settings, so a close from the
  // window manager only hides it, as "閉じる" does.
  event->ignore();
  if (isVisible()) events_.CloseRequested();
}

void SettingsDialog::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  events_.Moved({pos().x(), pos().y()});
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    for (const auto& [link, control] : links_) {
      if (link == watched) {
        events_.Pressed(*control, 0);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace mirel
