// The built-in 8 x 16 font: the screen's glyphs until UseFont, and again
// when no window of a loaded font's size can be made.
#pragma once
#include "glyph_source.h"

namespace ts {

// Lives as long as the process; any thread.
GlyphSource& BuiltinFont();

}  // namespace ts
