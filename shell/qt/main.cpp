// The Linux program: the command line, one monitor per session, then the
// Qt shell around the program's behaviour.
#include <unistd.h>

#include <QApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <iostream>

#include "behaviour/autostart.h"
#include "behaviour/command_line.h"
#include "behaviour/desktop_session.h"
#include "behaviour/program.h"
#include "behaviour/single_instance_rule.h"
#include "platform/termination.h"
#include "settings/user_preferences.h"
#include "shell/qt/qt_options.h"
#include "shell/qt/qt_shell.h"
#include "shell/qt/qt_translation.h"
#include "shell/qt/single_instance.h"

int main(int argc, char** argv) {
  // Before Qt: --help, --version and --autostart need no display.
  const mirel::CommandLine line = mirel::ParseCommandLine(
      std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), mirel::QtOptions());
  switch (line.action) {
    case mirel::CommandLine::Action::kHelp:
      std::cout << mirel::HelpText(mirel::kQtOptionsNote);
      return 0;
    case mirel::CommandLine::Action::kVersion:
      std::cout << mirel::VersionText();
      return 0;
    case mirel::CommandLine::Action::kAutostart:
      return mirel::RunAutostart(line.autostart, mirel::UserConfigDir().parent_path(),
                                 mirel::RunningProgramPath(argv[0]), std::cout, std::cerr,
                                 line.webCheckBase,
                                 mirel::UserConfigDir() / mirel::kPreferencesFileName);
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

  mirel::SingleInstance instance(
      mirel::SingleInstance::RuntimeFolder(),
      QString::fromStdString(mirel::InstanceName(::getuid(), mirel::SessionDisplay(line.display))));
  const mirel::ClaimOutcome claim =
      mirel::AfterClaim(instance.TryClaim(), instance.lockPath().toStdString());
  if (!claim.run) {
    std::cerr << claim.message;
    return claim.exitStatus;
  }

  mirel::ProgramEnvironment env;
  env.executableDir =
      QFileInfo(QCoreApplication::applicationFilePath()).absolutePath().toStdU16String();
  env.webCheckBase = line.webCheckBase;
  mirel::QtShell shell;
  mirel::Program program(shell, std::move(env));
  shell.Connect(program);
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
