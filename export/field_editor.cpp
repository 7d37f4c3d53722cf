#include "field_editor.h"

#include <algorithm>

#include "clock_row.h"
#include "input_routines.h"
#include "textscreen/clock.h"
#include "textscreen/errors.h"
#include "textscreen/keyboard.h"
#include "textscreen/mouse.h"
#include "textscreen/screen.h"

namespace logship {
namespace {

using ts::Decide;
using ts::Step;

constexpr ClockRow kEditorClock{{515, 517, 518, 519}, ClockReading::Raising};
constexpr char kDot = char(250);  // code page 437 middle dot
constexpr int kEsc = 27, kEnter = 13, kBackspace = 8, kTab = 9;

struct Field {
  long width = 0;
  long foreground = 0, background = 0;
  long row = 0, column = 0;
  Bytes buffer;
  long cursor = 0;
  bool insert = false;
  float rememberedSeconds = 0;
  Bytes key;
  int keyValue = 0;
};

enum class Outcome { End, Redraw, Ignore };

Bytes WithoutTrailingSpaces(Bytes s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Cells up to and including the last non-blank one.
long UsedCells(const Bytes& buffer) { return long(WithoutTrailingSpaces(buffer).size()); }

int ScanCode(const Field& f) { return f.key.size() > 1 ? uint8_t(f.key[1]) : 0; }

// Waits for one key with the clock running and "ESC" of the status line
// as a mouse target; a double click there counts as Esc.
void WaitForKey(Field& f) {
  bool doubleClick = false;
  do {
    Step(494, [&] { f.key.clear(); });
    while (Decide(499, [] { return ts::NextMouseEvent(); })) {
      long mouseColumn = 0, mouseRow = 0;
      int button = 0;
      Step(501, [&] { mouseColumn = ts::RoundHalfEven(ts::MouseColumn()); });
      Step(501, [&] { mouseRow = ts::RoundHalfEven(ts::MouseRow()); });
      Step(501, [&] { button = ts::MouseButton(1); });
      if (Decide(504, [&] { return mouseRow == 25 && mouseColumn >= 53 && mouseColumn <= 56; })) {
        Step(505, [] { ts::Locate(25, 53); });
        Step(505, [] { ts::SetColor(14, 4); });
        Step(505, [] { ts::PrintText("ESC", false); });
        if (Decide(506, [&] { return button == -1; })) {
          float flag = 0;
          Step(506, [&] { DetectDoubleClick(flag); });
          if (Decide(507, [&] { return flag != 0; })) {
            // Straight to the end of the wait: no clock, no key read, and
            // the events still queued stay for later.
            Step(507, [&] { f.key = Bytes(1, char(kEsc)); });
            doubleClick = true;
            break;
          }
        }
      } else {
        Step(508, [] { ts::Locate(25, 53); });
        Step(508, [] { ts::SetColor(14, 0); });
        Step(508, [] { ts::PrintText("ESC", false); });
      }
    }
    if (doubleClick) break;
    float seconds = 0;
    kEditorClock.ReadSeconds(seconds, f.rememberedSeconds);
    Step(516, [] { ts::LimitRate(100); });
    kEditorClock.RedrawIfChanged(seconds, f.rememberedSeconds);
    Step(521, [&] { ts::Locate(f.row, f.column + f.cursor, 1, 6, f.insert ? 1 : 7); });
    Step(522, [&] { f.key = ts::ReadKey(); });
  } while (Decide(523, [&] { return f.key.empty(); }));
  Step(525, [&] { ts::SetColor(f.foreground, f.background); });
  Step(525, [&] { ts::Locate(f.row, f.column, 0); });
  Step(526, [&] { f.keyValue = f.key.empty() ? 0 : uint8_t(f.key[0]); });
}

Outcome EndWith(long& exitCode, long code, uint32_t step) {
  Step(step, [&] { exitCode = code; });
  return Outcome::End;
}

Outcome ExtendedKey(Field& f, long& exitCode) {
  const int scan = ScanCode(f);
  if (Decide(445, [&] {
        return scan == 15 || (scan >= 59 && scan <= 63) || (scan >= 65 && scan <= 68) ||
               (scan >= 94 && scan <= 134);
      }))
    return EndWith(exitCode, scan, 445);
  if (Decide(446, [&] { return scan == 45; })) return EndWith(exitCode, 45, 446);
  if (Decide(448, [&] { return scan == 77; })) {
    Step(449, [&] { f.cursor = std::min(f.cursor + 1, f.width); });
    return Outcome::Redraw;
  }
  if (Decide(450, [&] { return scan == 72; })) return EndWith(exitCode, 2, 451);
  if (Decide(452, [&] { return scan == 73; })) return EndWith(exitCode, 73, 453);
  if (Decide(454, [&] { return scan == 81; })) return EndWith(exitCode, 81, 455);
  if (Decide(456, [&] { return scan == 71; })) {
    Step(457, [&] { f.cursor = 0; });
    return Outcome::Redraw;
  }
  if (Decide(458, [&] { return scan == 75; })) {
    if (Decide(459, [&] { return f.cursor == 0; })) return Outcome::Ignore;
    Step(459, [&] { --f.cursor; });
    return Outcome::Redraw;
  }
  if (Decide(460, [&] { return scan == 83; })) {
    if (Decide(461, [&] { return f.cursor < f.width; })) {
      Step(461, [&] {
        f.buffer.erase(std::size_t(f.cursor), 1);
        f.buffer.push_back(' ');
      });
    }
    return Outcome::Redraw;
  }
  if (Decide(462, [&] { return scan == 82; })) {
    Step(463, [&] { f.insert = !f.insert; });
    return Outcome::Redraw;
  }
  if (Decide(464, [&] { return scan == 79; })) {
    Step(465, [&] { f.cursor = UsedCells(f.buffer); });
    return Outcome::Redraw;
  }
  if (Decide(466, [&] { return scan == 21 || scan == 64; })) {
    Step(467, [&] {
      f.buffer.replace(std::size_t(f.cursor), std::size_t(f.width - f.cursor),
                       std::size_t(f.width - f.cursor), ' ');
    });
    return Outcome::Redraw;
  }
  if (Decide(468, [&] { return scan == 80; })) return EndWith(exitCode, 9, 469);
  return Outcome::Ignore;  // 474
}

Outcome TypedCharacter(Field& f) {
  if (Decide(487, [&] {
        return f.cursor >= f.width || (f.insert && f.buffer[std::size_t(f.width - 1)] != ' ');
      }))
    return Outcome::Ignore;
  if (Decide(488, [&] { return f.insert; })) {
    Step(488, [&] {
      f.buffer.insert(std::size_t(f.cursor), 1, ' ');
      f.buffer.pop_back();
    });
  }
  if (Decide(489, [&] { return f.keyValue >= 'a' && f.keyValue <= 'z'; }))
    Step(489, [&] { f.keyValue -= 32; });
  Step(492, [&] { f.buffer[std::size_t(f.cursor)] = char(f.keyValue); });
  Step(493, [&] { ++f.cursor; });
  return Outcome::Redraw;
}

Outcome HandleKey(Field& f, long& exitCode) {
  if (Decide(444, [&] { return f.keyValue == 0; })) return ExtendedKey(f, exitCode);
  const int v = f.keyValue;
  if (Decide(475, [&] { return v == kEsc; })) return EndWith(exitCode, 1, 476);
  if (Decide(477, [&] { return v == kEnter; })) return Outcome::End;
  if (Decide(479, [&] { return v == kBackspace; })) {
    if (Decide(480, [&] { return f.cursor == 0; })) return Outcome::Ignore;
    Step(480, [&] {
      f.buffer.erase(std::size_t(f.cursor - 1), 1);
      f.buffer.push_back(' ');
      --f.cursor;
    });
    return Outcome::Redraw;
  }
  if (Decide(481, [&] { return v == kTab; })) return EndWith(exitCode, 9, 482);
  if (Decide(483, [&] {
        return v < 32 || (v >= 33 && v <= 47) || (v >= 58 && v <= 64) || (v >= 91 && v <= 96);
      }))
    return Outcome::Ignore;
  return TypedCharacter(f);
}

// The hidden cursor stands on the field's first cell (step 525).
void Redraw(const Field& f) {
  Step(428, [&] { ts::PrintText(f.buffer.substr(0, std::size_t(f.cursor)), false); });
  if (Decide(429, [&] { return f.cursor < f.width; }))
    Step(431, [&] { ts::PrintText(f.buffer.substr(std::size_t(f.cursor), 1), false); });
  if (Decide(435, [&] { return f.cursor < f.width; })) {
    const long shown = std::max(UsedCells(f.buffer), f.cursor + 1);
    Step(436, [&] {
      ts::PrintText(f.buffer.substr(std::size_t(f.cursor + 1), std::size_t(shown - f.cursor - 1)),
                    false);
    });
    Step(437, [&] { ts::PrintText(Bytes(std::size_t(f.width - shown), kDot), false); });
  }
}

}  // namespace

void EditField(long width, long& exitCode, Bytes& text, long foreground, long background) {
  Field f;
  f.width = std::max(width, 0L);
  f.foreground = foreground;
  f.background = background;

  Step(405, [&] { f.row = ts::CursorRow(); });
  Step(405, [&] { f.column = ts::CursorColumn(); });
  Step(405, [&] { exitCode = kExitEnter; });
  Step(406, [&] { ts::SetColor(foreground, background); });
  Step(406, [&] { ts::Locate(f.row, f.column); });
  Step(406, [&] { ts::PrintText(Bytes(std::size_t(f.width), kDot), false); });
  Step(408, [&] { text = WithoutTrailingSpaces(text); });
  Step(409, [&] { ts::Locate(f.row, f.column); });
  Step(409, [&] { ts::PrintText(text, false); });
  Step(410, [&] {
    f.buffer = text.substr(0, std::size_t(f.width));
    f.buffer.resize(std::size_t(f.width), ' ');
  });
  Step(411, [&] { f.cursor = 0; });

  WaitForKey(f);  // 412
  Outcome outcome = Outcome::Ignore;
  if (Decide(414, [&] { return f.keyValue == kEsc; })) {
    outcome = EndWith(exitCode, 1, 415);
  } else if (Decide(416, [&] { return f.keyValue == kEnter; })) {
    outcome = Outcome::End;
  } else {
    if (Decide(418, [&] { return f.keyValue >= 'a' && f.keyValue <= 'z'; }))
      Step(420, [&] { f.keyValue -= 32; });
  }
  while (outcome != Outcome::End) {
    outcome = HandleKey(f, exitCode);
    if (outcome == Outcome::End) break;
    if (outcome == Outcome::Redraw) Redraw(f);
    WaitForKey(f);  // 440, 441
  }

  Step(529, [&] { text = WithoutTrailingSpaces(f.buffer); });
  Step(529, [&] { ts::SetColor(1, background); });
  Step(530, [&] { ts::PrintText(text, false); });
  Step(530, [&] {
    ts::PrintText(Bytes(std::size_t(f.width) - text.size() + 1, ' '), false);
  });
}

}  // namespace logship
