#include "behaviour/command_line.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "readings/web_check.h"
#include "settings/settings_model.h"
#include "settings/user_preferences.h"

namespace mirel {

namespace {

// One option of ours. `apply` takes the value (empty for an option without
// one) and where it came from (for the error text), and returns what is
// wrong with it, or nothing.
struct OptionRow {
  const char* name;         // with its dashes
  const char* alias;        // a short form, or nullptr
  const char* valueName;    // nullptr: the option takes no value
  const char* environment;  // a variable that gives the value when the option is absent
  std::string help;         // may span lines; HelpText indents the later ones
  std::function<std::optional<std::string>(CommandLine&, const std::string& value,
                                           const std::string& from)>
      apply;
};

std::optional<std::string> WebCheckBaseError(const std::string& value, const std::string& from) {
  if (IsUsableWebCheckBase(value)) return std::nullopt;
  return from + " の値「" + value +
         "」は使えません: http:// または https:// で始まり、ホスト名があり、? や # "
         "のないアドレスを指定してください";
}

const std::vector<OptionRow>& OptionTable() {
  static const std::vector<OptionRow> table = {
      {"--webcheck-base", nullptr, "URL", kWebCheckBaseVariable,
       std::string("最新版確認とグローバルIPアドレスの問い合わせ先。\n"
                   "http:// または https:// で始まり、/cgi-bin/ の前までを指定します。\n"
                   "環境変数 ") +
           kWebCheckBaseVariable +
           " でも指定できます (このオプションが優先)。\n"
           "--autostart と一緒に指定すると、設定の「バージョン情報」の\n"
           "問い合わせ先として保存します。",
       [](CommandLine& line, const std::string& value,
          const std::string& from) -> std::optional<std::string> {
         if (auto error = WebCheckBaseError(value, from)) return error;
         line.webCheckBase = value;
         return std::nullopt;
       }},
      {"--autostart", nullptr, "on|off", nullptr,
       "ログイン時に自動起動する (on)・しない (off) を設定して終了します。",
       [](CommandLine& line, const std::string& value,
          const std::string&) -> std::optional<std::string> {
         if (value != "on" && value != "off")
           return "--autostart には on か off を指定してください";
         line.autostart = value == "on";
         if (line.action == CommandLine::Action::kRun)
           line.action = CommandLine::Action::kAutostart;
         return std::nullopt;
       }},
      {"--version", nullptr, nullptr, nullptr, "バージョンを表示して終了します。",
       [](CommandLine& line, const std::string&, const std::string&) -> std::optional<std::string> {
         if (line.action == CommandLine::Action::kRun) line.action = CommandLine::Action::kVersion;
         return std::nullopt;
       }},
      {"--help", "-h", nullptr, nullptr, "この説明を表示して終了します。",
       [](CommandLine& line, const std::string&, const std::string&) -> std::optional<std::string> {
         line.action = CommandLine::Action::kHelp;
         return std::nullopt;
       }},
  };
  return table;
}

const ToolkitOption* FindToolkitOption(std::span<const ToolkitOption> options,
                                       std::string_view name) {
  for (const ToolkitOption& option : options) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

std::string_view WithoutDashes(std::string_view arg) {
  arg.remove_prefix(arg.starts_with("--") ? 2 : 1);
  return arg;
}

}  // namespace

std::optional<std::string> ProcessEnvironment(const char* name) {
  if (const char* value = std::getenv(name)) return std::string(value);
  return std::nullopt;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args,
                             std::span<const ToolkitOption> toolkit, const EnvironmentLookup& env) {
  CommandLine line;
  std::vector<const OptionRow*> given;
  auto fail = [&line](std::string error) {
    line.action = CommandLine::Action::kError;
    line.error = std::move(error);
    return line;
  };

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg[0] != '-') return fail("余分な引数「" + arg + "」があります");

    // --name=value or --name value.
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const std::optional<std::string> inlineValue =
        equals == std::string::npos ? std::nullopt : std::optional(arg.substr(equals + 1));

    const OptionRow* option = nullptr;
    for (const OptionRow& candidate : OptionTable()) {
      if (name == candidate.name || (candidate.alias && name == candidate.alias))
        option = &candidate;
    }
    if (option) {
      given.push_back(option);
      std::string value;
      if (option->valueName) {
        if (inlineValue) {
          value = *inlineValue;
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          return fail(std::string(option->name) + " には " + option->valueName +
                      " を続けてください");
        }
      } else if (inlineValue) {
        return fail(std::string(option->name) + " は値を取りません");
      }
      if (std::optional<std::string> error = option->apply(line, value, option->name)) {
        return fail(*error);
      }
      continue;
    }

    if (const ToolkitOption* foreign = FindToolkitOption(toolkit, WithoutDashes(name))) {
      // Its value is the toolkit's too, whatever it looks like.
      if (foreign->takesValue && !inlineValue && i + 1 < args.size()) {
        const std::string& value = args[++i];
        if (foreign->name == "display") line.display = value;
      } else if (foreign->name == "display" && inlineValue) {
        line.display = *inlineValue;
      }
      continue;
    }
    return fail("不明なオプション「" + arg + "」です");
  }

  // Variables stand in for options the command line did not give (nothing
  // to check when it only asks for help or the version).
  if (line.action != CommandLine::Action::kRun || !env) return line;
  for (const OptionRow& row : OptionTable()) {
    if (!row.environment || std::find(given.begin(), given.end(), &row) != given.end()) continue;
    const std::optional<std::string> value = env(row.environment);
    if (!value || value->empty()) continue;
    if (auto error = row.apply(line, *value, std::string("環境変数 ") + row.environment)) {
      return fail(*error);
    }
  }
  return line;
}

std::string HelpText(const std::string& toolkitNote) {
  std::string text = std::string("使い方: mirel9x [オプション]\n\n") + kProgramTitle + " " +
                     kVersionLabel +
                     " — デスクトップに常駐する小さなモニタです。\n"
                     "すでに起動しているときは、そのモニタを手前に出して終了します。\n\n"
                     "オプション:\n";
  constexpr std::size_t kColumn = 24;
  for (const OptionRow& row : OptionTable()) {
    std::string head =
        std::string("  ") + (row.alias ? row.alias + std::string(", ") : "") + row.name;
    if (row.valueName) head += std::string(" ") + row.valueName;
    head.resize(std::max(head.size() + 2, kColumn), ' ');
    text += head;
    for (const char c : std::string_view(row.help)) {
      text += c;
      if (c == '\n') text += std::string(kColumn, ' ');
    }
    text += "\n";
  }
  // Where the address comes from when the command line gives none.
  text +=
      std::string("\n問い合わせ先は、--webcheck-base、環境変数 ") + kWebCheckBaseVariable +
      "、設定の「バージョン情報」(" + kPreferencesFileName + " の " + kWebCheckBaseKey +
      ")、ビルドの既定値 (" + (*kDefaultWebCheckBase ? kDefaultWebCheckBase : "なし") +
      ") の順に決まります。\nどれもなければ問い合わせず、IPアドレスは「未設定」と表示します。\n";
  if (!toolkitNote.empty()) text += toolkitNote + "\n";
  return text;
}

std::string VersionText() {
  return std::string("mirel9x (") + kProgramTitle + ") " + kVersionLabel + "\n";
}

std::string ErrorText(const CommandLine& line) {
  return "mirel9x: " + line.error + "\n使い方は mirel9x --help で表示します。\n";
}

}  // namespace mirel
