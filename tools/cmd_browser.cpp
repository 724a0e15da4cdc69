// mirel9x-tool browser: reads and writes the browser settings the program
// uses (on a GNOME desktop the real proxy), for tests and for debugging.
#include <charconv>
#include <iostream>

#include "platform/platform.h"
#include "readings/registry.h"
#include "tools/tool_command.h"

namespace mirel::tool {
namespace {

int Run(const Args& args) {
  auto store = MakeBrowserSettingsStore(UserConfigDir());
  RegistryAccess registry(*store);
  if (args.size() == 3 && args[0] == "get") {
    std::cout << registry.ReadRegValue(args[1], args[2]) << "\n";
    return 0;
  }
  if (args.size() == 4 && args[0] == "set-dword") {
    int value = 0;
    const std::string& n = args[3];
    auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), value);
    if (ec != std::errc() || end != n.data() + n.size() || value < -32768 || value > 32767) {
      std::cerr << "not a 16-bit number: " << n << "\n";
      return 2;
    }
    registry.onWriteError = [] { std::cerr << "エラー\n"; };
    return registry.WriteRegDword(args[1], args[2], static_cast<std::int16_t>(value)) ? 0 : 1;
  }
  if (args.size() == 4 && args[0] == "set-string") {
    if (store->CreateKey(args[1]) == KeyDisposition::kFailed ||
        !store->SetString(args[1], args[2], args[3])) {
      std::cerr << "エラー\n";
      return 1;
    }
    return 0;
  }
  std::cerr << "usage: mirel9x-tool browser get KEY VALUE | set-dword KEY VALUE N | "
               "set-string KEY VALUE TEXT\n";
  return 2;
}

Register reg("browser", &Run,
             "browser get KEY VALUE | set-dword KEY VALUE N | set-string KEY VALUE TEXT");

}  // namespace
}  // namespace mirel::tool
