// mirel9x-tool dialog --settings FILE --out OUT [--drives NAME...] [STEP...]
//   STEP: --select LIST ROW | --tick LIST ROW | --untick LIST ROW |
//         --colour SWATCH INDEX VALUE | --press BUTTON [INDEX] | --dialog X Y
//
// What the program writes when a user makes these changes in the settings
// dialog: the program's own start-up runs on a copy of FILE (written to OUT)
// with a shell that has no windows, fixed readings (the drives named) and an
// empty browser store; "オプション" opens the dialog, and each step is a
// dialog event through the dialog's control table, in order (--colour
// presses the swatch and the colour chooser answers VALUE; --dialog is the
// window manager placing the dialog); a refresh tick follows each step, as
// the timer's would. Prints the status line at the end.
// The end-to-end test of the Windows program compares its saved file with
// what this writes.
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "behaviour/dialog_controls.h"
#include "behaviour/program.h"
#include "behaviour/shell.h"
#include "readings/fixed_sources.h"
#include "tools/tool_command.h"

namespace mirel::tool {

namespace {

constexpr const char* kUsage =
    "dialog --settings FILE --out OUT [--drives NAME...] [--select LIST ROW] [--tick LIST ROW]\n"
    "       [--untick LIST ROW] [--colour SWATCH INDEX VALUE] [--press BUTTON [INDEX]] "
    "[--dialog X Y]";

// A desktop of one 1280 x 800 screen with no windows: it keeps what the
// program asks of the monitor window and answers the colour chooser.
class WindowlessShell : public Shell {
 public:
  std::optional<std::uint32_t> colour;
  std::string status;

  void ShowMessage(MessageIcon, const std::string& text) override { std::cerr << text << "\n"; }
  void RaiseMessage() override {}
  void ShowNotice(const std::string&) override {}
  void SetClipboardText(const std::string&) override {}
  void OpenUrl(const std::string&) override {}
  std::optional<std::uint32_t> ChooseColour(std::uint32_t) override {
    return std::exchange(colour, std::nullopt);
  }
  FetchReply HttpGet(const std::string&, std::chrono::milliseconds) override {
    FetchReply none;
    none.error = "no network here";
    return none;
  }
  std::vector<ScreenArea> Screens() override {
    return {{{0, 0, 1280, 800}, {0, 0, 1280, 772}, true}};
  }
  void Quit(int) override {}
  void AddTrayIcon(const std::string&) override {}
  void RemoveTrayIcon() override {}
  bool TrayIconShown() override { return true; }
  bool PlacesWindows() override { return true; }
  bool CursorPositionKnown() override { return true; }
  void SetMonitorRect(const PixelRect& rect) override { monitor_ = rect; }
  PixelRect MonitorRect() override { return monitor_; }
  void ResizeMonitor(int width, int height) override {
    monitor_.width = width;
    monitor_.height = height;
  }
  void SetMonitorTopmost(bool) override {}
  void SetMonitorResizable(bool) override {}
  void ShowMonitor() override { shown_ = true; }
  void HideMonitor() override { shown_ = false; }
  void RaiseMonitor() override {}
  bool MonitorShownOnScreen() override { return shown_; }
  void SetMonitorVeiled(bool) override {}
  void PaintMonitor(const Canvas&, int, const std::vector<RowSpan>*) override {}
  std::optional<PixelPoint> CursorPosition() override { return std::nullopt; }
  PixelRect MonitorDeviceRect() override { return monitor_; }
  void SetToolbarShown(bool) override {}
  void SetToolbarCaption(const std::string&) override {}
  void StartRefreshTimer(int) override {}
  void StopRefreshTimer() override {}
  void StartUpkeepTimer(int) override {}
  void StopUpkeepTimer() override {}
  void WatchDescriptor(std::intptr_t) override {}
  void StopWatchingDescriptor() override {}
  void StartNetworkTimer(int) override {}
  void StopNetworkTimer() override {}
  void OpenDialog(const DialogOpening&) override {}
  void CloseDialog() override {}
  void RefreshDialog(DialogParts) override {}

 private:
  PixelRect monitor_;
  bool shown_ = false;
};

int Number(const std::string& text) {
  std::size_t used = 0;
  const long value = std::stol(text, &used);
  if (used != text.size()) throw std::invalid_argument(text);
  return static_cast<int>(value);
}

const DialogControl& Control(const std::string& name) {
  const DialogControl* c = FindDialogControl(name);
  if (c == nullptr) throw std::invalid_argument("no control " + name);
  return *c;
}

int Run(const Args& args) {
  std::string settings, out;
  std::size_t i = 0;
  auto value = [&](std::size_t k) -> const std::string& {
    if (k >= args.size()) throw std::invalid_argument("missing value");
    return args[k];
  };
  auto system = std::make_unique<FixedSystemSource>();
  // Options first, steps after them.
  for (; i < args.size(); ++i) {
    if (args[i] == "--settings") {
      settings = value(++i);
    } else if (args[i] == "--out") {
      out = value(++i);
    } else if (args[i] == "--drives") {
      while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
        system->drives.push_back({1, 1, args[++i], 0});
      }
    } else {
      break;
    }
  }
  if (settings.empty() || out.empty()) {
    std::cerr << "usage: mirel9x-tool " << kUsage << "\n";
    return 2;
  }
  std::error_code ec;
  std::filesystem::copy_file(settings, out, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) {
    std::cerr << "cannot copy " << settings << " to " << out << ": " << ec.message() << "\n";
    return 1;
  }

  WindowlessShell shell;
  ProgramEnvironment env;
  env.settingsFile = std::filesystem::path(out);
  env.configDir = std::filesystem::path(out).parent_path();
  env.system = std::move(system);
  env.store = std::make_unique<FixedBrowserStore>();
  Program program(shell, std::move(env));
  if (std::optional<int> status = program.Start()) return *status == 0 ? 1 : *status;
  program.RefreshTick();
  const MenuModel& menu = program.OpenMenu(MenuOwner::kTray);
  const MenuEntry* options = menu.FindNamed("option");
  if (options == nullptr) return 1;
  program.ChooseMenuEntry(MenuOwner::kTray, options->id);

  try {
    for (; i < args.size(); ++i) {
      const std::string& step = args[i];
      DialogEvents& dialog = program.dialog();
      if (step == "--select") {
        dialog.RowSelected(Control(value(i + 1)), Number(value(i + 2)));
        i += 2;
      } else if (step == "--tick" || step == "--untick") {
        dialog.RowTicked(Control(value(i + 1)), Number(value(i + 2)), step == "--tick");
        i += 2;
      } else if (step == "--colour") {
        shell.colour = static_cast<std::uint32_t>(Number(value(i + 3)));
        dialog.Pressed(Control(value(i + 1)), Number(value(i + 2)));
        i += 3;
      } else if (step == "--press") {
        const bool indexed = i + 2 < args.size() && args[i + 2].rfind("--", 0) != 0;
        dialog.Pressed(Control(value(i + 1)), indexed ? Number(args[i + 2]) : 0);
        i += indexed ? 2 : 1;
      } else if (step == "--dialog") {
        dialog.Moved(PixelPoint{Number(value(i + 1)), Number(value(i + 2))});
        i += 2;
      } else {
        throw std::invalid_argument("unknown step " + step);
      }
      // The refresh timer runs between the user's steps: the monitor window
      // follows a change (fitted to a new stack) before the next one.
      program.RefreshTick();
    }
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\nusage: mirel9x-tool " << kUsage << "\n";
    return 2;
  }
  std::cout << program.settings().statusText << "\n";
  return 0;
}

Register reg("dialog", &Run, kUsage);

}  // namespace

}  // namespace mirel::tool
