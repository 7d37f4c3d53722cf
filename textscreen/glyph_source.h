// The glyph sources of the screen: one interface for the built-in 8 x 16
// font and for the faces of font files, and the loader that opens those.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
  // Window thread, while faces may be opened on the program thread.
  virtual GlyphBitmap Glyph(uint8_t code) = 0;
};

struct FaceStyle {
  bool bold = false, italic = false, underline = false;
};

// A font file's face opened at one point size. LoadFont sizes the cells
// from its metrics; the program thread calls every member.
class Face {
 public:
  virtual ~Face() = default;
  // Pixels from one line to the next.
  virtual int LineHeight() = 0;
  virtual bool FixedWidth() = 0;
  // The width of a rendered space; 0 when none renders.
  virtual int SpaceWidth() = 0;
  // The face becomes the glyph source of cells of width x height (a
  // width of 0 for a face the screen cannot use); never null. The face
  // is not used again.
  virtual std::unique_ptr<GlyphSource> Glyphs(int cellWidth, int cellHeight,
                                              const FaceStyle& style) = 0;
};

class FaceLoader {
 public:
  virtual ~FaceLoader() = default;
  // The face in the file at a native path, at a point size of 1 or more;
  // null when the file cannot be opened as a face.
  virtual std::unique_ptr<Face> Open(const std::string& nativePath, long pointSize) = 0;
};

}  // namespace ts
