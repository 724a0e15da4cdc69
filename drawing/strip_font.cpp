#include "drawing/strip_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <fcntl.h>
#ifndef _WIN32
#include <sys/mman.h>
#endif
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "platform/atomic_file.h"

namespace mirel {

namespace {

// One glyph as row masks: bit c of rows[r] is the pixel at column left + c of
// row top + r, both relative to the cell's top-left corner.
struct Glyph {
  int advance = kHalfWidthAdvance;
  int left = 0;
  int top = 0;
  int width = 0;
  std::vector<std::uint32_t> rows;
};

// Reading .pcf.gz through FreeType's gzip stream costs a decompression per
// glyph; inflating once and opening the face from memory does not.
bool InflateFile(const std::filesystem::path& file, std::vector<unsigned char>& out) {
#ifdef _WIN32
  gzFile gz = gzopen_w(file.c_str(), "rb");
#else
  gzFile gz = gzopen(file.c_str(), "rb");
#endif
  if (!gz) return false;
  out.clear();
  std::array<unsigned char, 65536> buffer;
  for (;;) {
    int n = gzread(gz, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (n < 0) {
      gzclose(gz);
      return false;
    }
    if (n == 0) break;
    out.insert(out.end(), buffer.begin(), buffer.begin() + n);
  }
  gzclose(gz);
  return !out.empty();
}

#ifdef _WIN32
// Windows keeps no inflated copy: the two fonts are inflated into memory at
// start (a few hundred kilobytes).
std::filesystem::path CachedFontPath(const std::filesystem::path&, const std::filesystem::path&) {
  return {};
}
bool WriteCache(const std::filesystem::path&, const std::vector<unsigned char>&) {
  return false;
}
#else
// The inflated copy of a compressed font in the cache folder: its name
// carries the source's size and modification time, so an updated package
// makes a new copy.
std::filesystem::path CachedFontPath(const std::filesystem::path& file,
                                     const std::filesystem::path& cacheDir) {
  struct stat st {};
  if (cacheDir.empty() || ::stat(file.c_str(), &st) != 0) return {};
  std::string name = file.stem().string();  // "b12.pcf"
  name += "-" + std::to_string(static_cast<long long>(st.st_size)) + "-" +
          std::to_string(static_cast<long long>(st.st_mtim.tv_sec)) + "." +
          std::to_string(static_cast<long long>(st.st_mtim.tv_nsec));
  return cacheDir / name;
}

// Writes data to path through a temporary file, so that a reader never sees
// half a font; removes older copies of the same font.
bool WriteCache(const std::filesystem::path& path, const std::vector<unsigned char>& data) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  const std::filesystem::path tmp =
      path.string() + ".tmp-" + std::to_string(static_cast<long long>(::getpid()));
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool ok = ::close(fd) == 0 && done == data.size();
  if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  const std::string stem = path.filename().string();
  const std::string prefix = stem.substr(0, stem.find('-') + 1);
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path(), ec)) {
    const std::string other = entry.path().filename().string();
    if (other != stem && other.rfind(prefix, 0) == 0) std::filesystem::remove(entry.path(), ec);
  }
  return true;
}
#endif

bool IsWideCodePoint(char32_t cp) {
  // Enough of the East Asian wide ranges to size the box of a missing glyph.
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
         (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

Glyph BoxGlyph(char32_t cp) {
  Glyph box;
  box.advance = IsWideCodePoint(cp) ? kFullWidthAdvance : kHalfWidthAdvance;
  box.left = 0;
  box.top = 1;
  box.width = box.advance - 1;
  const std::uint32_t full = (1u << box.width) - 1;
  const std::uint32_t sides = 1u | (1u << (box.width - 1));
  box.rows.assign(10, sides);
  box.rows.front() = full;
  box.rows.back() = full;
  return box;
}

}  // namespace

struct StripFont::Impl {
  FT_Library library = nullptr;
  struct Face {
    std::vector<unsigned char> data;  // must outlive the face
    void* mapped = nullptr;           // so must the mapped cache copy
    std::size_t mappedSize = 0;
    FT_Face face = nullptr;
    int ascent = 0;
  };
  std::array<Face, 2> faces;  // ASCII font, then the fallback
  mutable std::unordered_map<char32_t, Glyph> cache;
  mutable std::array<const Glyph*, 128> ascii{};

  ~Impl() {
    for (auto& f : faces) {
      if (f.face) FT_Done_Face(f.face);
      Unmap(f);
    }
    if (library) FT_Done_FreeType(library);
  }

  std::string OpenFace(Face& f, const std::filesystem::path& file, const std::string& package,
                       const std::filesystem::path& cacheDir) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
#ifdef _WIN32
      return "表示用のフォント " + PathText(file) + " がありません。パッケージ " + package +
             " の " + PathText(file.filename()) + " を " + PathText(file.parent_path()) +
             " にコピーしてください。";
#else
      return "表示用のフォント " + PathText(file) + " がありません。パッケージ " + package +
             " をインストールしてください (apt install " + package + ")。";
#endif
    }
    // FreeType maps a font it opens from a file: its pages are shared and
    // only those read are resident, where an inflated copy in memory would be
    // private memory for as long as the program runs.
    const std::filesystem::path cached = CachedFontPath(file, cacheDir);
    if (!cached.empty() && OpenMapped(f, cached)) {
      FinishFace(f);
      ReleaseMappedPages(f);
      return {};
    }
    if (!InflateFile(file, f.data)) {
      return "表示用のフォント " + PathText(file) + " を読み込めません。パッケージ " + package +
             " を入れ直してください。";
    }
    if (FT_New_Memory_Face(library, f.data.data(), static_cast<FT_Long>(f.data.size()), 0,
                           &f.face) != 0) {
      f.face = nullptr;
      return "表示用のフォント " + PathText(file) + " はフォントとして使えません。パッケージ " +
             package + " を入れ直してください。";
    }
    // A usable font: keep the inflated copy and map it from there from now
    // on (unless the folder cannot be written: then it stays in memory).
    if (!cached.empty() && WriteCache(cached, f.data)) {
      Face mapped;
      if (OpenMapped(mapped, cached)) {
        FT_Done_Face(f.face);
        f.face = mapped.face;
        f.mapped = mapped.mapped;
        f.mappedSize = mapped.mappedSize;
        std::vector<unsigned char>().swap(f.data);
      }
    }
    FinishFace(f);
    ReleaseMappedPages(f);
    return {};
  }

  // The cached copy mapped by us rather than by FreeType, so that the pages
  // it read while opening the face can be let go (below).
  bool OpenMapped(Face& f, const std::filesystem::path& file) {
#ifdef _WIN32
    if (FT_New_Face(library, file.string().c_str(), 0, &f.face) == 0) return true;
    f.face = nullptr;
    return false;
#else
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    void* map = MAP_FAILED;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
      map = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    }
    ::close(fd);
    if (map == MAP_FAILED) return false;
    f.mapped = map;
    f.mappedSize = static_cast<std::size_t>(st.st_size);
    if (FT_New_Memory_Face(library, static_cast<const FT_Byte*>(map),
                           static_cast<FT_Long>(f.mappedSize), 0, &f.face) != 0) {
      f.face = nullptr;
      Unmap(f);
      return false;
    }
    return true;
#endif
  }

  // Opening a face reads its tables from end to end; afterwards only a glyph
  // not drawn before is read again, and the glyph cache keeps it. The pages
  // come back from the file when they are read, so the program need not keep
  // the font resident.
  static void ReleaseMappedPages(Face& f) {
#ifndef _WIN32
    if (f.mapped != nullptr) ::madvise(f.mapped, f.mappedSize, MADV_DONTNEED);
#else
    (void)f;
#endif
  }

  static void Unmap(Face& f) {
#ifndef _WIN32
    if (f.mapped != nullptr) ::munmap(f.mapped, f.mappedSize);
#endif
    f.mapped = nullptr;
    f.mappedSize = 0;
  }

  static void FinishFace(Face& f) {
    if (f.face->num_fixed_sizes > 0) FT_Select_Size(f.face, 0);
    f.ascent = static_cast<int>(f.face->size->metrics.ascender >> 6);
  }

  Glyph Load(char32_t cp) const {
    for (std::size_t i = 0; i < faces.size(); ++i) {
      // ASCII comes from the first font only when it is printable ASCII; the
      // fallback font covers the rest (and any hole in the first).
      if (i == 0 && (cp < 0x20 || cp > 0x7E)) continue;
      FT_Face face = faces[i].face;
      FT_UInt index = FT_Get_Char_Index(face, cp);
      if (index == 0) continue;
      if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) !=
          0)
        continue;
      FT_GlyphSlot slot = face->glyph;
      const FT_Bitmap& bm = slot->bitmap;
      Glyph g;
      g.advance =
          (slot->advance.x >> 6) > kHalfWidthAdvance ? kFullWidthAdvance : kHalfWidthAdvance;
      g.left = slot->bitmap_left;
      g.top = faces[i].ascent - slot->bitmap_top;
      g.width = std::min<int>(static_cast<int>(bm.width), 32);
      g.rows.assign(bm.rows, 0);
      for (unsigned r = 0; r < bm.rows; ++r) {
        const unsigned char* line = bm.buffer + static_cast<std::ptrdiff_t>(r) * bm.pitch;
        std::uint32_t mask = 0;
        for (int c = 0; c < g.width; ++c) {
          bool on = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (line[c >> 3] & (0x80 >> (c & 7))) != 0
                                                        : line[c] >= 128;
          if (on) mask |= 1u << c;
        }
        g.rows[r] = mask;
      }
      return g;
    }
    return BoxGlyph(cp);
  }

  const Glyph& Get(char32_t cp) {
    if (cp < 128 && ascii[cp]) return *ascii[cp];
    auto it = cache.find(cp);
    if (it == cache.end()) {
      it = cache.emplace(cp, Load(cp)).first;
      // The glyph is kept here now: what the font's file gave for it (a page,
      // and the kernel's read-around of it) need not stay resident.
      for (Face& f : faces) ReleaseMappedPages(f);
    }
    if (cp < 128) ascii[cp] = &it->second;  // node addresses are stable
    return it->second;
  }
};

StripFont::StripFont(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
StripFont::~StripFont() = default;

StripFontLoad StripFont::Open() {
  return Open(kAsciiFontPath, kAsciiFontPackage, kFallbackFontPath, kFallbackFontPackage);
}

StripFontLoad StripFont::OpenFromFolder(const std::filesystem::path& folder) {
  return Open(folder / std::filesystem::path(kAsciiFontPath).filename(), kAsciiFontPackage,
              folder / std::filesystem::path(kFallbackFontPath).filename(), kFallbackFontPackage);
}

std::filesystem::path StripFont::DefaultCacheDir() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg != nullptr && *xdg == '/') return std::filesystem::path(xdg) / "mirel9x";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return std::filesystem::path(home) / ".cache/mirel9x";
  return {};
}

StripFontLoad StripFont::Open(const std::filesystem::path& asciiFont,
                              const std::string& asciiPackage,
                              const std::filesystem::path& fallbackFont,
                              const std::string& fallbackPackage,
                              const std::filesystem::path& cacheDir) {
  const std::filesystem::path cache = cacheDir.empty() ? DefaultCacheDir() : cacheDir;
  auto impl = std::make_unique<Impl>();
  if (FT_Init_FreeType(&impl->library) != 0) {
    impl->library = nullptr;
    return {nullptr, "フォントを扱う FreeType を初期化できません。"};
  }
  std::string error = impl->OpenFace(impl->faces[0], asciiFont, asciiPackage, cache);
  if (error.empty()) error = impl->OpenFace(impl->faces[1], fallbackFont, fallbackPackage, cache);
  if (!error.empty()) return {nullptr, error};
  return {std::unique_ptr<StripFont>(new StripFont(std::move(impl))), {}};
}

int StripFont::Draw(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t colour,
                    int clipRight) const {
  const std::uint32_t pixel = ToPixel(colour);
  const int w = canvas.width(), h = canvas.height();
  const int right = std::min(w, clipRight);
  std::uint32_t* data = canvas.data();
  std::size_t pos = 0;
  while (pos < text.size()) {
    const Glyph& g = impl_->Get(NextCodePoint(text, pos));
    const int gx = x + g.left;
    const int gy = y + g.top;
    const int rows = static_cast<int>(g.rows.size());
    if (gx >= 0 && gx + g.width <= right && gy >= 0 && gy + rows <= h) {
      // Wholly inside, as nearly every glyph is: no edge to test per pixel.
      std::uint32_t* line = data + static_cast<std::ptrdiff_t>(gy) * w + gx;
      for (int r = 0; r < rows; ++r, line += w) {
        for (std::uint32_t mask = g.rows[static_cast<std::size_t>(r)]; mask != 0;
             mask &= mask - 1) {
          line[__builtin_ctz(mask)] = pixel;
        }
      }
    } else if (gx < right && gx + g.width > 0) {
      for (std::size_t r = 0; r < g.rows.size(); ++r) {
        const int py = y + g.top + static_cast<int>(r);
        if (py < 0 || py >= h) continue;
        std::uint32_t* line = data + static_cast<std::ptrdiff_t>(py) * w;
        for (std::uint32_t mask = g.rows[r]; mask != 0; mask &= mask - 1) {
          const int px = gx + __builtin_ctz(mask);
          if (px >= 0 && px < right) line[px] = pixel;
        }
      }
    }
    x += g.advance;
  }
  return x;
}

int StripFont::TextWidth(std::string_view text) const {
  int width = 0;
  std::size_t pos = 0;
  while (pos < text.size()) width += impl_->Get(NextCodePoint(text, pos)).advance;
  return width;
}

bool StripFont::HasGlyph(char32_t cp) const {
  for (std::size_t i = 0; i < impl_->faces.size(); ++i) {
    if (i == 0 && (cp < 0x20 || cp > 0x7E)) continue;
    if (FT_Get_Char_Index(impl_->faces[i].face, cp) != 0) return true;
  }
  return false;
}

}  // namespace mirel
