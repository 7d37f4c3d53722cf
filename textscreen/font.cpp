#include "font.h"

#include <SDL_ttf.h>
#include <sys/stat.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <atomic>
#include <bitset>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "builtin_font_data.h"
#include "codepage437.h"
#include "errors.h"
#include "platform/paths.h"
#include "reset.h"
#include "screen.h"
#include "window.h"

namespace ts {
namespace {

constexpr long kFirstHandle = 32;
constexpr long kLastHandle = 1023;

// FreeType's library handle is shared by every face: the window thread's
// rendering and the program thread's opening must not overlap.
std::mutex ttfLock;

class BuiltinFont : public GlyphSource {
 public:
  BuiltinFont() {
    for (int code = 0; code < 256; ++code) glyphOf_[code] = Find(Cp437ToUnicode(uint8_t(code)));
  }
  int CellWidth() const override { return 8; }
  int CellHeight() const override { return 16; }
  GlyphBitmap Glyph(uint8_t code) override {
    GlyphBitmap g{8, 16, std::vector<uint8_t>(8 * 16)};
    const uint8_t* rows = builtin_font::kGlyphs[glyphOf_[code]];
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) g.bits[y * 8 + x] = (rows[y] >> (7 - x)) & 1;
    return g;
  }

 private:
  // A character the font lacks shows as the font's space.
  static uint16_t Find(uint32_t unicode) {
    const auto* first = builtin_font::kUnicode;
    const auto* last = first + builtin_font::kUnicodeCount;
    for (uint32_t u : {unicode, uint32_t(' ')}) {
      auto it = std::lower_bound(first, last, u, [](const builtin_font::UnicodeGlyph& e,
                                                    uint32_t v) { return e.unicode < v; });
      if (it != last && it->unicode == u) return it->glyph;
    }
    return 0;
  }
  std::array<uint16_t, 256> glyphOf_{};
};

// FreeType's own view of a face at the point size SDL_ttf opened it at:
// where it makes each glyph's bitmap, against the origin and the baseline.
class BitmapBoxes {
 public:
  BitmapBoxes(const std::string& path, long pointSize) {
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return;
    }
    if (FT_New_Face(library_, path.c_str(), 0, &face_) != 0) face_ = nullptr;
    if (face_ && (!FT_IS_SCALABLE(face_) ||
                  FT_Set_Char_Size(face_, 0, FT_F26Dot6(pointSize) * 64, 0, 0) != 0)) {
      FT_Done_Face(face_);
      face_ = nullptr;
    }
  }
  ~BitmapBoxes() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  BitmapBoxes(const BitmapBoxes&) = delete;
  BitmapBoxes& operator=(const BitmapBoxes&) = delete;

  // The bitmap's left column and top row as SDL_ttf's solid rendering
  // makes it (same hinting); false for a blank glyph or one FreeType
  // cannot make.
  bool Find(Uint16 unicode, int& left, int& top) {
    if (!face_ || FT_Load_Glyph(face_, FT_Get_Char_Index(face_, unicode), FT_LOAD_DEFAULT) != 0 ||
        FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_MONO) != 0 || face_->glyph->bitmap.width == 0)
      return false;
    left = face_->glyph->bitmap_left;
    top = face_->glyph->bitmap_top;
    return true;
  }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

class TrueTypeFont : public GlyphSource {
 public:
  // `boxes` is null where SDL_ttf's metrics alone place the glyphs.
  TrueTypeFont(TTF_Font* font, int width, int height, bool monospace,
               std::unique_ptr<BitmapBoxes> boxes)
      : font_(font), width_(width), height_(height), monospace_(monospace),
        boxes_(std::move(boxes)) {}
  ~TrueTypeFont() override {
    std::lock_guard<std::mutex> lock(ttfLock);
    TTF_CloseFont(font_);
  }
  int CellWidth() const override { return width_; }
  int CellHeight() const override { return height_; }
  bool Monospace() const { return monospace_; }

  GlyphBitmap Glyph(uint8_t code) override {
    GlyphBitmap g{width_, height_, std::vector<uint8_t>(size_t(width_) * size_t(height_))};
    const Uint16 unicode = Uint16(Cp437ToUnicode(code));
    Uint16 text[2] = {unicode, 0};
    std::lock_guard<std::mutex> lock(ttfLock);
    const Placement at = PlaceOf(code, unicode);
    SDL_Surface* s = TTF_RenderUNICODE_Solid(font_, text, SDL_Color{255, 255, 255, 0});
    if (!s) return g;
    if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
    const int firstX = std::max(0, -at.column), endX = std::min(width_, s->w - at.column);
    const int firstY = std::max(0, -at.row), endY = std::min(height_, s->h - at.row);
    for (int y = firstY; y < endY; ++y) {
      const auto* pixels =
          static_cast<const uint8_t*>(s->pixels) + (y + at.row) * s->pitch + at.column;
      for (int x = firstX; x < endX; ++x) g.bits[size_t(y) * width_ + x] = pixels[x] != 0;
    }
    if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    SDL_FreeSurface(s);
    return g;
  }

 private:
  // Where the cell's top-left pixel lies in the surface SDL_ttf renders for
  // one glyph; either may lie outside it.
  struct Placement {
    int column = 0, row = 1;
  };

  // SDL_ttf puts a glyph's bitmap at the floor of its hinted bearings,
  // which at most sizes lies a pixel left of (or above) where FreeType made
  // it for: a corner's stroke then misses the side line, and a full block
  // leaves the cell's last column empty. FreeType's bitmap box puts the
  // origin back on the cell's left edge and the baseline where the line
  // has it. The face was opened two pixels taller than the cell; the
  // line's top row is left out. Found once for each glyph; ttfLock held.
  Placement PlaceOf(uint8_t code, Uint16 unicode) {
    if (placed_[code]) return placements_[code];
    int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
    if (TTF_GlyphMetrics(font_, unicode, &minX, &maxX, &minY, &maxY, &advance) == 0) {
      int left = minX, top = maxY;
      if (boxes_) boxes_->Find(unicode, left, top);
      // A glyph reaching left of its origin is shifted right by that much.
      placements_[code] = Placement{std::max(minX, 0) - left, 1 + top - maxY};
    }
    placed_[code] = true;
    return placements_[code];
  }

  TTF_Font* font_;
  int width_, height_;
  bool monospace_;
  std::unique_ptr<BitmapBoxes> boxes_;
  std::array<Placement, 256> placements_{};
  std::bitset<256> placed_;
};

BuiltinFont& Builtin() {
  static BuiltinFont font;
  return font;
}

// Never destroyed: at process end the faces go with the process, and
// closing them after SDL_ttf has shut down would not be safe.
std::map<long, std::unique_ptr<TrueTypeFont>>& Loaded() {
  static auto* fonts = new std::map<long, std::unique_ptr<TrueTypeFont>>;
  return *fonts;
}

std::atomic<GlyphSource*> current{nullptr};

void ResetFontState() {
  current = &Builtin();
  Loaded().clear();
}

RoomReset registration(&ResetFontState);

enum Option : unsigned {
  kBold = 1,
  kItalic = 2,
  kUnderline = 4,
  kDontBlend = 8,
  kMonospace = 16,
  kUnicode = 32
};

// Comma-separated words, blanks around them ignored, any case. False on a
// word not in the list or one given twice.
bool ParseOptions(const Bytes& options, unsigned& out) {
  static const std::pair<const char*, Option> kWords[] = {
      {"BOLD", kBold},           {"ITALIC", kItalic},       {"UNDERLINE", kUnderline},
      {"DONTBLEND", kDontBlend}, {"MONOSPACE", kMonospace}, {"UNICODE", kUnicode}};
  static const char* const kBlanks = " \t";
  out = 0;
  if (options.find_first_not_of(kBlanks) == Bytes::npos) return true;
  size_t start = 0;
  while (true) {
    size_t comma = options.find(',', start);
    Bytes word = options.substr(start, comma == Bytes::npos ? Bytes::npos : comma - start);
    size_t first = word.find_first_not_of(kBlanks);
    size_t last = word.find_last_not_of(kBlanks);
    word = first == Bytes::npos ? "" : UpperAZ(word.substr(first, last - first + 1));
    unsigned bit = 0;
    for (const auto& [name, option] : kWords)
      if (word == name) bit = option;
    if (bit == 0 || (out & bit)) return false;
    out |= bit;
    if (comma == Bytes::npos) return true;
    start = comma + 1;
  }
}

TTF_Font* Open(const std::string& path, long pointSize) {
  if (pointSize < 1) return nullptr;
  std::lock_guard<std::mutex> lock(ttfLock);
  if (!TTF_WasInit() && TTF_Init() != 0) return nullptr;
  return TTF_OpenFont(path.c_str(), int(pointSize));
}

void Close(TTF_Font* font) {
  std::lock_guard<std::mutex> lock(ttfLock);
  TTF_CloseFont(font);
}

int LineHeight(TTF_Font* font) {
  std::lock_guard<std::mutex> lock(ttfLock);
  return TTF_FontHeight(font);
}

// Opens the face at the point size whose line height comes nearest to
// `wanted` pixels, and gives that size.
TTF_Font* OpenForLineHeight(const std::string& path, long wanted, long& pointSize) {
  TTF_Font* probe = Open(path, 1000);
  if (!probe) return nullptr;
  const int h1000 = LineHeight(probe);
  Close(probe);
  if (h1000 < 1) return nullptr;
  long p = long(std::floor(1000.0 / h1000 * double(wanted)));
  TTF_Font* font = Open(path, p);
  if (!font) return nullptr;
  if (LineHeight(font) > wanted && p > 1) {
    Close(font);
    if (!(font = Open(path, --p))) return nullptr;
  }
  if (LineHeight(font) < wanted) {
    Close(font);
    font = Open(path, ++p);
  }
  pointSize = p;
  return font;
}

int SpaceWidth(TTF_Font* font) {
  Uint16 space[2] = {' ', 0};
  std::lock_guard<std::mutex> lock(ttfLock);
  SDL_Surface* s = TTF_RenderUNICODE_Solid(font, space, SDL_Color{255, 255, 255, 0});
  if (!s) return 0;
  int w = s->w;
  SDL_FreeSurface(s);
  return w;
}

long FreeHandle() {
  for (long h = kFirstHandle; h <= kLastHandle; ++h)
    if (!Loaded().count(h)) return h;
  return 0;
}

}  // namespace

long LoadFont(const Bytes& fileName, double size, const Bytes& options) {
  if (ErrorPending()) return 0;
  unsigned opts = 0;
  if (!ParseOptions(options, opts) || !(size >= 0.001)) {
    RaiseError(5);
    return 0;
  }
  if (size >= 1000.5) return 0;

  Bytes toolPath = fileName;
  std::replace(toolPath.begin(), toolPath.end(), '/', '\\');
  platform::NativePath native = platform::ToNative(toolPath);
  if (native.error != platform::PathError::None) return -1;
  // Only a regular file: SDL_ttf's open of a FIFO would wait for a writer
  // for ever, and a device has no end.
  struct stat st;
  if (stat(native.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;

  TTF_Font* font = nullptr;
  long pointSize = 0;
  int cellHeight = 0;
  if (size >= 1) {
    const long wanted = RoundHalfEven(size) + 2;
    font = OpenForLineHeight(native.path, wanted, pointSize);
    cellHeight = int(wanted - 2);
  } else {
    pointSize = long(std::floor(size * 1000));
    font = Open(native.path, pointSize);
    if (font) cellHeight = LineHeight(font) - 2;
  }
  if (!font) return -1;
  if (cellHeight < 1) {
    Close(font);
    return 0;
  }

  int cellWidth = 0;
  if (opts & kMonospace) {
    bool fixed;
    {
      std::lock_guard<std::mutex> lock(ttfLock);
      fixed = TTF_FontFaceIsFixedWidth(font) != 0;
    }
    if (fixed) cellWidth = SpaceWidth(font);
    if (cellWidth < 1) {
      Close(font);
      return -1;
    }
    // A font whose screen no window can hold cannot serve it either.
    if (!Window().CanMake(kColumns * cellWidth, kRows * cellHeight)) {
      Close(font);
      return 0;
    }
  }

  const long handle = FreeHandle();
  if (handle == 0) {
    Close(font);
    return 0;
  }
  int style = TTF_STYLE_NORMAL;
  if (opts & kBold) style |= TTF_STYLE_BOLD;
  if (opts & kItalic) style |= TTF_STYLE_ITALIC;
  if (opts & kUnderline) style |= TTF_STYLE_UNDERLINE;
  {
    std::lock_guard<std::mutex> lock(ttfLock);
    TTF_SetFontStyle(font, style);
  }
  // SDL_ttf slants an italic glyph itself; its metrics alone place it.
  auto boxes = (opts & kItalic) ? nullptr : std::make_unique<BitmapBoxes>(native.path, pointSize);
  Loaded()[handle] = std::make_unique<TrueTypeFont>(font, cellWidth, cellHeight,
                                                    (opts & kMonospace) != 0, std::move(boxes));
  return handle;
}

void UseFont(long handle) {
  if (ErrorPending()) return;
  auto it = Loaded().find(handle);
  if (it == Loaded().end()) {
    RaiseError(258);
    return;
  }
  if (!it->second->Monospace()) {
    RaiseError(5);
    return;
  }
  Window().BetweenRedraws(
      [](void* font) {
        current = static_cast<GlyphSource*>(font);
        Window().FontChanged();
      },
      it->second.get());
}

bool UseBuiltinFont() {
  return current.exchange(&Builtin()) != &Builtin();
}

GlyphSource& CurrentFont() {
  GlyphSource* font = current.load();
  return font ? *font : Builtin();
}

int CellWidth() { return CurrentFont().CellWidth(); }
int CellHeight() { return CurrentFont().CellHeight(); }

void ResetFonts() { ResetFontState(); }

}  // namespace ts
