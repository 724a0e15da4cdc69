#include "drawing/strip_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "platform/regular_file.h"

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

// The packaged fonts are a few hundred kilobytes packed, two megabytes
// inflated: far beyond that, a file is not one of them.
constexpr std::size_t kMaxPackedFontBytes = 16u << 20;
constexpr std::size_t kMaxFontBytes = 64u << 20;

// Reading .pcf.gz through FreeType's gzip stream costs a decompression per
// glyph; inflating once and opening the face from memory does not. A file
// that is not gzip data is taken as it is.
bool Inflate(const std::string& packed, std::vector<unsigned char>& out) {
  out.clear();
  if (packed.size() < 2 || static_cast<unsigned char>(packed[0]) != 0x1f ||
      static_cast<unsigned char>(packed[1]) != 0x8b) {
    out.assign(packed.begin(), packed.end());
    return !out.empty();
  }
  z_stream z{};
  if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = static_cast<uInt>(packed.size());
  std::array<unsigned char, 65536> buffer;
  int status = Z_OK;
  while (status == Z_OK && out.size() <= kMaxFontBytes) {
    z.next_out = buffer.data();
    z.avail_out = static_cast<uInt>(buffer.size());
    status = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), buffer.data(), buffer.data() + (buffer.size() - z.avail_out));
  }
  inflateEnd(&z);
  return status == Z_STREAM_END && !out.empty() && out.size() <= kMaxFontBytes;
}

// The inflated copy of a compressed font in the cache folder: its name
// carries the source's size and modification time, so an updated package
// makes a new copy.
std::filesystem::path CachedFontPath(const std::filesystem::path& file,
                                     const std::filesystem::path& cacheDir) {
  const std::optional<FileVersion> source = VersionOfFile(file);
  if (cacheDir.empty() || !source) return {};
  constexpr std::int64_t kNs = 1000000000;
  std::string name = PathText(file.stem());  // "b12.pcf"
  name += "-" + std::to_string(source->size) + "-" + std::to_string(source->modifiedNs / kNs) +
          "." + std::to_string(source->modifiedNs % kNs);
  return cacheDir / PathFromUtf8(name);
}

// The cached copy ends in a trailer that tells a whole copy of ours from one
// cut short or overwritten by another program: a mark, the font's length and
// its checksum, little-endian.
constexpr std::array<unsigned char, 8> kTrailerMark = {'m', 'i', 'r', 'e', 'l', 'F', 'T', 1};
constexpr std::size_t kTrailerSize = 8 + 8 + 4;

std::uint32_t Checksum(std::uint32_t crc, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const uInt step = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
    crc = static_cast<std::uint32_t>(crc32(crc, data, step));
    data += step;
    size -= step;
  }
  return crc;
}

std::string Trailer(const std::vector<unsigned char>& font) {
  std::string out(kTrailerMark.begin(), kTrailerMark.end());
  const std::uint64_t length = font.size();
  for (int i = 0; i < 8; ++i) out += static_cast<char>((length >> (8 * i)) & 0xFF);
  const std::uint32_t crc = Checksum(0, font.data(), font.size());
  for (int i = 0; i < 4; ++i) out += static_cast<char>((crc >> (8 * i)) & 0xFF);
  return out;
}

// Writes the copy atomically, so that a reader never sees half a font, and
// removes older copies of the same font.
bool WriteCache(const std::filesystem::path& path, const std::vector<unsigned char>& font) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::string bytes(font.begin(), font.end());
  bytes += Trailer(font);
  if (!WriteFileAtomically(path, bytes).empty()) return false;
  const std::string stem = PathText(path.filename());
  const std::string prefix = stem.substr(0, stem.find('-') + 1);
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path(), ec)) {
    const std::string other = PathText(entry.path().filename());
    if (other != stem && other.rfind(prefix, 0) == 0) std::filesystem::remove(entry.path(), ec);
  }
  return true;
}

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

// One of the two fonts. FreeType reads the cached copy through a stream of
// reads at an offset (through a small window, as opening the face reads its
// tables a few bytes at a time), never through a mapping: another program
// may shorten or rewrite the file while the monitor runs, which would make a
// mapped page a crash, and which a stream only sees as a failed read.
struct Face {
  std::filesystem::path source;  // the packaged .pcf.gz
  std::string package;
  bool fromFolder = false;       // a Windows installation's fonts folder
  std::filesystem::path cached;  // the inflated copy; empty without a cache folder

  std::vector<unsigned char> data;        // the inflated font, when read from memory
  std::unique_ptr<OpenRegularFile> file;  // the cached copy, when read from there
  FileVersion version;                    // of `file` when it was checked
  FT_StreamRec stream{};
  std::vector<unsigned char> window = std::vector<unsigned char>(16 * 1024);
  std::uint64_t windowStart = 0;
  std::size_t windowLength = 0;

  FT_Face face = nullptr;  // null when its copy changed and could not be made again
  int ascent = 0;

  Face() = default;
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;

  std::size_t Read(std::uint64_t offset, unsigned char* out, std::size_t count) {
    if (offset >= windowStart && offset - windowStart + count <= windowLength) {
      std::memcpy(out, window.data() + (offset - windowStart), count);
      return count;
    }
    if (count >= window.size()) return file->ReadAt(offset, out, count);
    windowStart = offset;
    windowLength = file->ReadAt(offset, window.data(), window.size());
    const std::size_t n = std::min(count, windowLength);
    std::memcpy(out, window.data(), n);
    return n;
  }

  static unsigned long StreamRead(FT_Stream stream, unsigned long offset, unsigned char* buffer,
                                  unsigned long count) {
    if (count == 0) return offset > stream->size ? 1 : 0;  // a seek: 0 is success
    return static_cast<unsigned long>(
        static_cast<Face*>(stream->descriptor.pointer)->Read(offset, buffer, count));
  }

  void Close() {
    if (face) FT_Done_Face(face);
    face = nullptr;
    file.reset();
    windowLength = 0;
  }

  // The font's length when `file` is a whole copy of ours: the trailer's
  // length and checksum agree with what the file holds.
  std::optional<std::uint64_t> CheckedLength() {
    if (version.size < kTrailerSize) return std::nullopt;
    const std::uint64_t length = version.size - kTrailerSize;
    std::array<unsigned char, kTrailerSize> trailer{};
    if (file->ReadAt(length, trailer.data(), trailer.size()) != trailer.size()) return std::nullopt;
    if (!std::equal(kTrailerMark.begin(), kTrailerMark.end(), trailer.begin())) return std::nullopt;
    std::uint64_t stored = 0;
    for (int i = 7; i >= 0; --i) stored = (stored << 8) | trailer[8 + static_cast<std::size_t>(i)];
    std::uint32_t crc = 0;
    for (int i = 3; i >= 0; --i) crc = (crc << 8) | trailer[16 + static_cast<std::size_t>(i)];
    if (stored != length) return std::nullopt;
    // The whole font, through the window: a few milliseconds once a start.
    std::uint32_t sum = 0;
    for (std::uint64_t at = 0; at < length;) {
      const std::size_t step =
          static_cast<std::size_t>(std::min<std::uint64_t>(window.size(), length - at));
      if (file->ReadAt(at, window.data(), step) != step) return std::nullopt;
      sum = Checksum(sum, window.data(), step);
      at += step;
    }
    if (sum != crc) return std::nullopt;
    return length;
  }

  // Opens the face from the cached copy; false (and nothing open) when
  // there is no whole copy.
  bool OpenCopy(FT_Library library) {
    Close();
    file = OpenRegularFileForReading(cached);
    const std::optional<FileVersion> now = file ? file->Version() : std::nullopt;
    if (!now) return Fail();
    version = *now;
    const std::optional<std::uint64_t> length = CheckedLength();
    if (!length) return Fail();
    stream = FT_StreamRec{};
    stream.size = static_cast<unsigned long>(*length);
    stream.descriptor.pointer = this;
    stream.read = &Face::StreamRead;
    FT_Open_Args args{};
    args.flags = FT_OPEN_STREAM;
    args.stream = &stream;
    if (FT_Open_Face(library, &args, 0, &face) != 0) {
      face = nullptr;
      return Fail();
    }
    // Changed while it was read: not the copy that was checked.
    if (file->Version() != version) return Fail();
    return true;
  }

  bool Fail() {
    Close();
    return false;
  }

  // Whether the cached copy changed since it was checked (shortened,
  // rewritten in place).
  bool CopyChanged() {
    if (!file) return false;
    return file->Version() != version;
  }

  void Finish() {
    if (face->num_fixed_sizes > 0) FT_Select_Size(face, 0);
    ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    // Opening read the tables a few bytes at a time; a glyph is a few dozen.
    std::vector<unsigned char>(2048).swap(window);
    windowLength = 0;
  }

  std::string Open(FT_Library library) {
    if (!VersionOfFile(source)) {
      if (fromFolder) {
        return "表示用のフォント " + PathText(source) + " がありません。パッケージ " + package +
               " の " + PathText(source.filename()) + " を " + PathText(source.parent_path()) +
               " にコピーしてください。";
      }
      return "表示用のフォント " + PathText(source) + " がありません。パッケージ " + package +
             " をインストールしてください (apt install " + package + ")。";
    }
    if (!cached.empty() && OpenCopy(library)) {
      Finish();
      return {};
    }
    const FileRead packed = ReadRegularFile(source, kMaxPackedFontBytes);
    if (packed.status != FileReadStatus::kOk || !Inflate(packed.bytes, data)) {
      return "表示用のフォント " + PathText(source) + " を読み込めません。パッケージ " + package +
             " を入れ直してください。";
    }
    if (FT_New_Memory_Face(library, data.data(), static_cast<FT_Long>(data.size()), 0, &face) !=
        0) {
      face = nullptr;
      return "表示用のフォント " + PathText(source) + " はフォントとして使えません。パッケージ " +
             package + " を入れ直してください。";
    }
    // A usable font: keep the inflated copy and read it from there from now
    // on, which costs no memory (unless the folder cannot be written: then
    // it stays in memory).
    if (!cached.empty() && WriteCache(cached, data)) {
      FT_Face inMemory = face;
      face = nullptr;
      if (OpenCopy(library)) {
        FT_Done_Face(inMemory);
        std::vector<unsigned char>().swap(data);
      } else {
        face = inMemory;
      }
    }
    Finish();
    return {};
  }
};

}  // namespace

struct StripFont::Impl {
  FT_Library library = nullptr;
  std::array<Face, 2> faces;  // ASCII font, then the fallback
  mutable std::unordered_map<char32_t, Glyph> cache;
  mutable std::array<const Glyph*, 128> ascii{};

  ~Impl() {
    for (auto& f : faces) f.Close();
    if (library) FT_Done_FreeType(library);
  }

  Glyph Load(char32_t cp) const {
    for (std::size_t i = 0; i < faces.size(); ++i) {
      // ASCII comes from the first font only when it is printable ASCII; the
      // fallback font covers the rest (and any hole in the first).
      if (i == 0 && (cp < 0x20 || cp > 0x7E)) continue;
      FT_Face face = faces[i].face;
      if (face == nullptr) continue;
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

  // Opens again every face whose cached copy changed; true when one did.
  // A copy that was cut short or overwritten fails its check and is made
  // again from the package's file.
  bool Reopen() {
    bool any = false;
    for (Face& f : faces) {
      if (!f.CopyChanged()) continue;
      any = true;
      f.Close();
      (void)f.Open(library);  // on failure its glyphs come from the other font
    }
    return any;
  }

  // A glyph not drawn before: the only time a font's file is read.
  Glyph LoadFresh(char32_t cp) {
    Reopen();
    Glyph g = Load(cp);
    if (Reopen()) g = Load(cp);  // changed while it was read
    return g;
  }

  const Glyph& Get(char32_t cp) {
    if (cp < 128 && ascii[cp]) return *ascii[cp];
    auto it = cache.find(cp);
    if (it == cache.end()) it = cache.emplace(cp, LoadFresh(cp)).first;
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
              folder / std::filesystem::path(kFallbackFontPath).filename(), kFallbackFontPackage,
              {}, true);
}

std::filesystem::path StripFont::DefaultCacheDir() {
  return UserCacheDir();
}

StripFontLoad StripFont::Open(const std::filesystem::path& asciiFont,
                              const std::string& asciiPackage,
                              const std::filesystem::path& fallbackFont,
                              const std::string& fallbackPackage,
                              const std::filesystem::path& cacheDir) {
  return Open(asciiFont, asciiPackage, fallbackFont, fallbackPackage, cacheDir, false);
}

StripFontLoad StripFont::Open(const std::filesystem::path& asciiFont,
                              const std::string& asciiPackage,
                              const std::filesystem::path& fallbackFont,
                              const std::string& fallbackPackage,
                              const std::filesystem::path& cacheDir, bool fromFolder) {
  const std::filesystem::path cache = cacheDir.empty() ? DefaultCacheDir() : cacheDir;
  auto impl = std::make_unique<Impl>();
  if (FT_Init_FreeType(&impl->library) != 0) {
    impl->library = nullptr;
    return {nullptr, "フォントを扱う FreeType を初期化できません。"};
  }
  const std::array<std::pair<const std::filesystem::path*, const std::string*>, 2> sources = {
      {{&asciiFont, &asciiPackage}, {&fallbackFont, &fallbackPackage}}};
  for (std::size_t i = 0; i < sources.size(); ++i) {
    Face& face = impl->faces[i];
    face.source = *sources[i].first;
    face.package = *sources[i].second;
    face.fromFolder = fromFolder;
    face.cached = CachedFontPath(face.source, cache);
    std::string error = face.Open(impl->library);
    if (!error.empty()) return {nullptr, error};
  }
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
    const FT_Face face = impl_->faces[i].face;
    if (face != nullptr && FT_Get_Char_Index(face, cp) != 0) return true;
  }
  return false;
}

}  // namespace mirel
