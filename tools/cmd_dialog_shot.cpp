// mirel9x-tool dialog-shot SETTINGS OUTDIR [--hold MS]
// Shows the settings dialog filled from a settings file and writes one PNG
// per page (page-0.png ... page-5.png). With --hold, each page is announced
// ("showing page N") and stays on screen for MS milliseconds, long enough for
// a screenshot of the whole display.
#include <QApplication>
#include <QEventLoop>
#include <QTabWidget>
#include <QTimer>
#include <charconv>
#include <iostream>

#include "behaviour/dialog_controls.h"
#include "drawing/gradient.h"
#include "platform/platform.h"
#include "settings/item_catalogue.h"
#include "settings/settings_file.h"
#include "shell/qt/qt_translation.h"
#include "shell/qt/settings_dialog.h"
#include "tools/tool_command.h"

namespace mirel::tool {

namespace {

constexpr const char* kUsage = "dialog-shot SETTINGS OUTDIR [--hold MS]";

// The pictures need no behaviour: what the controls report goes nowhere.
class InertDialog : public DialogEvents {
 public:
  void Toggled(const DialogControl&, bool) override {}
  void Chosen(const DialogControl&, int) override {}
  void Edited(const DialogControl&, const std::string&) override {}
  void Pressed(const DialogControl&, int) override {}
  void RowTicked(const DialogControl&, int, bool) override {}
  void RowSelected(const DialogControl&, int) override {}
  void Moved(PixelPoint) override {}
  void CloseRequested() override {}
};

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

int Run(const Args& args) {
  int hold = 0;
  const bool holdOk =
      args.size() == 2 ||
      (args.size() == 4 && args[2] == "--hold" &&
       std::from_chars(args[3].data(), args[3].data() + args[3].size(), hold).ec == std::errc() &&
       hold >= 0);
  if (!holdOk) {
    std::cerr << "usage: mirel9x-tool " << kUsage << "\n";
    return 2;
  }
  auto codec = MakeAnsiCodec();
  SettingsModel model;
  LoadResult loaded = LoadSettings(args[0], *codec, model);
  if (!loaded.ok) {
    std::cerr << loaded.error << "\n";
    return 1;
  }
  // Sample machine data, so the pictures do not depend on this machine.
  model.interfaceList = {"lo", "eth0"};
  model.adapterIndex = 1;
  BuildItemRows(model, loaded.packed);
  BuildDriveRows(model, {"/", "/home"}, loaded.packed);
  model.selectedItem = 0;
  model.selectedDrive = 0;

  int argc = 1;
  char name[] = "mirel9x-tool";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  // Qt's own texts in Japanese, as the program shows them.
  const std::unique_ptr<QTranslator> qtTexts = InstallQtJapanese();
  GradientImages gradients;
  RenderAllGradients(model, gradients);

  InertDialog events;
  SettingsDialog dialog(model, gradients, events);
  dialog.move(40, 40);
  dialog.Open(false, {});
  auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("TabStrip1"));
  for (int page = 0; page < tabs->count(); ++page) {
    tabs->setCurrentIndex(page);
    Wait(50);
    if (hold > 0) {
      std::cout << "showing page " << page << std::endl;
      Wait(hold);
    }
    const QString file =
        QString::fromStdString((std::filesystem::path(args[1]) / "page-").string()) +
        QString::number(page) + ".png";
    if (!dialog.grab().save(file)) {
      std::cerr << "cannot write " << file.toStdString() << "\n";
      return 1;
    }
    std::cout << file.toStdString() << "\n";
  }
  return 0;
}

Register reg("dialog-shot", &Run, kUsage);

}  // namespace

}  // namespace mirel::tool
