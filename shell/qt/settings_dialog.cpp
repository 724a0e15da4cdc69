#include "shell/qt/settings_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <utility>

#include "behaviour/settings_commands.h"
#include "drawing/canvas.h"
#include "drawing/gradient.h"
#include "platform/platform.h"
#include "settings/settings_model.h"

namespace mirel {

namespace {

constexpr int kTwipsPerPixel = 15;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QColor ToQColor(std::uint32_t colour) {
  return QColor(static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
                static_cast<int>((colour >> 16) & 0xFFu));
}

std::uint32_t FromQColor(const QColor& c) {
  return Rgb(c.red(), c.green(), c.blue());
}

// A canvas as a pixmap; the canvas is already laid out as RGB32.
QPixmap ToPixmap(const Canvas& canvas) {
  if (canvas.width() <= 0 || canvas.height() <= 0) return QPixmap();
  QImage view(reinterpret_cast<const uchar*>(canvas.data()), canvas.width(), canvas.height(),
              canvas.width() * 4, QImage::Format_RGB32);
  return QPixmap::fromImage(view);
}

void SetTicked(QTreeWidgetItem* item, bool ticked) {
  item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

void CheckButton(QButtonGroup* group, int id) {
  if (QAbstractButton* button = group->button(id)) button->setChecked(true);
}

}  // namespace

SettingsDialog::SettingsDialog(SettingsModel& model, GradientImages& gradients,
                               std::filesystem::path settingsFile, DialogHooks hooks,
                               QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      model_(model),
      gradients_(gradients),
      settingsFile_(std::move(settingsFile)),
      hooks_(std::move(hooks)),
      codec_(MakeAnsiCodec()) {
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

  colourDialog_ = [this](const QColor& initial) -> std::optional<QColor> {
    QColor chosen = QColorDialog::getColor(initial, this);
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
  };
  urlOpener_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };

  BuildFrame();
  ConnectControls();
  RefreshFromModel();
  move(model_.dialogLeft / kTwipsPerPixel, model_.dialogTop / kTwipsPerPixel);
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::SetColourDialog(ColourDialog dialog) {
  colourDialog_ = std::move(dialog);
}
void SettingsDialog::SetUrlOpener(UrlOpener opener) {
  urlOpener_ = std::move(opener);
}

// --- Opening and closing ----------------------------------------------------

void SettingsDialog::Open() {
  model_.statusText.clear();
  RefreshStatus();
  // "ＯＮ" makes the dialog topmost; "ＯＦＦ" leaves it as an earlier opening
  // made it.
  if (model_.alwaysOnTop() == 0 && !(windowFlags() & Qt::WindowStaysOnTopHint)) {
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
  }
  KeepOnScreen();
  // A minimised dialog has no task-bar entry to bring it back by: opening
  // it again restores it.
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void SettingsDialog::KeepOnScreen() {
  // A position saved with a screen that is gone would open the dialog where
  // nobody can reach it, and it has no task-bar entry to recover it by.
  const QRect wanted(pos(), frameGeometry().size());
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return;
  for (const QScreen* screen : screens) {
    if (screen->availableGeometry().intersects(wanted)) return;
  }
  move(QGuiApplication::primaryScreen()->availableGeometry().topLeft());
}

void SettingsDialog::CloseDialog() {
  model_.dialogLeft = pos().x() * kTwipsPerPixel;
  model_.dialogTop = pos().y() * kTwipsPerPixel;
  hide();
  if (hooks_.closed) hooks_.closed();
  if (hooks_.setRefreshInterval) hooks_.setRefreshInterval(model_.updateInterval * 500);
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
  // The rest of the program reads this dialog's state, so a close from the
  // window manager only hides it, as "閉じる" does.
  event->ignore();
  if (isVisible()) CloseDialog();
}

void SettingsDialog::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  model_.dialogLeft = pos().x() * kTwipsPerPixel;
  model_.dialogTop = pos().y() * kTwipsPerPixel;
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == homeLink_ && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    OnOpenHomePage();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void SettingsDialog::OnOpenHomePage() {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  if (urlOpener_) urlOpener_(QUrl(QStringLiteral(MIREL_HOME_PAGE)));
  QGuiApplication::restoreOverrideCursor();
}

// --- Wiring -----------------------------------------------------------------

void SettingsDialog::ConnectControls() {
  auto menus = [this] {
    if (hooks_.menusChanged) hooks_.menusChanged();
  };

  // Frame buttons.
  connect(closeButton_, &QPushButton::clicked, this, &SettingsDialog::CloseDialog);
  connect(saveButton_, &QPushButton::clicked, this, &SettingsDialog::OnSave);
  connect(sizeResetButton_, &QPushButton::clicked, this, [this] {
    ResetWindowSize(model_, hooks_.composedHeight ? hooks_.composedHeight() : 0);
    if (hooks_.applyGeometryFromModel) hooks_.applyGeometryFromModel();
    RefreshStatus();
  });
  connect(positionResetButton_, &QPushButton::clicked, this, [this] {
    ResetWindowPosition(model_);
    if (hooks_.applyGeometryFromModel) hooks_.applyGeometryFromModel();
    RefreshStatus();
  });

  // Item list.
  connect(itemList_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (column == 0) OnItemTicked(itemList_->indexOfTopLevelItem(item));
  });
  connect(itemList_, &QTreeWidget::currentItemChanged, this, &SettingsDialog::OnItemSelected);
  connect(itemList_, &QTreeWidget::itemClicked, this, &SettingsDialog::OnItemSelected);
  connect(moveUpButton_, &QPushButton::clicked, this, [this] {
    if (MoveItemUp(model_)) RefreshItemList();
  });
  connect(moveDownButton_, &QPushButton::clicked, this, [this] {
    if (MoveItemDown(model_)) RefreshItemList();
  });
  for (int i = 0; i < 3; ++i) {
    connect(itemColourButtons_[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
            [this, i] { OnItemColour(static_cast<RowColour>(i)); });
  }

  // Drive list.
  connect(driveList_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (column == 0) OnDriveTicked(driveList_->indexOfTopLevelItem(item));
  });
  connect(driveList_, &QTreeWidget::currentItemChanged, this, &SettingsDialog::OnDriveSelected);
  connect(driveList_, &QTreeWidget::itemClicked, this, &SettingsDialog::OnDriveSelected);
  for (int i = 0; i < 3; ++i) {
    connect(driveColourButtons_[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
            [this, i] { OnDriveColour(static_cast<RowColour>(i)); });
  }

  // Swatches.
  for (int i = 0; i < 8; ++i) {
    connect(swatches_[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
            [this, i] { OnSwatch(i); });
  }

  // Totals.
  for (int i = 0; i < 4; ++i) {
    connect(totalButtons_[static_cast<std::size_t>(i)], &QPushButton::clicked, this, [this, i] {
      if (hooks_.resetTotal) hooks_.resetTotal(i);
    });
  }

  // Sliders.
  connect(receiveSlider_, &QSlider::valueChanged, this, [this](int v) {
    model_.receiveSpeed = v;
    receiveFrame_->setTitle(Q(ReceiveSpeedCaption(model_)));
  });
  connect(sendSlider_, &QSlider::valueChanged, this, [this](int v) {
    model_.sendSpeed = v;
    sendFrame_->setTitle(Q(SendSpeedCaption(model_)));
  });
  connect(intervalSlider_, &QSlider::valueChanged, this, [this](int v) {
    const int ms = IntervalChanged(model_, v);
    intervalFrame_->setTitle(Q(IntervalCaption(model_.updateInterval)));
    if (hooks_.setRefreshInterval) hooks_.setRefreshInterval(ms);
  });

  // Option groups.
  connect(rateUnitGroup_, &QButtonGroup::idClicked, this, [this](int i) {
    RateUnitClicked(model_, i);
    RefreshCaptions();
  });
  connect(alwaysOnTopGroup_, &QButtonGroup::idClicked, this,
          [this](int i) { AlwaysOnTopClicked(model_, i); });
  connect(graphSourceGroup_, &QButtonGroup::idClicked, this,
          [this](int i) { GraphSourceClicked(model_, i, hooks_.clearGraph); });
  connect(mouseOverGroup_, &QButtonGroup::idClicked, this,
          [this](int i) { MouseOverClicked(model_, i); });
  connect(presetGroup_, &QButtonGroup::idClicked, this, [this](int i) {
    SpeedPresetClicked(model_, i);
    QSignalBlocker r(receiveSlider_), s(sendSlider_);
    receiveSlider_->setValue(model_.receiveSpeed);
    sendSlider_->setValue(model_.sendSpeed);
    RefreshCaptions();
  });
  connect(hddUnitGroup_, &QButtonGroup::idClicked, this,
          [this](int i) { HddUnitClicked(model_, i); });
  connect(drawModeGroup_, &QButtonGroup::idClicked, this,
          [this](int i) { DrawModeClicked(model_, i); });

  // Check boxes.
  connect(ipCopyBox_, &QCheckBox::clicked, this, [this, menus](bool on) {
    model_.ipCopyMenuShown = on;
    IpCopyCheckClicked(model_);
    menus();
  });
  connect(adapterAutoBox_, &QCheckBox::clicked, this,
          [this](bool on) { model_.adapterAutoDetect = on; });
  connect(versionCheckBox_, &QCheckBox::clicked, this,
          [this](bool on) { model_.versionCheckAuto = on; });
  connect(proxyMenuBox_, &QCheckBox::clicked, this, [this, menus](bool on) {
    model_.proxyMenuShown = on;
    ProxyMenuCheckClicked(model_);
    menus();
  });
  connect(toolbarBox_, &QCheckBox::clicked, this, [this, menus](bool on) {
    model_.toolbarShown = on;
    ToolbarCheckClicked(model_, hooks_.setToolbarWindowShown);
    RefreshToolbarBoxes();
    menus();
  });
  bool SettingsModel::*readings[] = {&SettingsModel::toolbarCpu, &SettingsModel::toolbarMemory,
                                     &SettingsModel::toolbarReceive, &SettingsModel::toolbarSend};
  for (std::size_t k = 0; k < 4; ++k) {
    connect(toolbarReadingBoxes_[k], &QCheckBox::clicked, this,
            [this, field = readings[k]](bool on) { model_.*field = on; });
  }

  // Adapter choice.
  connect(adapterCombo_, &QComboBox::currentIndexChanged, this,
          [this](int index) { model_.adapterIndex = index; });

  // Proxy list.
  connect(proxyEdit_, &QLineEdit::textChanged, this,
          [this](const QString& text) { model_.proxyText = text.toStdString(); });
  // 削除 takes the selected entry: the current row alone (a list entered
  // with Tab has one) is not a selection.
  connect(proxyList_, &QListWidget::itemSelectionChanged, this, [this] {
    const QList<QListWidgetItem*> selected = proxyList_->selectedItems();
    model_.selectedProxy = selected.isEmpty() ? -1 : proxyList_->row(selected.front());
  });
  connect(addProxyButton_, &QPushButton::clicked, this, [this] {
    const bool added = AddProxy(model_);
    {
      QSignalBlocker block(proxyEdit_);
      proxyEdit_->setText(Q(model_.proxyText));
    }
    if (added) {
      RefreshProxyList();
      RefreshStatus();
    }
  });
  connect(removeProxyButton_, &QPushButton::clicked, this, [this] {
    if (RemoveProxy(model_)) {
      RefreshProxyList();
      RefreshStatus();
    }
  });
}

// --- Handlers ---------------------------------------------------------------

void SettingsDialog::OnItemTicked(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= model_.items.size()) return;
  model_.items[static_cast<std::size_t>(row)].checked =
      itemList_->topLevelItem(row)->checkState(0) == Qt::Checked;
  ItemTickChanged(model_, row);
  {
    QSignalBlocker block(itemList_);
    SetTicked(itemList_->topLevelItem(row), model_.items[static_cast<std::size_t>(row)].checked);
  }
  if (hooks_.menusChanged) hooks_.menusChanged();
}

void SettingsDialog::OnItemSelected() {
  const int row = itemList_->indexOfTopLevelItem(itemList_->currentItem());
  if (row < 0) return;
  model_.selectedItem = row;
  ItemRowSelected(model_, gradients_);
  RefreshItemPreview();
}

void SettingsDialog::OnItemColour(RowColour which) {
  ChangeItemColour(model_, gradients_, which,
                   [this](std::uint32_t initial) { return ChooseColour(initial); });
  RefreshItemList();
}

void SettingsDialog::OnDriveTicked(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= model_.drives.size()) return;
  model_.drives[static_cast<std::size_t>(row)].checked =
      driveList_->topLevelItem(row)->checkState(0) == Qt::Checked;
  DriveTickChanged(model_, row);
  QSignalBlocker block(driveList_);
  SetTicked(driveList_->topLevelItem(row), model_.drives[static_cast<std::size_t>(row)].checked);
}

void SettingsDialog::OnDriveSelected() {
  const int row = driveList_->indexOfTopLevelItem(driveList_->currentItem());
  if (row < 0) return;
  model_.selectedDrive = row;
  DriveRowSelected(model_, gradients_);
  RefreshDriveList();
}

void SettingsDialog::OnDriveColour(RowColour which) {
  ChangeDriveColour(model_, gradients_, which,
                    [this](std::uint32_t initial) { return ChooseColour(initial); });
  RefreshDriveList();
}

void SettingsDialog::OnSwatch(int i) {
  if (!ChangeSingleColour(model_, i, [this](std::uint32_t c) { return ChooseColour(c); })) return;
  RefreshSwatches();
  if (i == 7 && hooks_.graphBackColourChanged) hooks_.graphBackColourChanged();
}

void SettingsDialog::OnSave() {
  if (hooks_.syncGeometryToModel) hooks_.syncGeometryToModel();
  SaveCommand(model_, settingsFile_, *codec_);
  // The save pads the rows' colour texts; show them as the file has them.
  RefreshItemList();
  RefreshDriveList();
  RefreshStatus();
}

std::optional<std::uint32_t> SettingsDialog::ChooseColour(std::uint32_t initial) {
  if (!colourDialog_) return std::nullopt;
  std::optional<QColor> chosen = colourDialog_(ToQColor(initial));
  if (!chosen || !chosen->isValid()) return std::nullopt;
  return FromQColor(*chosen);
}

// --- Refresh ----------------------------------------------------------------

void SettingsDialog::RefreshInterfaceList() {
  QSignalBlocker block(adapterCombo_);
  adapterCombo_->clear();
  for (const std::string& name : model_.interfaceList) adapterCombo_->addItem(Q(name));
  adapterCombo_->setCurrentIndex(model_.adapterIndex < adapterCombo_->count() ? model_.adapterIndex
                                                                              : -1);
}

void SettingsDialog::RefreshFromModel() {
  RefreshItemList();
  RefreshDriveList();
  RefreshCaptions();
  RefreshSwatches();
  RefreshToolbarBoxes();
  RefreshProxyList();
  RefreshStatus();

  {
    QSignalBlocker r(receiveSlider_), s(sendSlider_), t(intervalSlider_);
    receiveSlider_->setValue(model_.receiveSpeed);
    sendSlider_->setValue(model_.sendSpeed);
    intervalSlider_->setValue(model_.updateInterval);
  }
  RefreshCaptions();

  CheckButton(rateUnitGroup_, model_.rateUnit());
  CheckButton(alwaysOnTopGroup_, model_.alwaysOnTop());
  CheckButton(graphSourceGroup_, model_.graphSource());
  CheckButton(mouseOverGroup_, model_.mouseOverMode());
  CheckButton(hddUnitGroup_, model_.hddUnit());
  CheckButton(drawModeGroup_, model_.drawMode());

  ipCopyBox_->setChecked(model_.ipCopyMenuShown);
  adapterAutoBox_->setChecked(model_.adapterAutoDetect);
  versionCheckBox_->setChecked(model_.versionCheckAuto);
  proxyMenuBox_->setChecked(model_.proxyMenuShown);
  toolbarBox_->setChecked(model_.toolbarShown);

  RefreshInterfaceList();
  {
    QSignalBlocker block(proxyEdit_);
    proxyEdit_->setText(Q(model_.proxyText));
  }
}

namespace {

// Rows are updated in place when their number is unchanged, so the list
// keeps its scroll position while the user edits it.
template <typename Row>
void FillCheckList(QTreeWidget* list, const std::vector<Row>& rows, int selected,
                   const std::function<QStringList(const Row&)>& columns) {
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
    const Row& row = rows[static_cast<std::size_t>(i)];
    const QStringList texts = columns(row);
    for (int c = 0; c < texts.size(); ++c) item->setText(c, texts[c]);
    SetTicked(item, row.checked);
  }
  if (selected >= 0 && selected < list->topLevelItemCount()) {
    list->setCurrentItem(list->topLevelItem(selected));
  } else {
    list->setCurrentItem(nullptr);
  }
}

}  // namespace

void SettingsDialog::RefreshItemList() {
  FillCheckList<ItemRow>(itemList_, model_.items, model_.selectedItem, [](const ItemRow& r) {
    return QStringList{Q(r.text), Q(r.key), Q(r.startColor), Q(r.endColor)};
  });
  RefreshItemPreview();
}

void SettingsDialog::RefreshDriveList() {
  FillCheckList<DriveRow>(driveList_, model_.drives, model_.selectedDrive, [](const DriveRow& r) {
    return QStringList{Q(r.text), Q(r.kind), Q(r.startColor), Q(r.endColor)};
  });
  RefreshDrivePreview();
}

void SettingsDialog::RefreshItemPreview() {
  itemPreview_->setPixmap(ToPixmap(gradients_.itemPreview));
  itemColourButtons_[0]->setText(Q(model_.startColourCaption));
  itemColourButtons_[1]->setText(Q(model_.endColourCaption));
}

void SettingsDialog::RefreshDrivePreview() {
  drivePreview_->setPixmap(ToPixmap(gradients_.drivePreview));
}

void SettingsDialog::RefreshCaptions() {
  receiveFrame_->setTitle(Q(ReceiveSpeedCaption(model_)));
  sendFrame_->setTitle(Q(SendSpeedCaption(model_)));
  intervalFrame_->setTitle(Q(IntervalCaption(model_.updateInterval)));
}

void SettingsDialog::RefreshSwatches() {
  for (int i = 0; i < 8; ++i) {
    QPushButton* swatch = swatches_[static_cast<std::size_t>(i)];
    const QColor face = ToQColor(model_.Colour(SettingsRecord::kBackColor + i));
    const QColor text = face.lightness() < 128 ? Qt::white : Qt::black;
    swatch->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2; "
                                         "border: 1px solid #606060; padding: 0px; }")
                              .arg(face.name(), text.name()));
  }
}

void SettingsDialog::RefreshToolbarBoxes() {
  const bool values[] = {model_.toolbarCpu, model_.toolbarMemory, model_.toolbarReceive,
                         model_.toolbarSend};
  for (std::size_t k = 0; k < 4; ++k) {
    toolbarReadingBoxes_[k]->setChecked(values[k]);
    toolbarReadingBoxes_[k]->setEnabled(model_.toolbarBoxesEnabled);
  }
}

void SettingsDialog::RefreshProxyList() {
  QSignalBlocker block(proxyList_);
  proxyList_->clear();
  for (const std::string& entry : model_.proxyList) proxyList_->addItem(Q(entry));
  if (model_.selectedProxy >= 0 && model_.selectedProxy < proxyList_->count()) {
    proxyList_->setCurrentRow(model_.selectedProxy);
  }
}

void SettingsDialog::RefreshStatus() {
  if (model_.statusText.empty()) {
    statusBar_->clearMessage();
  } else {
    statusBar_->showMessage(Q(model_.statusText));
  }
}

}  // namespace mirel
