// mirel9x-tool webcheck: runs the start-up web check against a given site
// and prints what start-up would keep, plus the paths it asked for.
#include <QCoreApplication>
#include <charconv>
#include <chrono>
#include <iostream>
#include <memory>

#include "platform/platform.h"
#include "readings/web_check.h"
#include "settings/item_catalogue.h"
#include "settings/settings_file.h"
#include "shell/qt/http_fetcher.h"
#include "tools/tool_command.h"

namespace mirel::tool {

namespace {

constexpr const char* kUsage =
    "webcheck --base URL --settings FILE [--timeout-ms N]\n"
    "      run the start-up version check and address lookup; prints globalIp=,\n"
    "      pageState=, latestVersion=, notice= and requests= (paths in order)";

// Keeps the output one value per line: line breaks and other control
// characters in a reply are shown escaped.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (u < 0x20 || u == 0x7F) {
      static const char* hex = "0123456789abcdef";
      out += "\\x";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

int Run(const Args& args) {
  std::string base;
  std::string settings;
  long long timeoutMs = HttpFetcher::kDefaultTimeout.count();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--base" && hasValue) {
      base = args[++i];
    } else if (a == "--settings" && hasValue) {
      settings = args[++i];
    } else if (a == "--timeout-ms" && hasValue) {
      const std::string& v = args[++i];
      auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), timeoutMs);
      if (ec != std::errc() || end != v.data() + v.size() || timeoutMs <= 0) {
        std::cerr << "webcheck: --timeout-ms needs a positive number of milliseconds\n";
        return 2;
      }
    } else {
      std::cerr << "usage: mirel9x-tool " << kUsage << "\n";
      return 2;
    }
  }
  if (base.empty() || settings.empty()) {
    std::cerr << "usage: mirel9x-tool " << kUsage << "\n";
    return 2;
  }
  if (!IsUsableWebCheckBase(base)) {
    std::cerr << "webcheck: --base must be an http:// or https:// address with a host: " << base
              << "\n";
    return 2;
  }

  std::unique_ptr<QCoreApplication> app;
  if (!QCoreApplication::instance()) {
    static int argc = 1;
    static char name[] = "mirel9x-tool";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QCoreApplication>(argc, argv);
  }

  const std::unique_ptr<TextCodec> codec = MakeAnsiCodec();
  // As start-up does: the settings file, then the item rows from it.
  SettingsModel model;
  const LoadResult loaded = LoadSettings(settings, *codec, model);
  if (!loaded.ok) {
    std::cerr << "webcheck: " << loaded.error << "\n";
    return 1;
  }
  BuildItemRows(model, loaded.packed);

  HttpFetcher fetcher(base, std::chrono::milliseconds(timeoutMs));
  WebCheckResults results;
  const WebCheckReport report = RunWebCheck(model, *codec, fetcher.AsFetch(), results);
  if (report.failed) std::cerr << "webcheck: " << report.failure << "\n";

  std::cout << "globalIp=" << OneLine(results.globalIp) << "\n";
  std::cout << "pageState=" << OneLine(results.pageState) << "\n";
  std::cout << "latestVersion=" << OneLine(results.latestVersion) << "\n";
  std::cout << "notice=" << OneLine(results.notice) << "\n";
  std::cout << "requests=";
  for (std::size_t i = 0; i < report.requests.size(); ++i) {
    std::cout << (i ? " " : "") << report.requests[i];
  }
  std::cout << "\n";
  return 0;
}

Register reg("webcheck", &Run, kUsage);

}  // namespace

}  // namespace mirel::tool
