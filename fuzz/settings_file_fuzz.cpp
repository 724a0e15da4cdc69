// "設定.ini" as anyone may edit it: whatever loads must save, and what it
// saves must load back to the same settings and save to the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "settings/char_text.h"
#include "settings/item_catalogue.h"
#include "settings/settings_file.h"

namespace {

using namespace mirel;

const TextCodec& Codec() {
  static const std::unique_ptr<TextCodec> codec = MakeAnsiCodec();
  return *codec;
}

// Start-up's steps after reading: the rows from the packed lists, one drive
// per drive flag (a machine with as many disks as the file names).
void BuildRows(SettingsModel& model, const LoadResult& loaded) {
  BuildItemRows(model, loaded.packed);
  const int drives = CharacterCount(loaded.packed.driveChecks);
  BuildDriveRows(model, std::vector<std::string>(static_cast<std::size_t>(drives), "/"),
                 loaded.packed);
}

// Everything the file carries, as the program holds it after loading.
std::string Describe(const SettingsModel& m) {
  std::ostringstream out;
  for (const ItemRow& r : m.items) {
    out << "item " << r.key << '|' << r.checked << '|' << r.startColor << '|' << r.endColor << '\n';
  }
  for (const DriveRow& r : m.drives) {
    out << "drive " << r.checked << '|' << r.startColor << '|' << r.endColor << '\n';
  }
  for (bool b : {m.ipCopyMenuShown, m.adapterAutoDetect, m.versionCheckAuto, m.proxyMenuShown,
                 m.toolbarShown, m.toolbarCpu, m.toolbarMemory, m.toolbarReceive, m.toolbarSend}) {
    out << b;
  }
  out << '\n';
  for (int i :
       {SettingsRecord::kRateUnit, SettingsRecord::kAlwaysOnTop, SettingsRecord::kGraphSource,
        SettingsRecord::kMouseOverMode, SettingsRecord::kHddUnit, SettingsRecord::kDrawMode}) {
    out << "option " << m.record[i] << '\n';
  }
  for (int i = 0; i < 8; ++i) out << "colour " << m.record[SettingsRecord::kBackColor + i] << '\n';
  out << m.receiveSpeed << ' ' << m.updateInterval << ' ' << m.sendSpeed << ' ' << m.adapterIndex
      << ' ' << m.display.left << ' ' << m.display.top << ' ' << m.display.height << ' '
      << m.display.width << ' ' << m.display.scaleHeight << ' ' << m.dialogLeft << ' '
      << m.dialogTop << '\n';
  for (const std::string& p : m.proxyList) out << "proxy " << p << '\n';
  return out.str();
}

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "round trip: %s\n%s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  SettingsModel first;
  LoadResult loaded = LoadSettingsBytes(bytes, "fuzz.ini", Codec(), first);
  if (!loaded.ok) {
    if (loaded.error.empty() || loaded.error.find('\n') != std::string::npos) {
      Fail("a refusal must be one line of text", loaded.error);
    }
    return 0;
  }
  BuildRows(first, loaded);
  EncodeResult saved = EncodeSettings("fuzz.ini", Codec(), first);
  if (!saved.ok) Fail("a file that loads cannot be saved", saved.error);

  SettingsModel second;
  LoadResult reloaded = LoadSettingsBytes(saved.bytes, "fuzz.ini", Codec(), second);
  if (!reloaded.ok) Fail("a saved file does not load", reloaded.error);
  BuildRows(second, reloaded);
  EncodeResult again = EncodeSettings("fuzz.ini", Codec(), second);
  if (!again.ok) Fail("the second save failed", again.error);
  if (Describe(first) != Describe(second)) {
    Fail("load, save, load changed the settings", Describe(first) + "--\n" + Describe(second));
  }
  if (again.bytes != saved.bytes) Fail("saving twice gave different bytes", "");
  return 0;
}
