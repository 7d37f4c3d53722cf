// Draws the screen's cells on an SDL surface: only the cells whose look
// changed since the last redraw, compared with a copy of what was drawn.
#pragma once
#include <SDL/SDL.h>

#include <array>
#include <cstdint>

#include "textscreen/font.h"
#include "textscreen/screen.h"

namespace ts::sdl {

// The bits of the redraw count that turn the cursor on (every 4 redraws)
// and blinking cells off (every 8).
constexpr uint32_t kCursorPhase = 4, kBlinkPhase = 8;

// The pixel rows of a cell `height` rows high that the cursor covers,
// from `top` to `bottom` inclusive, for its start and stop lines.
struct CursorBand {
  int top = 0, bottom = -1;
};
CursorBand CursorRows(int startLine, int stopLine, int height);

class CellPainter {
 public:
  // Draws on a 32-bit surface of 80 x 25 cells of `font`. `count` is the
  // redraw count: blinking cells are off while its kBlinkPhase bit is
  // set, the cursor is on while its kCursorPhase bit is set.
  void Draw(SDL_Surface* surface, const ScreenState& screen, GlyphSource& font, uint32_t count);
  // Every cell is drawn at the next Draw (a new surface or a new font).
  void Forget() { known_ = false; }

 private:
  // Everything that decides a cell's pixels.
  struct Look {
    uint8_t ch = 0;
    uint32_t fg = 0, bg = 0;  // 0xRRGGBB as shown
    uint32_t cursorColour = 0;
    int16_t cursorTop = 0, cursorBottom = -1;  // no band when top > bottom
    bool operator==(const Look&) const = default;
  };
  static Look LookOf(const ScreenState& screen, int row, int column, bool blinkOff,
                     bool cursorOn, int cellHeight);
  static void Paint(SDL_Surface* surface, int x0, int y0, int width, int height, const Look& look,
                    GlyphSource& font);

  std::array<std::array<Look, kColumns>, kRows> drawn_{};
  bool known_ = false;
};

}  // namespace ts::sdl
