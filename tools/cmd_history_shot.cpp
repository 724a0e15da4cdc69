// mirel9x-tool history-shot: the history window over a history file, as
// the program shows it, saved as PNG: for the README's picture and for
// looking at the window without a running monitor. The clock is the time
// given, so a fixed file gives a fixed picture.
#include <QApplication>
#include <QEventLoop>
#include <QTabBar>
#include <QTimer>
#include <iostream>

#include "drawing/gradient.h"
#include "drawing/strip_font.h"
#include "platform/atomic_file.h"
#include "readings/history_store.h"
#include "settings/item_catalogue.h"
#include "settings/settings_file.h"
#include "settings/user_preferences.h"
#include "shell/qt/history_window.h"
#include "shell/qt/qt_translation.h"
#include "tools/tool_command.h"

namespace mirel::tool {
namespace {

constexpr const char* kUsage =
    "history-shot --file FILE --settings SETTINGS --out PNG [--at TIME] [--table "
    "5分|時間|日|月|年] "
    "[--iface NAME] [--preferences FILE] [--hold MS]   the history window over FILE, drawn in the "
    "colours of SETTINGS (設定.ini) as of TIME";

int Run(const Args& args) {
  std::string file, settingsFile, out, iface, preferencesFile;
  std::int64_t at = 0;
  int hold = 0;
  HistoryTable table = HistoryTable::kDays;
  for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
    const std::string& key = args[i];
    const std::string& value = args[i + 1];
    if (key == "--file") {
      file = value;
    } else if (key == "--settings") {
      settingsFile = value;
    } else if (key == "--out") {
      out = value;
    } else if (key == "--iface") {
      iface = value;
    } else if (key == "--preferences") {
      preferencesFile = value;
    } else if (key == "--hold") {
      hold = std::atoi(value.c_str());
    } else if (key == "--at" && ParseLocalTime(value)) {
      at = ParseLocalTime(value)->begin;
    } else if (key == "--table") {
      bool known = false;
      for (HistoryTable t : kHistoryTables) {
        if (value == HistoryTableCaption(t) || value == HistoryTableKey(t)) table = t, known = true;
      }
      if (!known) file.clear();
    } else {
      file.clear();
      break;
    }
  }
  if (file.empty() || settingsFile.empty() || out.empty() || args.size() % 2 != 0) {
    std::cerr << "usage: mirel9x-tool " << kUsage << "\n";
    return 2;
  }

  auto codec = MakeAnsiCodec();
  SettingsModel model;
  LoadResult loaded = LoadSettings(settingsFile, *codec, model);
  if (!loaded.ok) {
    std::cerr << loaded.error << "\n";
    return 1;
  }
  BuildItemRows(model, loaded.packed);
  GradientImages gradients;
  RenderAllGradients(model, gradients);
  StripFontLoad font = StripFont::Open();
  if (!font.font) {
    std::cerr << font.error << "\n";
    return 1;
  }
  HistorySettings history;
  if (!preferencesFile.empty()) {
    PreferencesLoad prefs = LoadUserPreferences(PathFromUtf8(preferencesFile));
    if (!prefs.error.empty()) {
      std::cerr << prefs.error << "\n";
      return 1;
    }
    history = ReadHistorySettings(prefs.preferences);
  }
  HistoryOpen opened = HistoryStore::OpenForReading(PathFromUtf8(file));
  if (!opened.store) {
    std::cerr << "history-shot: " << opened.message << "\n";
    return 1;
  }
  if (at == 0) at = std::time(nullptr);

  int argc = 1;
  char name[] = "mirel9x-tool";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  const std::unique_ptr<QTranslator> qtTexts = InstallQtJapanese();
  HistoryWindowHooks hooks;
  hooks.store = [&] { return opened.store.get(); };
  hooks.unavailable = [] { return std::string(); };
  hooks.flush = [] {};
  hooks.nowSeconds = [at] { return at; };
  hooks.settings = [&] { return history; };
  hooks.settingsChanged = [](const HistorySettings&) { return std::string(); };
  hooks.notificationsShown = [] { return true; };
  HistoryWindow window(hooks, model, gradients, *font.font);
  window.move(40, 40);
  window.Open();
  window.Show(table, iface, at);
  QEventLoop loop;
  QTimer::singleShot(hold > 0 ? hold : 100, &loop, &QEventLoop::quit);
  if (hold > 0) std::cout << "showing the history window" << std::endl;
  loop.exec();
  if (!window.grab().save(QString::fromStdString(out), "PNG")) {
    std::cerr << "history-shot: cannot write " << out << "\n";
    return 1;
  }
  return 0;
}

Register reg("history-shot", &Run, kUsage);

}  // namespace
}  // namespace mirel::tool
