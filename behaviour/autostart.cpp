#include "behaviour/autostart.h"

#include <system_error>

#include "behaviour/settings_commands.h"
#include "platform/atomic_file.h"
#include "settings/char_text.h"

namespace mirel {

namespace fs = std::filesystem;

namespace {

// The same names and comments as the installed desktop entry.
constexpr const char* kEntryHead =
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=Mirel9x\n"
    "Name[ja]=Mirel君9x\n"
    "Comment=Processor, memory, network rates, IP addresses and the browser proxy in a small "
    "window\n"
    "Comment[ja]=CPU使用率・メモリ・通信速度・IPアドレス・ブラウザのプロキシを小さなウィンドウに"
    "表示します\n";

constexpr const char* kCannotWrite = "自動起動の設定を書き込めませんでした: ";
constexpr const char* kCannotRemove = "自動起動の設定を削除できませんでした: ";

// Characters that make the Exec line split or expand an argument unless it is
// quoted.
bool IsReservedInExec(char c) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  return kReserved.find(c) != std::string_view::npos;
}

}  // namespace

fs::path AutostartEntryFile(const fs::path& configHome) {
  return configHome / "autostart" / (std::string(kAppId) + ".desktop");
}

std::string DesktopExecArgument(std::string_view argument) {
  bool quote = argument.empty();
  for (char c : argument) quote = quote || IsReservedInExec(c);
  std::string out;
  if (quote) out += '"';
  for (char c : argument) {
    if (c == '%') {
      out += "%%";
      continue;
    }
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    out += c;
  }
  if (quote) out += '"';
  return out;
}

std::string DesktopStringValue(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A launcher checks that the program of the Exec line exists before it
// expands "%%" to "%" (GLib's and systemd's do), so a program whose path has
// a % is started through env, which is always there: the path is then an
// argument, which every launcher expands.
constexpr const char* kExecThroughEnv = "/usr/bin/env";

bool NeedsEnv(std::string_view path) {
  return path.find('%') != std::string_view::npos;
}

std::string AutostartEntryText(const fs::path& program) {
  const std::string path = PathText(program);
  std::string exec = DesktopExecArgument(path);
  if (NeedsEnv(path)) exec = std::string(kExecThroughEnv) + " " + exec;
  std::string text = kEntryHead;
  text += "Icon=" + std::string(kAppId) + "\n";
  text += "Exec=" + DesktopStringValue(exec) + "\n";
  // Desktops skip the entry once the program is gone (uninstalled, moved).
  text += "TryExec=" + DesktopStringValue(path) + "\n";
  text += "Terminal=false\n";
  text += "X-GNOME-Autostart-enabled=true\n";
  return text;
}

AutostartResult EnableAutostart(const fs::path& entryFile, const fs::path& program) {
  AutostartResult result;
  const std::string path = PathText(program);
  if (!DecodeUtf8(path)) {
    // A desktop entry is UTF-8 text: such a path cannot be written into it.
    result.message = kCannotWrite + std::string("プログラムのパスがUTF-8ではありません: ") + path;
    return result;
  }
  if (!program.is_absolute()) {
    result.message =
        kCannotWrite + std::string("プログラムのパスが絶対パスではありません: ") + path;
    return result;
  }
  if (NeedsEnv(path) && path.find('=') != std::string::npos) {
    // env would take such a path for a variable to set.
    result.message = kCannotWrite +
                     std::string(
                         "プログラムのパスに % と = の両方が含まれていて、"
                         "デスクトップが起動できる形で書けません。"
                         "% か = を含まないフォルダに移してから、もう一度設定してください: ") +
                     path;
    return result;
  }
  std::error_code ec;
  fs::create_directories(entryFile.parent_path(), ec);
  if (ec) {
    result.message = kCannotWrite + PathText(entryFile.parent_path()) + ": " + ec.message();
    return result;
  }
  const std::string failure = WriteFileAtomically(entryFile, AutostartEntryText(program));
  if (!failure.empty()) {
    result.message = kCannotWrite + failure;
    return result;
  }
  result.ok = true;
  result.message = "ログイン時に自動起動するよう設定しました: " + PathText(entryFile);
  return result;
}

AutostartResult DisableAutostart(const fs::path& entryFile) {
  AutostartResult result;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(entryFile, ec);
  if (status.type() == fs::file_type::not_found) {
    result.ok = true;
    result.message = "ログイン時の自動起動は設定されていません: " + PathText(entryFile);
    return result;
  }
  if (status.type() == fs::file_type::directory) {
    // fs::remove would take an empty folder of that name with it.
    result.message = kCannotRemove + PathText(entryFile) + ": ファイルではなくフォルダです";
    return result;
  }
  if (!fs::remove(entryFile, ec) && ec) {
    result.message = kCannotRemove + PathText(entryFile) + ": " + ec.message();
    return result;
  }
  result.ok = true;
  result.message = "ログイン時の自動起動を解除しました: " + PathText(entryFile);
  return result;
}

int RunAutostart(bool on, const fs::path& configHome, const fs::path& program, std::ostream& out,
                 std::ostream& err, const std::string& webCheckBase,
                 const fs::path& preferencesFile) {
  if (!webCheckBase.empty()) {
    const std::string failure = StoreWebCheckBase(preferencesFile, webCheckBase);
    if (!failure.empty()) {
      err << "問い合わせ先を保存できませんでした: " << failure << "\n";
      return 1;
    }
    out << "問い合わせ先 " << webCheckBase << " を保存しました: " << PathText(preferencesFile)
        << "\n";
  }
  const fs::path entry = AutostartEntryFile(configHome);
  const AutostartResult result = on ? EnableAutostart(entry, program) : DisableAutostart(entry);
  (result.ok ? out : err) << result.message << "\n";
  return result.ok ? 0 : 1;
}

fs::path RunningProgramPath(const char* argv0) {
  std::error_code ec;
#ifdef __linux__
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && self.is_absolute()) return self;
#endif
  fs::path given = argv0 ? fs::path(argv0) : fs::path();
  fs::path absolute = fs::weakly_canonical(fs::absolute(given, ec), ec);
  return ec ? given : absolute;
}

}  // namespace mirel
