// Code page 932 through iconv. glibc names it "CP932" (Microsoft's Shift_JIS,
// with the NEC and IBM extensions that Windows files contain).
#include <errno.h>
#include <iconv.h>

#include <cstdlib>

#include "platform/platform.h"

namespace mirel {

namespace {

std::optional<std::string> Convert(const char* to, const char* from, std::string_view in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(in.size() * 2 + 16, '\0');
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  std::size_t done = 0;
  bool ok = true;
  while (inLeft > 0) {
    char* outPtr = out.data() + done;
    std::size_t outLeft = out.size() - done;
    std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    done = out.size() - outLeft;
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      ok = false;  // EILSEQ or EINVAL: not representable or truncated
      break;
    }
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(done);
  return out;
}

class IconvCodec final : public TextCodec {
 public:
  std::optional<std::string> ToAnsi(std::string_view utf8) const override {
    // glibc also writes a few characters that CP932 lacks as look-alikes
    // ("¥" as "\", "¬" as "￢"), which read back as something else. Windows
    // refuses them, and so does this: what is written must read back as is.
    std::optional<std::string> ansi = Convert("CP932", "UTF-8", utf8);
    if (!ansi || Convert("UTF-8", "CP932", *ansi) != utf8) return std::nullopt;
    return ansi;
  }
  std::optional<std::string> FromAnsi(std::string_view ansi) const override {
    return Convert("UTF-8", "CP932", ansi);
  }
};

}  // namespace

std::unique_ptr<TextCodec> MakeAnsiCodec() {
  return std::make_unique<IconvCodec>();
}

std::filesystem::path UserConfigDir() {
  // A relative XDG_CONFIG_HOME is not valid and is passed over, as the base
  // directory rules say: it would name another folder in every working folder.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return std::filesystem::path(xdg) / "mirel9x";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : "/tmp") / ".config" / "mirel9x";
}

std::filesystem::path UserCacheDir() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg != nullptr && *xdg == '/') return std::filesystem::path(xdg) / "mirel9x";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return std::filesystem::path(home) / ".cache/mirel9x";
  return {};
}

}  // namespace mirel
