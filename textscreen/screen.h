// The text screen: 25 x 80 cells, cursor, current colours and palette,
// kept as plain data. The program thread writes it through the operations
// below; the window thread takes snapshots to draw.
#pragma once
#include <array>
#include <cstdint>

#include "base/bytes.h"

namespace ts {

constexpr int kRows = 25;
constexpr int kColumns = 80;

struct Cell {
  uint8_t ch = 0;
  uint8_t attr = 0;  // bits 0-3 foreground, 4-6 background, 7 blink
};

struct ScreenState {
  std::array<std::array<Cell, kColumns>, kRows> cells{};  // [row-1][col-1]
  int row = 1, column = 1;  // cursor, 1-based
  bool held = false;        // cursor held in column 80 after a full row
  bool cursorVisible = false;
  int startLine = 4, stopLine = 4;
  int fg = 7, bg = 0;  // fg 0..31 (16..31 blink), bg 0..7
  std::array<uint32_t, 16> palette{};  // 0xRRGGBB per colour number
};

// A copy of the screen taken under the screen lock; the window thread
// draws from it. `changes`, when given, receives ScreenChanges() as of the copy.
ScreenState SnapshotScreen(uint32_t* changes = nullptr);
// Counts every change that shows on the screen (cells, cursor, palette);
// any thread may read it.
uint32_t ScreenChanges();
// The live state, for tests and the layer's own rooms (program thread).
ScreenState& Screen();

// The arguments of Locate that are given, as bits.
enum LocatePart : unsigned {
  kGivenRow = 1,
  kGivenColumn = 2,
  kGivenVisible = 4,
  kGivenStartLine = 8,
  kGivenStopLine = 16
};
// `given`: LocatePart bits; the other arguments are not looked at.
void LocateGiven(unsigned given, long row, long column, long visible, long startLine,
                 long stopLine);
void Locate(long row, long column);
void Locate(long row, long column, long visible);
void Locate(long row, long column, long visible, long startLine, long stopLine);

// The arguments of SetColor that are given, as bits.
enum ColorPart : unsigned { kGivenForeground = 1, kGivenBackground = 2 };
// `given`: ColorPart bits.
void SetColorGiven(unsigned given, long foreground, long background);
void SetColor(long foreground, long background);
void SetColor(long foreground);  // background unchanged

void SetPalette(long attribute, long egaColour);
void PrintText(const Bytes& text, bool lineEnd);
int CursorRow();
int CursorColumn();

// 24-bit colour of an EGA colour number 0..63.
uint32_t EgaColour(int n);

// Process-start state of the screen (tests and ResetLayer).
void ResetScreen();

}  // namespace ts
