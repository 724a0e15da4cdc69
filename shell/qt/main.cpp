#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <QApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <iostream>

#include "behaviour/autostart.h"
#include "behaviour/desktop_session.h"
#include "platform/termination.h"
#include "shell/qt/application.h"
#include "shell/qt/command_line.h"
#include "shell/qt/qt_translation.h"
#include "shell/qt/single_instance.h"

int main(int argc, char** argv) {
  // Before Qt: --help, --version and --autostart need no display.
  const mirel::CommandLine line =
      mirel::ParseCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  switch (line.action) {
    case mirel::CommandLine::Action::kHelp:
      std::cout << mirel::HelpText();
      return 0;
    case mirel::CommandLine::Action::kVersion:
      std::cout << mirel::VersionText();
      return 0;
    case mirel::CommandLine::Action::kAutostart:
#ifdef _WIN32
      // The entry it writes is the freedesktop one, which Windows does not read.
      std::cerr << "mirel9x: --autostart は Linux のデスクトップ用です。Windows では、"
                   "スタートアップ フォルダ (shell:startup) にこのプログラムのショートカットを"
                   "置いてください。\n";
      return 2;
#else
      return mirel::RunAutostart(line.autostart, mirel::UserConfigDir().parent_path(),
                                 mirel::RunningProgramPath(argv[0]), std::cout, std::cerr);
#endif
    case mirel::CommandLine::Action::kError:
      std::cerr << mirel::ErrorText(line);
      return 2;
    case mirel::CommandLine::Action::kRun:
      break;
  }

  // On a Wayland session, through XWayland where it exists: only there can the
  // window keep its place and stay on top. The user's own choice wins.
  if (const std::optional<std::string> platform =
          mirel::ChooseQtPlatform(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc),
                                  mirel::ProcessEnvironment)) {
    qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(*platform));
  }
  // The monitor sends a few changed rows a second. Over the X socket they
  // need no reply; through shared memory Qt waits for the server to finish
  // the previous picture before every paint, a round trip that wakes the
  // program twice more each tick.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("mirel9x"));
  // Ties the windows to the installed desktop entry (task bars, Wayland).
  QGuiApplication::setDesktopFileName(QString::fromUtf8(mirel::kAppId));
  // The monitor and toolbar windows come and go; only "終了" ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  // The interface is Japanese whatever the locale says.
  const std::unique_ptr<QTranslator> qtTexts = mirel::InstallQtJapanese();
  // SIGTERM (at logout), SIGINT and SIGHUP end the program as "終了" does,
  // once the event loop takes them in.
  const std::unique_ptr<mirel::TerminationRequests> termination = mirel::WatchTerminationRequests();

#ifdef _WIN32
  // Named pipes are seen by every session of the machine: the session number
  // and the user name keep the users of one machine apart.
  DWORD session = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &session);
  mirel::SingleInstance instance(
      mirel::SingleInstance::RuntimeFolder(),
      mirel::SingleInstance::SessionName(session, mirel::ProcessEnvironment("USERNAME")));
#else
  std::optional<std::string> display = line.display;
  if (!display) display = mirel::ProcessEnvironment("DISPLAY");
  if (!display) display = mirel::ProcessEnvironment("WAYLAND_DISPLAY");
  mirel::SingleInstance instance(mirel::SingleInstance::RuntimeFolder(),
                                 mirel::SingleInstance::SessionName(::getuid(), display));
#endif
  switch (instance.TryClaim()) {
    case mirel::SingleInstance::Claim::kForwarded:
      return 0;
    case mirel::SingleInstance::Claim::kUnreachable:
      std::cerr << "mirel9x: すでに起動しているモニタが応答しません (" +
                       instance.lockPath().toStdString() + ")\n";
      return 1;
    case mirel::SingleInstance::Claim::kFirst:
      break;
  }

  mirel::AppEnvironment env;
  // Through UTF-16: a path made from 8-bit text would be taken in the ANSI
  // code page on Windows, and a program folder with other characters lost.
  env.executableDir =
      QFileInfo(QCoreApplication::applicationFilePath()).absolutePath().toStdU16String();
  env.webCheckBase = line.webCheckBase;
  mirel::Application program(std::move(env));
  instance.onActivate = [&program] { program.BringToFront(); };
  std::unique_ptr<QSocketNotifier> terminationNotifier;
  if (termination) {
    terminationNotifier = std::make_unique<QSocketNotifier>(
        static_cast<qintptr>(termination->Descriptor()), QSocketNotifier::Read);
    QObject::connect(terminationNotifier.get(), &QSocketNotifier::activated, [&] {
      if (termination->Take()) program.Exit();
    });
  }
  if (std::optional<int> status = program.Start()) return *status;
  return QApplication::exec();
}
