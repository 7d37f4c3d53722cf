#include "truetype_font.h"

#include <SDL_ttf.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <bitset>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "textscreen/base/codepage437.h"

namespace ts::sdl {
namespace {

// FreeType's library handle is shared by every face: the window thread's
// rendering and the program thread's opening must not overlap.
std::mutex ttfLock;

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
  TrueTypeFont(TTF_Font* font, int width, int height, std::unique_ptr<BitmapBoxes> boxes)
      : font_(font), width_(width), height_(height), boxes_(std::move(boxes)) {}
  ~TrueTypeFont() override {
    std::lock_guard<std::mutex> lock(ttfLock);
    TTF_CloseFont(font_);
  }
  int CellWidth() const override { return width_; }
  int CellHeight() const override { return height_; }

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
  std::unique_ptr<BitmapBoxes> boxes_;
  std::array<Placement, 256> placements_{};
  std::bitset<256> placed_;
};

class TrueTypeFace : public Face {
 public:
  TrueTypeFace(TTF_Font* font, std::string path, long pointSize)
      : font_(font), path_(std::move(path)), pointSize_(pointSize) {}
  ~TrueTypeFace() override {
    std::lock_guard<std::mutex> lock(ttfLock);
    if (font_) TTF_CloseFont(font_);
  }
  TrueTypeFace(const TrueTypeFace&) = delete;
  TrueTypeFace& operator=(const TrueTypeFace&) = delete;

  int LineHeight() override {
    std::lock_guard<std::mutex> lock(ttfLock);
    return TTF_FontHeight(font_);
  }
  bool FixedWidth() override {
    std::lock_guard<std::mutex> lock(ttfLock);
    return TTF_FontFaceIsFixedWidth(font_) != 0;
  }
  int SpaceWidth() override {
    Uint16 space[2] = {' ', 0};
    std::lock_guard<std::mutex> lock(ttfLock);
    SDL_Surface* s = TTF_RenderUNICODE_Solid(font_, space, SDL_Color{255, 255, 255, 0});
    if (!s) return 0;
    int w = s->w;
    SDL_FreeSurface(s);
    return w;
  }

  std::unique_ptr<GlyphSource> Glyphs(int cellWidth, int cellHeight,
                                      const FaceStyle& style) override {
    int ttfStyle = TTF_STYLE_NORMAL;
    if (style.bold) ttfStyle |= TTF_STYLE_BOLD;
    if (style.italic) ttfStyle |= TTF_STYLE_ITALIC;
    if (style.underline) ttfStyle |= TTF_STYLE_UNDERLINE;
    {
      std::lock_guard<std::mutex> lock(ttfLock);
      TTF_SetFontStyle(font_, ttfStyle);
    }
    // SDL_ttf slants an italic glyph itself; its metrics alone place it.
    auto boxes = style.italic ? nullptr : std::make_unique<BitmapBoxes>(path_, pointSize_);
    return std::make_unique<TrueTypeFont>(std::exchange(font_, nullptr), cellWidth, cellHeight,
                                          std::move(boxes));
  }

 private:
  TTF_Font* font_;  // null once it became a glyph source
  std::string path_;
  long pointSize_;
};

class TrueTypeLoader : public FaceLoader {
 public:
  std::unique_ptr<Face> Open(const std::string& nativePath, long pointSize) override {
    TTF_Font* font = nullptr;
    {
      std::lock_guard<std::mutex> lock(ttfLock);
      if (!TTF_WasInit() && TTF_Init() != 0) return nullptr;
      font = TTF_OpenFont(nativePath.c_str(), int(pointSize));
    }
    if (!font) return nullptr;
    return std::make_unique<TrueTypeFace>(font, nativePath, pointSize);
  }
};

}  // namespace

FaceLoader& TrueTypeFaces() {
  static TrueTypeLoader loader;
  return loader;
}

}  // namespace ts::sdl
