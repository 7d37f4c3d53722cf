// Fonts: the built-in 8 x 16 font and TrueType faces loaded with SDL_ttf.
// One glyph source interface serves both.
#pragma once
#include <cstdint>
#include <vector>

#include "bytes.h"

namespace ts {

// Glyph pixels of one cell: width x height, row-major, 1 = foreground.
struct GlyphBitmap {
  int width = 0, height = 0;
  std::vector<uint8_t> bits;
};

class GlyphSource {
 public:
  virtual ~GlyphSource() = default;
  virtual int CellWidth() const = 0;
  virtual int CellHeight() const = 0;
  // The glyph of a code page 437 character code (0 and 255 show a space).
  virtual GlyphBitmap Glyph(uint8_t code) = 0;
};

// Returns a handle 32..1023, -1 (file cannot be opened, or MONOSPACE and
// not of fixed width) or 0 (nothing loaded; see the error rules).
long LoadFont(const Bytes& fileName, double size, const Bytes& options);
void UseFont(long handle);

// The screen's current glyph source (the built-in font until UseFont).
// Window thread, between redraws.
GlyphSource& CurrentFont();
// Window thread, when no window of the current font's size can be made:
// the screen's font becomes the built-in font again. False when it was.
bool UseBuiltinFont();
int CellWidth();
int CellHeight();

void ResetFonts();

}  // namespace ts
