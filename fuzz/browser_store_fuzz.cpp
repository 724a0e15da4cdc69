// The browser settings file (REGEDIT4 text), which users and other programs
// may edit: whatever reads must write back to a text that reads the same, and
// writing that again gives the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/linux/reg_text.h"

namespace {

using namespace mirel;

bool Same(const reg::Data& a, const reg::Data& b) {
  if (a.keys.size() != b.keys.size()) return false;
  for (std::size_t k = 0; k < a.keys.size(); ++k) {
    const reg::Key& x = a.keys[k];
    const reg::Key& y = b.keys[k];
    if (x.path != y.path || x.values.size() != y.values.size()) return false;
    for (std::size_t v = 0; v < x.values.size(); ++v) {
      const reg::NamedValue& p = x.values[v];
      const reg::NamedValue& q = y.values[v];
      if (p.name != q.name || p.value.kind != q.value.kind || p.value.text != q.value.text ||
          p.value.dword != q.value.dword) {
        return false;
      }
    }
  }
  return true;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "browser settings file: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<reg::Data> first = reg::Parse(text);
  if (!first) return 0;
  const std::string written = reg::Format(*first);
  std::optional<reg::Data> second = reg::Parse(written);
  if (!second) Fail("what was read does not read back once written");
  if (!Same(*first, *second)) Fail("writing changed the values");
  if (reg::Format(*second) != written) Fail("writing twice gave different bytes");
  return 0;
}
