#include "sdl_redraw.h"

#include <algorithm>

namespace ts::sdl {

CursorBand CursorRows(int startLine, int stopLine, int height) {
  // Lines count from the top of an 8-line cell whose bottom meets the
  // bottom of the real cell, so 6 to 7 are always the two lowest rows. A
  // start below the stop runs from the stop line's row to the bottom.
  constexpr int kLines = 8;
  CursorBand band;
  if (startLine <= stopLine) {
    band.top = height - kLines + startLine;
    band.bottom = height - kLines + stopLine;
  } else {
    band.top = stopLine;
    band.bottom = height - 1;
  }
  band.top = std::clamp(band.top, 0, height - 1);
  band.bottom = std::clamp(band.bottom, 0, height - 1);
  return band;
}

CellPainter::Look CellPainter::LookOf(const ScreenState& screen, int row, int column,
                                      bool blinkOff, bool cursorOn, int cellHeight) {
  const Cell& cell = screen.cells[row][column];
  Look look;
  look.ch = cell.ch;
  look.fg = screen.palette[cell.attr & 15];
  look.bg = screen.palette[(cell.attr >> 4) & 7];
  if ((cell.attr & 0x80) && blinkOff) look.fg = look.bg;
  const int cursorColumn = screen.held ? kColumns : screen.column;
  if (screen.cursorVisible && cursorOn && row == screen.row - 1 && column == cursorColumn - 1) {
    CursorBand band = CursorRows(screen.startLine, screen.stopLine, cellHeight);
    look.cursorTop = int16_t(band.top);
    look.cursorBottom = int16_t(band.bottom);
    look.cursorColour = screen.palette[cell.attr & 15];
  }
  return look;
}

namespace {

Uint32 Pixel(const SDL_PixelFormat* format, uint32_t rgb) {
  return SDL_MapRGB(const_cast<SDL_PixelFormat*>(format), Uint8(rgb >> 16), Uint8(rgb >> 8),
                    Uint8(rgb));
}

bool GlyphBit(const GlyphBitmap& glyph, int x, int y) {
  if (x >= glyph.width || y >= glyph.height) return false;
  return glyph.bits[size_t(y) * size_t(glyph.width) + size_t(x)] != 0;
}

}  // namespace

void CellPainter::Paint(SDL_Surface* surface, int x0, int y0, int width, int height,
                        const Look& look, GlyphSource& font) {
  const Uint32 fg = Pixel(surface->format, look.fg);
  const Uint32 bg = Pixel(surface->format, look.bg);
  const Uint32 cursor = Pixel(surface->format, look.cursorColour);
  // A glyph in its background colour shows nothing; it need not be made.
  GlyphBitmap glyph;
  if (look.fg != look.bg) glyph = font.Glyph(look.ch);
  if (glyph.bits.size() < size_t(std::max(glyph.width, 0)) * size_t(std::max(glyph.height, 0)))
    glyph = GlyphBitmap{};
  for (int y = 0; y < height; ++y) {
    Uint32* line = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) +
                                             (y0 + y) * surface->pitch) + x0;
    const bool band = y >= look.cursorTop && y <= look.cursorBottom;
    for (int x = 0; x < width; ++x) line[x] = band ? cursor : GlyphBit(glyph, x, y) ? fg : bg;
  }
}

void CellPainter::Draw(SDL_Surface* surface, const ScreenState& screen, GlyphSource& font,
                       uint32_t count) {
  const int width = font.CellWidth(), height = font.CellHeight();
  if (width < 1 || height < 1 || surface->format->BytesPerPixel != 4 ||
      surface->w < kColumns * width || surface->h < kRows * height)
    return;
  const bool blinkOff = count & kBlinkPhase;
  const bool cursorOn = count & kCursorPhase;

  std::array<SDL_Rect, kRows> rects;
  int rectCount = 0;
  bool locked = false;
  for (int row = 0; row < kRows; ++row) {
    int first = -1, last = -1;
    for (int column = 0; column < kColumns; ++column) {
      const Look look = LookOf(screen, row, column, blinkOff, cursorOn, height);
      if (known_ && look == drawn_[row][column]) continue;
      if (!locked) {
        if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) < 0) return;
        locked = true;
      }
      Paint(surface, column * width, row * height, width, height, look, font);
      drawn_[row][column] = look;
      if (first < 0) first = column;
      last = column;
    }
    if (first >= 0)
      rects[rectCount++] = SDL_Rect{Sint16(first * width), Sint16(row * height),
                                    Uint16((last - first + 1) * width), Uint16(height)};
  }
  known_ = true;
  if (locked && SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  if (rectCount > 0) SDL_UpdateRects(surface, rectCount, rects.data());
}

}  // namespace ts::sdl
