// What the tick pays for the browser items (106-109): ProxyServer and
// ProxyEnable from GSettings, the two zone values from the settings file.
// GSettings reads come from the backend's in-process cache (memory, or dconf's
// mapped database: no D-Bus round trip); the file costs one stat() while it
// is unchanged. BM_ParseStoreFile is what every tick paid before the file was
// cached. Inside the main loop the GSettings values are kept between their
// change notices (BM_BrowserItemsInMainLoop).
#define G_SETTINGS_ENABLE_BACKEND
#include <benchmark/benchmark.h>
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/linux/browser_store_linux.h"
#include "platform/linux/reg_text.h"
#include "readings/registry.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;

fs::path StoreFolder() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("mirel9x-store-bench-" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

void FillStore(BrowserSettingsStore& store) {
  store.SetDword(kZone3Key, "1400", 3);
  store.SetDword(kZone3Key, "1402", 0);
  store.SetString(kInternetSettingsKey, "ProxyServer",
                  "http=192.0.2.10:3128;https=192.0.2.10:3128");
  store.SetDword(kInternetSettingsKey, "ProxyEnable", 1);
}

void ReadBrowserItems(benchmark::State& state, BrowserSettingsStore& store) {
  RegistryAccess registry(store);
  for (auto _ : state) {
    benchmark::DoNotOptimize(registry.ReadRegValue(kInternetSettingsKey, "ProxyServer"));
    benchmark::DoNotOptimize(registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable"));
    benchmark::DoNotOptimize(registry.ReadRegValue(kZone3Key, "1400"));
    benchmark::DoNotOptimize(registry.ReadRegValue(kZone3Key, "1402"));
  }
}

GSettingsBackend* NamedBackend(const char* name) {
  g_object_unref(g_settings_backend_get_default());  // loads the GIO modules
  GIOExtensionPoint* point = g_io_extension_point_lookup(G_SETTINGS_BACKEND_EXTENSION_POINT_NAME);
  GIOExtension* ext = point ? g_io_extension_point_get_extension_by_name(point, name) : nullptr;
  if (ext == nullptr) return nullptr;
  return static_cast<GSettingsBackend*>(g_object_new(g_io_extension_get_type(ext), nullptr));
}

void BM_BrowserItemsMemoryBackend(benchmark::State& state) {
  GSettingsBackend* backend = g_memory_settings_backend_new();
  auto store = MakeLinuxBrowserSettingsStore(StoreFolder() / "memory", backend);
  FillStore(*store);
  ReadBrowserItems(state, *store);
  store.reset();
  g_object_unref(backend);
}
BENCHMARK(BM_BrowserItemsMemoryBackend);

// The same inside the main loop, as the shell's ticks run: the values read
// stand until GSettings' change notices say otherwise.
void BM_BrowserItemsInMainLoop(benchmark::State& state) {
  GSettingsBackend* backend = g_memory_settings_backend_new();
  auto store = MakeLinuxBrowserSettingsStore(StoreFolder() / "loop", backend);
  FillStore(*store);
  g_main_context_acquire(g_main_context_default());
  ReadBrowserItems(state, *store);
  g_main_context_release(g_main_context_default());
  store.reset();
  g_object_unref(backend);
}
BENCHMARK(BM_BrowserItemsInMainLoop);

// dconf as on a desktop, reading this session's database (no writes here).
void BM_BrowserItemsDconfBackend(benchmark::State& state) {
  GSettingsBackend* backend = NamedBackend("dconf");
  if (backend == nullptr) {
    state.SkipWithError("dconf backend not installed");
    return;
  }
  auto store = MakeLinuxBrowserSettingsStore(StoreFolder() / "dconf", backend);
  auto fileOnly = MakeLinuxBrowserSettingsStore(StoreFolder() / "dconf", DesktopProxyUse::kNever);
  fileOnly->SetDword(kZone3Key, "1400", 3);
  fileOnly->SetDword(kZone3Key, "1402", 0);
  ReadBrowserItems(state, *store);
  store.reset();
  g_object_unref(backend);
}
BENCHMARK(BM_BrowserItemsDconfBackend);

void BM_ParseStoreFile(benchmark::State& state) {
  auto store = MakeLinuxBrowserSettingsStore(StoreFolder() / "parse", DesktopProxyUse::kNever);
  FillStore(*store);
  std::ifstream in(BrowserSettingsFile(StoreFolder() / "parse"), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string bytes = text.str();
  for (auto _ : state) benchmark::DoNotOptimize(reg::Parse(bytes));
}
BENCHMARK(BM_ParseStoreFile);

}  // namespace
}  // namespace mirel
