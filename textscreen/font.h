// Fonts: the layer's LoadFont and UseFont over the glyph sources, the
// built-in 8 x 16 font and the faces of font files. The layer opens font
// files only through an installed face loader; the SDL back end installs
// the TrueType one.
#pragma once
#include "base/bytes.h"
#include "glyph_source.h"

namespace ts {

// The loader stays the caller's and must outlive its use; nullptr: no
// file opens as a face, so LoadFont of any file gives -1.
void InstallFaceLoader(FaceLoader* loader);

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
