// mirel9x-tool settings check FILE
// mirel9x-tool settings roundtrip IN OUT
#include <iostream>

#include "platform/platform.h"
#include "settings/char_text.h"
#include "settings/item_catalogue.h"
#include "settings/settings_file.h"
#include "tools/tool_command.h"

namespace mirel::tool {

namespace {

constexpr const char* kUsage = "settings check FILE | settings roundtrip IN OUT";

int Check(const std::string& file) {
  auto codec = MakeAnsiCodec();
  SettingsModel model;
  LoadResult loaded = LoadSettings(file, *codec, model);
  if (!loaded.ok) {
    std::cerr << loaded.error << "\n";
    return 1;
  }
  std::cout << "ok\n";
  return 0;
}

// Loads and saves with the program's own reader and writer. Nothing comes
// from this machine: one drive row per character of driveChecks, and the
// adapter index as the file holds it (there is no interface list here).
int RoundTrip(const std::string& in, const std::string& out) {
  auto codec = MakeAnsiCodec();
  SettingsModel model;
  LoadResult loaded = LoadSettings(in, *codec, model);
  if (!loaded.ok) {
    std::cerr << loaded.error << "\n";
    return 1;
  }
  BuildItemRows(model, loaded.packed);
  std::vector<std::string> drives;
  for (std::size_t i = 0; i < static_cast<std::size_t>(CharacterCount(loaded.packed.driveChecks));
       ++i) {
    drives.push_back("drive " + std::to_string(i + 1));
  }
  BuildDriveRows(model, drives, loaded.packed);
  model.adapterIndex = loaded.adapterIndexInFile;
  SaveResult saved = SaveSettings(out, *codec, model);
  if (!saved.ok) {
    std::cerr << saved.error << "\n";
    return 1;
  }
  return 0;
}

int Run(const Args& args) {
  if (args.size() == 2 && args[0] == "check") return Check(args[1]);
  if (args.size() == 3 && args[0] == "roundtrip") return RoundTrip(args[1], args[2]);
  std::cerr << "usage: mirel9x-tool " << kUsage << "\n";
  return 2;
}

Register reg("settings", &Run, kUsage);

}  // namespace

}  // namespace mirel::tool
