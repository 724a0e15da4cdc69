// mirel9x-tool render --settings FILE --samples SAMPLES.json --out OUT.png
//
// Runs one whole tick per entry of "ticks" with the readings of the sample
// file instead of the machine's, then writes the composed stack as a PNG and
// prints its height and the toolbar caption. A key missing from a tick keeps
// the value of the tick before, as a reading that was not taken would.
#include <QImage>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "drawing/gradient.h"
#include "drawing/monitor_engine.h"
#include "drawing/strip_font.h"
#include "readings/fixed_sources.h"
#include "readings/registry.h"
#include "readings/web_check_results.h"
#include "settings/item_catalogue.h"
#include "settings/settings_file.h"
#include "tools/tool_command.h"

namespace mirel::tool {

namespace {

constexpr const char* kUsage = "render --settings FILE --samples SAMPLES.json --out OUT.png";

using Json = nlohmann::json;

struct BadSample {
  std::string what;
};

std::uint64_t Unsigned(const Json& j, const char* key) {
  const Json& v = j.at(key);
  if (!v.is_number_unsigned())  // JSON readers keep non-negative integers unsigned
    throw BadSample{std::string("\"") + key + "\" must be a whole number of 0 or more"};
  return v.get<std::uint64_t>();
}

int Integer(const Json& j, const char* key, int low, int high) {
  const Json& v = j.at(key);
  if (!v.is_number_integer() || v.get<std::int64_t>() < low || v.get<std::int64_t>() > high)
    throw BadSample{std::string("\"") + key + "\" must be a whole number from " +
                    std::to_string(low) + " to " + std::to_string(high)};
  return v.get<int>();
}

std::string Text(const Json& j, const char* key) {
  const Json& v = j.at(key);
  if (!v.is_string()) throw BadSample{std::string("\"") + key + "\" must be a text"};
  return v.get<std::string>();
}

// "2026-12-07T12:34:56" as the clock item of a Japanese desktop shows it:
// short date, weekday, two blanks, long time.
std::string DateLineOf(const std::string& localTime) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  if (std::sscanf(localTime.c_str(), "%d-%d-%dT%d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6)
    throw BadSample{"\"localTime\" must read like 2026-12-07T12:34:56"};
  using namespace std::chrono;
  const year_month_day date{year{y}, month{static_cast<unsigned>(mo)},
                            day{static_cast<unsigned>(d)}};
  if (!date.ok() || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
    throw BadSample{"\"localTime\" is not a valid date and time"};
  static const char* const kWeekdays[] = {"日曜日", "月曜日", "火曜日", "水曜日",
                                          "木曜日", "金曜日", "土曜日"};
  const unsigned wd = weekday{sys_days{date}}.c_encoding();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %s  %02d:%02d:%02d", y, mo, d, kWeekdays[wd], h,
                mi, s);
  return buf;
}

// Where each browser value lives, and what kind the browser stores it as.
void SetRegistryValue(FixedBrowserStore& store, const std::string& name, const Json& value) {
  const char* key = (name == "1400" || name == "1402") ? kZone3Key : kInternetSettingsKey;
  if (value.is_null()) {
    store.values.erase({key, name});
    return;
  }
  std::string text;
  if (value.is_number_integer()) {
    text = std::to_string(value.get<std::int64_t>());
  } else if (value.is_string()) {
    text = value.get<std::string>();
  } else {
    throw BadSample{"registry value \"" + name + "\" must be a text, a number or null"};
  }
  const bool dword = name != "ProxyServer" && !text.empty() &&
                     text.find_first_not_of("0123456789") == std::string::npos &&
                     text.size() <= 10 && std::stoull(text) <= 0xFFFFFFFFull;
  if (dword)
    store.SetDword(key, name, static_cast<std::uint32_t>(std::stoull(text)));
  else
    store.SetString(key, name, text);
}

struct Replay {
  FixedSystemSource system;
  FixedBrowserStore store;
  WebCheckResults web;
  int intervalMs = 1000;
};

void ApplyTick(Replay& r, const Json& tick) {
  if (!tick.is_object()) throw BadSample{"every tick must be an object"};
  if (tick.contains("intervalMs")) r.intervalMs = Integer(tick, "intervalMs", 1, 600000);
  if (tick.contains("cpuPercent")) r.system.cpuPercent = Integer(tick, "cpuPercent", -32768, 32767);
  if (tick.contains("memTotalBytes")) r.system.memory.totalBytes = Unsigned(tick, "memTotalBytes");
  if (tick.contains("memAvailBytes")) r.system.memory.availBytes = Unsigned(tick, "memAvailBytes");
  if (tick.contains("rxOctets")) r.system.counters.rx = Unsigned(tick, "rxOctets");
  if (tick.contains("txOctets")) r.system.counters.tx = Unsigned(tick, "txOctets");
  if (tick.contains("registry")) {
    const Json& reg = tick.at("registry");
    if (!reg.is_object()) throw BadSample{"\"registry\" must be an object"};
    for (const auto& [name, value] : reg.items()) SetRegistryValue(r.store, name, value);
  }
  if (tick.contains("lanIp"))
    r.system.adapters = {AdapterTableStatus::kOk, {{"eth0", Text(tick, "lanIp")}}};
  if (tick.contains("globalIp")) r.web.globalIp = Text(tick, "globalIp");
  if (tick.contains("drives")) {
    const Json& drives = tick.at("drives");
    if (!drives.is_array()) throw BadSample{"\"drives\" must be a list"};
    r.system.drives.clear();
    for (const Json& d : drives) {
      if (!d.is_object()) throw BadSample{"every drive must be an object"};
      DriveSpace space;
      space.name = Text(d, "name");
      space.totalBytes = Unsigned(d, "totalBytes");
      space.freeBytes = Unsigned(d, "freeBytes");
      if (d.contains("reservedBytes")) space.reservedBytes = Unsigned(d, "reservedBytes");
      r.system.drives.push_back(space);
    }
  }
  if (tick.contains("localTime")) r.system.dateLine = DateLineOf(Text(tick, "localTime"));
}

void ApplyVersionCheck(Replay& r, const Json& check) {
  if (!check.is_object()) throw BadSample{"\"versionCheck\" must be an object"};
  if (check.contains("pageState")) r.web.pageState = Text(check, "pageState");
  if (check.contains("latestVersion")) r.web.latestVersion = Text(check, "latestVersion");
  if (check.contains("notice")) r.web.notice = Text(check, "notice");
}

bool WritePng(const Canvas& composed, int height, const std::string& out) {
  if (height <= 0) return false;
  const QImage view(reinterpret_cast<const uchar*>(composed.data()), composed.width(), height,
                    composed.width() * 4, QImage::Format_RGB32);
  return view.copy(0, 0, kStripWidth, height).save(QString::fromStdString(out), "PNG");
}

int Render(const std::string& settingsFile, const std::string& samplesFile,
           const std::string& out) {
  Json samples;
  {
    std::ifstream in(samplesFile);
    if (!in) {
      std::cerr << "cannot open " << samplesFile << "\n";
      return 1;
    }
    samples = Json::parse(in, nullptr, false);
    if (samples.is_discarded() || !samples.is_object()) {
      std::cerr << samplesFile << ": not a JSON object\n";
      return 1;
    }
  }
  const Json ticks = samples.value("ticks", Json::array());
  if (!ticks.is_array() || ticks.empty()) {
    std::cerr << samplesFile << ": \"ticks\" must be a list of at least one tick\n";
    return 1;
  }

  StripFontLoad font = StripFont::Open();
  if (!font.font) {
    std::cerr << font.error << "\n";
    return 1;
  }

  Replay replay;
  try {
    // The drive rows and the start-up values come from the first tick.
    ApplyTick(replay, ticks.front());
    if (samples.contains("versionCheck")) ApplyVersionCheck(replay, samples.at("versionCheck"));
  } catch (const BadSample& e) {
    std::cerr << samplesFile << ": " << e.what << "\n";
    return 1;
  } catch (const Json::exception& e) {
    std::cerr << samplesFile << ": " << e.what() << "\n";
    return 1;
  }

  RegistryAccess registry(replay.store);
  TickSources sources{replay.system, registry, replay.web, {}, {}};
  SettingsModel model;
  LoadInterfaceTable(model, sources);
  auto codec = MakeAnsiCodec();
  LoadResult loaded = LoadSettings(settingsFile, *codec, model);
  if (!loaded.ok) {
    std::cerr << loaded.error << "\n";
    return 1;
  }
  model.adapterIndex = sources.interfaces.empty() ? -1 : 0;  // the one replayed interface
  BuildItemRows(model, loaded.packed);
  BuildDriveRows(model, replay.system.ListFixedDrives(), loaded.packed);
  GradientImages gradients;
  RenderAllGradients(model, gradients);

  MonitorEngine engine(model, sources, gradients, *font.font);
  std::int64_t nowMs = 0;
  TakeStartBaselines(engine.state(), sources, nowMs);  // as start-up does
  for (std::size_t i = 0; i < ticks.size(); ++i) {
    try {
      if (i > 0) ApplyTick(replay, ticks[i]);
    } catch (const BadSample& e) {
      std::cerr << samplesFile << ": tick " << i + 1 << ": " << e.what << "\n";
      return 1;
    } catch (const Json::exception& e) {
      std::cerr << samplesFile << ": tick " << i + 1 << ": " << e.what() << "\n";
      return 1;
    }
    sources.adapters = replay.system.adapters;
    nowMs += replay.intervalMs;
    engine.Tick(replay.intervalMs, nowMs);
  }

  std::cout << "composedHeight=" << engine.composedHeight() << "\n"
            << "toolbar=" << engine.toolbarCaption() << "\n";
  if (!WritePng(engine.composed(), engine.composedHeight(), out)) {
    std::cerr << (engine.composedHeight() <= 0 ? "nothing is shown: no picture written to "
                                               : "cannot write ")
              << out << "\n";
    return 1;
  }
  return 0;
}

int Run(const Args& args) {
  std::string settings, samples, out;
  for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
    if (args[i] == "--settings")
      settings = args[i + 1];
    else if (args[i] == "--samples")
      samples = args[i + 1];
    else if (args[i] == "--out")
      out = args[i + 1];
    else
      break;
  }
  if (settings.empty() || samples.empty() || out.empty() || args.size() != 6) {
    std::cerr << "usage: mirel9x-tool " << kUsage << "\n";
    return 2;
  }
  return Render(settings, samples, out);
}

Register reg("render", &Run, kUsage);

}  // namespace

}  // namespace mirel::tool
