#include "screen.h"

#include <atomic>
#include <mutex>
#include <tuple>

#include "clock.h"
#include "errors.h"
#include "reset.h"
#include "window.h"

namespace ts {
namespace {

constexpr std::array<uint32_t, 16> kStartPalette = {
    0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
    0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};

constexpr int kLastScrollRow = 24;

// Colour numbers: foregrounds 0 to 15, and 16 to 31 the same blinking;
// backgrounds 0 to 7 (8 to 15 are taken as 0 to 7). Each of the 16
// attributes of the palette shows one of the 64 EGA colours.
constexpr long kLastColour = 15, kLastForeground = 31, kLastEgaColour = 63;
constexpr int kBlinking = 16;  // the first blinking foreground
constexpr int kBackgrounds = 8;
constexpr uint8_t kBlinkBit = 0x80;
// Cursor shape: its start and stop scan line.
constexpr long kLastCursorLine = 31;
constexpr int kTabWidth = 8;  // a tab stop every 8 columns

// The control bytes that PrintText carries out. The bell beeps for 0.2 s
// and then pauses for 250 ms.
enum Control : uint8_t {
  kBell = 7,
  kTab = 9,
  kLineFeed = 10,
  kHome = 11,
  kClearScreen = 12,
  kCarriageReturn = 13,
  kCursorRight = 28,
  kCursorLeft = 29,
  kCursorUp = 30,
  kCursorDown = 31,
};
constexpr double kBellHz = 783.99;
constexpr int kBellMs = 200, kAfterBellMs = 250;

ScreenState screen;
// The window thread copies the screen under this lock, so that a snapshot
// never holds a row half scrolled.
std::mutex screenLock;
std::atomic<uint32_t> changes{0};

// Under the screen lock, after a change that shows: a window that sleeps
// while nothing changes must draw again.
void Changed() {
  ++changes;
  Window().ScreenChanged();
}

void ResetScreenState() {
  std::lock_guard<std::mutex> lock(screenLock);
  screen = ScreenState{};
  screen.palette = kStartPalette;
  Changed();
}

RoomReset registration(&ResetScreenState);

bool OutOfRange(long v, long low, long high) { return v < low || v > high; }

uint8_t CurrentAttribute(const ScreenState& s) {
  int blink = s.fg >= kBlinking ? kBlinkBit : 0;
  return uint8_t(blink | (s.bg & 7) << 4 | (s.fg & 15));
}

void BlankRow(ScreenState& s, int row) {
  for (Cell& c : s.cells[row - 1]) c = Cell{' ', CurrentAttribute(s)};
}

// Row 25 lies below the scrolling area: a new line from row 24 or 25
// scrolls rows 1 to 24 and lands on row 24.
void NewLine(ScreenState& s) {
  s.column = 1;
  ++s.row;
  if (s.row > kLastScrollRow) {
    for (int r = 1; r < kLastScrollRow; ++r) s.cells[r - 1] = s.cells[r];
    BlankRow(s, kLastScrollRow);
    s.row = kLastScrollRow;
  }
}

// Puts one byte into the cell under the cursor; true when that took a new
// line.
bool PutByte(ScreenState& s, uint8_t byte, bool holdAtEnd) {
  s.cells[s.row - 1][s.column - 1] = Cell{byte, CurrentAttribute(s)};
  if (++s.column <= kColumns) return false;
  if (holdAtEnd) {
    s.column = kColumns;
    s.held = true;
    return false;
  }
  NewLine(s);
  return true;
}

void MoveRight(ScreenState& s) {
  if (s.column < kColumns) {
    ++s.column;
  } else if (s.row < kRows) {
    s.column = 1;
    ++s.row;
  }
}

void MoveLeft(ScreenState& s) {
  if (s.column > 1) {
    --s.column;
  } else if (s.row > 1) {
    s.column = kColumns;
    --s.row;
  }
}

}  // namespace

ScreenState SnapshotScreen(uint32_t* changesSeen) {
  std::lock_guard<std::mutex> lock(screenLock);
  if (changesSeen) *changesSeen = changes;
  return screen;
}

uint32_t ScreenChanges() { return changes; }

ScreenState& Screen() { return screen; }

void LocateGiven(unsigned given, long row, long column, long visible, long startLine,
                 long stopLine) {
  if (ErrorPending()) return;
  // The 50-row screen is not offered, so a row beyond 25 is refused too.
  bool bad = ((given & kGivenRow) && OutOfRange(row, 1, kRows)) ||
             ((given & kGivenColumn) && OutOfRange(column, 1, kColumns)) ||
             ((given & kGivenVisible) && OutOfRange(visible, 0, 1)) ||
             ((given & kGivenStartLine) && OutOfRange(startLine, 0, kLastCursorLine)) ||
             ((given & kGivenStopLine) && OutOfRange(stopLine, 0, kLastCursorLine));
  if (bad) {
    RaiseError(5);
    return;
  }
  std::lock_guard<std::mutex> lock(screenLock);
  const ScreenState& s = screen;
  const auto cursor = [&] {
    return std::tuple(s.row, s.column, s.held, s.cursorVisible, s.startLine, s.stopLine);
  };
  const auto before = cursor();
  if (given & kGivenRow) screen.row = int(row);
  if (given & kGivenColumn) screen.column = int(column);
  if (given & (kGivenRow | kGivenColumn)) screen.held = false;
  if (given & kGivenVisible) screen.cursorVisible = visible == 1;
  if (given & kGivenStartLine) screen.startLine = int(startLine);
  if (given & kGivenStopLine) screen.stopLine = int(stopLine);
  // A loop that puts the cursor where it already stands changes nothing.
  if (cursor() != before) Changed();
}

void Locate(long row, long column) { LocateGiven(kGivenRow | kGivenColumn, row, column, 0, 0, 0); }

void Locate(long row, long column, long visible) {
  LocateGiven(kGivenRow | kGivenColumn | kGivenVisible, row, column, visible, 0, 0);
}

void Locate(long row, long column, long visible, long startLine, long stopLine) {
  LocateGiven(kGivenRow | kGivenColumn | kGivenVisible | kGivenStartLine | kGivenStopLine, row,
              column, visible, startLine, stopLine);
}

void SetColorGiven(unsigned given, long foreground, long background) {
  if (ErrorPending()) return;
  if (((given & kGivenForeground) && OutOfRange(foreground, 0, kLastForeground)) ||
      ((given & kGivenBackground) && OutOfRange(background, 0, kLastColour))) {
    RaiseError(5);
    return;
  }
  std::lock_guard<std::mutex> lock(screenLock);
  if (given & kGivenForeground) screen.fg = int(foreground);
  if (given & kGivenBackground) screen.bg = int(background % kBackgrounds);
}

void SetColor(long foreground, long background) {
  SetColorGiven(kGivenForeground | kGivenBackground, foreground, background);
}
void SetColor(long foreground) { SetColorGiven(kGivenForeground, foreground, 0); }

uint32_t EgaColour(int n) {
  uint32_t r = (n & 4 ? 0xAA : 0) + (n & 32 ? 0x55 : 0);
  uint32_t g = (n & 2 ? 0xAA : 0) + (n & 16 ? 0x55 : 0);
  uint32_t b = (n & 1 ? 0xAA : 0) + (n & 8 ? 0x55 : 0);
  return r << 16 | g << 8 | b;
}

void SetPalette(long attribute, long egaColour) {
  if (ErrorPending()) return;
  if (OutOfRange(attribute, 0, kLastColour) || OutOfRange(egaColour, 0, kLastEgaColour)) {
    RaiseError(5);
    return;
  }
  std::lock_guard<std::mutex> lock(screenLock);
  screen.palette[attribute] = EgaColour(int(egaColour));
  Changed();
}

void PrintText(const Bytes& text, bool lineEnd) {
  if (ErrorPending()) return;
  std::unique_lock<std::mutex> lock(screenLock);
  ScreenState& s = screen;
  const long length = long(text.size());

  if (!s.held && s.column != 1 && s.column + length - 1 > kColumns) NewLine(s);
  if (s.held && (length > 0 || lineEnd)) {
    s.held = false;
    if (length > 0) NewLine(s);
  }

  bool lastTookNewLine = false;
  for (long i = 0; i < length; ++i) {
    const uint8_t byte = uint8_t(text[size_t(i)]);
    const bool holdAtEnd = i == length - 1 && !lineEnd;
    lastTookNewLine = false;
    switch (byte) {
      case kBell:
        // The window thread must go on drawing while the beep sounds. The
        // port only starts the tone: its time is waited here, on the
        // layer's clock.
        lock.unlock();
        Window().Beep(kBellHz, kBellMs);
        Clock().SleepMs(kBellMs);
        Clock().SleepMs(kAfterBellMs);
        lock.lock();
        break;
      case kTab:
        do {
          lastTookNewLine = PutByte(s, ' ', holdAtEnd);
        } while (!s.held && (s.column - 1) % kTabWidth != 0);
        break;
      case kLineFeed:
      case kCarriageReturn:
        NewLine(s);
        lastTookNewLine = true;
        break;
      case kHome:
        s.row = 1;
        s.column = 1;
        break;
      case kClearScreen:
        for (int r = 1; r <= kRows; ++r) BlankRow(s, r);
        s.row = 1;
        s.column = 1;
        break;
      case kCursorRight:
        MoveRight(s);
        break;
      case kCursorLeft:
        MoveLeft(s);
        break;
      case kCursorUp:
        if (s.row > 1) s.row = s.row > kLastScrollRow ? kLastScrollRow : s.row - 1;
        break;
      case kCursorDown:
        if (s.row < kLastScrollRow) ++s.row;
        break;
      default:
        lastTookNewLine = PutByte(s, byte, holdAtEnd);
        break;
    }
  }
  if (lineEnd && !lastTookNewLine) NewLine(s);
  Changed();
}

int CursorRow() {
  if (screen.held) return screen.row < kLastScrollRow ? screen.row + 1 : kLastScrollRow;
  return screen.row;
}

int CursorColumn() { return screen.held ? 1 : screen.column; }

void ResetScreen() { ResetScreenState(); }

}  // namespace ts
