// The built-in 8 x 16 font's data: glyph bitmaps (one byte a pixel row,
// bit 7 the leftmost pixel) and the characters each glyph shows.
#pragma once
#include <cstdint>

namespace ts::builtin_font {

struct UnicodeGlyph {
  uint32_t unicode;
  uint16_t glyph;
};

extern const uint8_t kGlyphs[][16];
extern const int kGlyphCount;
extern const UnicodeGlyph kUnicode[];  // sorted by unicode
extern const int kUnicodeCount;

}  // namespace ts::builtin_font
