#include "builtin_font.h"

#include <algorithm>
#include <array>

#include "base/codepage437.h"
#include "builtin_font_data.h"

namespace ts {
namespace {

class BuiltinGlyphs : public GlyphSource {
 public:
  BuiltinGlyphs() {
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

}  // namespace

GlyphSource& BuiltinFont() {
  static BuiltinGlyphs font;
  return font;
}

}  // namespace ts
