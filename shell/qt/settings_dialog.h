// The six-page settings dialog: a view over the live settings model. Every
// control reads its state from the model and every click runs the matching
// command of behaviour/settings_commands.h, so a change shows at the next tick
// without an apply step. The dialog lives for the whole run; opening and
// closing only show and hide it.
#pragma once

#include <QColor>
#include <QUrl>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QStatusBar;
class QTabWidget;
class QTreeWidget;

namespace mirel {

struct SettingsModel;
struct GradientImages;
class TextCodec;
enum class RowColour;

// What the dialog asks of the rest of the program. Any hook may be empty.
struct DialogHooks {
  std::function<void(int intervalMs)> setRefreshInterval;  // Slider2 scroll and close
  std::function<void(bool shown)> setToolbarWindowShown;   // Check2(1)
  std::function<void()> clearGraph;                        // Option3 click
  std::function<void()> graphBackColourChanged;            // color(7)
  std::function<void()> syncGeometryToModel;     // before a save: window positions into the model
  std::function<void()> applyGeometryFromModel;  // after size/position reset
  std::function<int()> composedHeight;           // for サイズ初期化
  std::function<void(int which)> resetTotal;     // Command6(0..3)
  std::function<void()> menusChanged;            // ipc/prox visibility changed
  std::function<void()> closed;  // after 閉じる: shell shows the monitor, sets its topmost state
};

class SettingsDialog : public QWidget {
  Q_OBJECT

 public:
  // Asks the user for a colour; nullopt when the user cancelled.
  using ColourDialog = std::function<std::optional<QColor>(const QColor& initial)>;
  using UrlOpener = std::function<void(const QUrl&)>;

  SettingsDialog(SettingsModel& model, GradientImages& gradients,
                 std::filesystem::path settingsFile, DialogHooks hooks, QWidget* parent = nullptr);
  ~SettingsDialog() override;

  // "オプション": clears the status line, shows the dialog and makes it
  // topmost when the "常に手前に表示" choice is "ＯＮ".
  void Open();
  // "閉じる": hides the dialog, keeping every value.
  void CloseDialog();
  // Re-reads every control from the model.
  void RefreshFromModel();
  // Re-reads the adapter list and its choice (the interfaces changed).
  void RefreshInterfaceList();

  // The standard colour dialog by default; tests put the user's answer here.
  void SetColourDialog(ColourDialog dialog);
  // QDesktopServices by default.
  void SetUrlOpener(UrlOpener opener);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Page builders (settings_dialog_pages.cpp).
  void BuildFrame();
  QWidget* BuildDisplayPage();
  QWidget* BuildLinePage();
  QWidget* BuildProxyPage();
  QWidget* BuildDrivePage();
  QWidget* BuildOtherPage();
  QWidget* BuildVersionPage();
  void ConnectControls();

  // Handlers.
  void OnItemTicked(int row);
  void OnItemSelected();
  void OnItemColour(RowColour which);
  void OnDriveTicked(int row);
  void OnDriveSelected();
  void OnDriveColour(RowColour which);
  void OnSwatch(int i);
  void OnSave();
  void OnOpenHomePage();

  // Partial refreshes.
  void RefreshItemList();
  void RefreshDriveList();
  void RefreshItemPreview();
  void RefreshDrivePreview();
  void RefreshCaptions();
  void RefreshSwatches();
  void RefreshToolbarBoxes();
  void RefreshProxyList();
  void RefreshStatus();

  std::optional<std::uint32_t> ChooseColour(std::uint32_t initial);
  void KeepOnScreen();

  SettingsModel& model_;
  GradientImages& gradients_;
  std::filesystem::path settingsFile_;
  DialogHooks hooks_;
  std::unique_ptr<TextCodec> codec_;
  ColourDialog colourDialog_;
  UrlOpener urlOpener_;

  // Frame of the dialog.
  QTabWidget* tabs_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
  QPushButton* sizeResetButton_ = nullptr;
  QPushButton* positionResetButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;

  // 表示設定
  QTreeWidget* itemList_ = nullptr;
  QPushButton* moveUpButton_ = nullptr;
  QPushButton* moveDownButton_ = nullptr;
  QButtonGroup* graphSourceGroup_ = nullptr;
  QLabel* itemPreview_ = nullptr;
  std::array<QPushButton*, 3> itemColourButtons_{};
  std::array<QPushButton*, 4> totalButtons_{};
  QButtonGroup* hddUnitGroup_ = nullptr;

  // 回線設定
  QGroupBox* sendFrame_ = nullptr;
  QGroupBox* receiveFrame_ = nullptr;
  QSlider* sendSlider_ = nullptr;
  QSlider* receiveSlider_ = nullptr;
  QButtonGroup* rateUnitGroup_ = nullptr;
  QButtonGroup* presetGroup_ = nullptr;
  QComboBox* adapterCombo_ = nullptr;
  QCheckBox* adapterAutoBox_ = nullptr;

  // プロキシ
  QLineEdit* proxyEdit_ = nullptr;
  QPushButton* addProxyButton_ = nullptr;
  QListWidget* proxyList_ = nullptr;
  QPushButton* removeProxyButton_ = nullptr;
  QCheckBox* proxyMenuBox_ = nullptr;

  // HDD
  QTreeWidget* driveList_ = nullptr;
  QLabel* drivePreview_ = nullptr;
  std::array<QPushButton*, 3> driveColourButtons_{};

  // その他の設定
  QGroupBox* intervalFrame_ = nullptr;
  QSlider* intervalSlider_ = nullptr;
  QButtonGroup* alwaysOnTopGroup_ = nullptr;
  QButtonGroup* mouseOverGroup_ = nullptr;
  QButtonGroup* drawModeGroup_ = nullptr;
  QCheckBox* versionCheckBox_ = nullptr;
  QCheckBox* toolbarBox_ = nullptr;
  std::array<QCheckBox*, 4> toolbarReadingBoxes_{};
  std::array<QPushButton*, 8> swatches_{};
  QCheckBox* ipCopyBox_ = nullptr;

  // バージョン情報
  QLabel* homeLink_ = nullptr;
};

}  // namespace mirel
