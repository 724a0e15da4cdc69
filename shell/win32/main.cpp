// The Windows program: the command line, one monitor per session and user,
// then the Win32 shell around the program's behaviour.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "behaviour/command_line.h"
#include "behaviour/program.h"
#include "behaviour/single_instance_rule.h"
#include "drawing/strip_font.h"
#include "platform/instance_guard.h"
#include "platform/windows/wide_text.h"
#include "settings/settings_model.h"
#include "shell/win32/win32_shell.h"

namespace {

// How long a later start waits for the running monitor to answer.
constexpr std::chrono::milliseconds kClaimWait{5000};

using mirel::windows_source::Narrow;
using mirel::windows_source::Widen;

// A program without a console: text goes to whatever the standard stream is
// (a pipe or file of a script, the console of a command prompt), else to a
// message box.
void Tell(const std::string& text, bool error) {
  HANDLE stream = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (stream == nullptr || stream == INVALID_HANDLE_VALUE) {
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
      stream = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    }
  }
  if (stream != nullptr && stream != INVALID_HANDLE_VALUE) {
    DWORD mode = 0;
    if (GetConsoleMode(stream, &mode)) {
      const std::wstring wide = Widen(text);
      DWORD written = 0;
      WriteConsoleW(stream, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
      return;
    }
    DWORD written = 0;
    if (WriteFile(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return;
  }
  MessageBoxW(nullptr, Widen(text).c_str(), Widen(mirel::kProgramTitle).c_str(),
              MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}

std::vector<std::string> Arguments() {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> out;
  for (int i = 1; i < count; ++i) out.push_back(Narrow(args[i]));
  LocalFree(args);
  return out;
}

std::filesystem::path ProgramFolder() {
  std::wstring file(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, file.data(), static_cast<DWORD>(file.size()));
    if (n < file.size()) {
      file.resize(n);
      break;
    }
    file.resize(file.size() * 2);
  }
  return std::filesystem::path(file).parent_path();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const mirel::CommandLine line = mirel::ParseCommandLine(Arguments(), {});
  switch (line.action) {
    case mirel::CommandLine::Action::kHelp:
      Tell(mirel::HelpText(), false);
      return 0;
    case mirel::CommandLine::Action::kVersion:
      Tell(mirel::VersionText(), false);
      return 0;
    case mirel::CommandLine::Action::kAutostart:
      // The entry it writes on Linux is the desktop's; on Windows the
      // installer's option makes the shortcut in the Startup folder.
      Tell(
          "mirel9x: --autostart は Linux のデスクトップ用です。Windows では、インストーラの"
          "「ログオン時に起動する」を選ぶか、スタートアップ フォルダ (shell:startup) にこの"
          "プログラムのショートカットを置いてください。\n",
          true);
      return 2;
    case mirel::CommandLine::Action::kError:
      Tell(mirel::ErrorText(line), true);
      return 2;
    case mirel::CommandLine::Action::kRun:
      break;
  }

  // Named objects are seen by the whole session: the user name keeps the
  // users that share one apart.
  DWORD session = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &session);
  const std::unique_ptr<mirel::InstanceGuard> guard =
      mirel::MakeInstanceGuard(mirel::PrivateRuntimeFolder(),
                               mirel::InstanceName(session, mirel::ProcessEnvironment("USERNAME")));
  const mirel::ClaimOutcome claim = mirel::AfterClaim(
      guard->Claim(kClaimWait), mirel::windows_source::Narrow(guard->LockPath().native()));
  if (!claim.run) {
    if (!claim.message.empty()) Tell(claim.message, true);
    return claim.exitStatus;
  }

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES |
                                                     ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                     ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  mirel::win32::Win32Shell shell(instance);
  if (!shell.Create()) {
    Tell("mirel9x: ウインドウを作れません。\n", true);
    return 1;
  }
  mirel::ProgramEnvironment env;
  env.executableDir = ProgramFolder();
  // Windows has no copy of the strip fonts: they come with the program.
  const std::filesystem::path fonts = env.executableDir / L"fonts";
  env.openFont = [fonts] { return mirel::StripFont::OpenFromFolder(fonts); };
  env.webCheckBase = line.webCheckBase;
  mirel::Program program(shell, std::move(env));
  shell.Attach(program);
  // A later start's request to come forward.
  if (guard->Descriptor() != -1) {
    shell.WatchHandle(reinterpret_cast<HANDLE>(guard->Descriptor()),
                      [&guard, &program] { guard->Serve([&program] { program.BringToFront(); }); });
  }
  if (std::optional<int> status = program.Start()) return *status;
  return shell.Run();
}
