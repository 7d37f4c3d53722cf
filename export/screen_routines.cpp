#include "screen_routines.h"

#include <cstdint>

#include "textscreen/errors.h"
#include "textscreen/screen.h"

namespace logship {

using ts::Decide;
using ts::Step;

namespace {

constexpr char kTopLeft = char(218);
constexpr char kHorizontal = char(196);
constexpr char kTopRight = char(191);
constexpr char kVertical = char(179);
constexpr char kBottomLeft = char(192);
constexpr char kBottomRight = char(217);
constexpr char kFullBlock = char(219);

// A run of `count` copies of c; empty for a count below 1.
Bytes Run(long count, char c) { return count > 0 ? Bytes(size_t(count), c) : Bytes(); }

void PrintFrameRow(char first, char fill, long width, char last) {
  ts::PrintText(Bytes(1, first), false);
  ts::PrintText(Run(width - 2, fill), false);
  ts::PrintText(Bytes(1, last), false);
}

// Column where a text of `shown` characters starts when centred.
long CentredColumn(long shown) { return ts::RoundHalfEven(41 - shown / 2.0f); }

}  // namespace

void DrawFrame(const int16_t& top, const int16_t& left, const int16_t& bottom,
               const int16_t& right) {
  if (ts::ErrorPending()) return;
  // Wider than the caller's 16 bits, so that no corner can overflow them.
  long inner = 0, row = 0, lastRow = 0;

  Step(350, [&] { inner = long(right) - left + 1; });
  Step(352, [&] { ts::Locate(top, left); });
  Step(353, [&] { PrintFrameRow(kTopLeft, kHorizontal, inner, kTopRight); });
  Step(355, [&] {
    row = long(top) + 1;
    lastRow = long(bottom) - 1;
  });
  while (Decide(355, [&] { return row <= lastRow; })) {
    Step(356, [&] { ts::Locate(row, left); });
    Step(357, [&] { PrintFrameRow(kVertical, ' ', inner, kVertical); });
    Step(355, [&] { ++row; });
  }
  Step(360, [&] { ts::Locate(bottom, left); });
  Step(361, [&] { PrintFrameRow(kBottomLeft, kHorizontal, inner, kBottomRight); });
}

void PrintCentered(const float& row, const Bytes& text) {
  if (ts::ErrorPending()) return;
  Step(367, [&] { ts::Locate(ts::RoundHalfEven(row), CentredColumn(long(text.size()))); });
  Step(368, [&] { ts::PrintText(text, false); });
}

void DrawBanner() {
  if (ts::ErrorPending()) return;
  Step(372, [] { ts::SetColor(1, 1); });
  Step(373, [] { DrawFrame(2, 1, 24, 80); });
  Step(374, [] { ts::SetColor(4, 0); });
  Step(375, [] { DrawFrame(3, 3, 23, 78); });
  Step(376, [] { ts::SetColor(0, 4); });
  Step(376, [] { ts::Locate(5, 8); });
  Step(376, [] { ts::PrintText(Run(7, ' '), false); });
  Step(377, [] { ts::SetColor(0, 7); });
  Step(377, [] { ts::Locate(6, 8); });
  Step(377, [] { ts::PrintText(Run(7, ' '), false); });
  Step(378, [] { ts::SetColor(6); });
  Step(378, [] { ts::Locate(6, 9); });
  Step(378, [] { ts::PrintText("ZEPRA", true); });
  Step(379, [] { ts::SetColor(9, 0); });
  Step(379, [] { ts::Locate(7, 8); });
  Step(379, [] { ts::PrintText(Run(7, kFullBlock), false); });
}

void ShowStatusLine(const Bytes& text) {
  if (ts::ErrorPending()) return;
  long brackets = 0, length = 0, p = 0, last = 0;
  // The character at position p (from 1); nothing beyond the end.
  auto at = [&](long pos) { return pos >= 1 && pos <= length ? text[pos - 1] : '\0'; };

  Step(563, [] { ts::SetColor(7, 0); });
  Step(563, [] { ts::Locate(25, 1); });
  Step(563, [] { ts::PrintText(Run(80, ' '), false); });
  Step(565, [&] { brackets = 0; });
  Step(566, [&] { length = long(text.size()); });
  Step(567, [&] { p = 1; });
  while (Decide(567, [&] { return p <= length; })) {
    if (Decide(568, [&] { return at(p) == '['; })) Step(568, [&] { ++brackets; });
    Step(567, [&] { ++p; });
  }
  Step(570, [&] { ts::Locate(25, CentredColumn(length - 2 * brackets)); });
  Step(572, [&] {
    p = 1;
    last = length;
  });
  while (Decide(572, [&] { return p <= last; })) {
    if (Decide(573, [&] { return at(p) == '['; })) Step(573, [&] {
        ts::SetColor(3);
        ++p;
      });
    if (Decide(574, [&] { return at(p) == ']'; })) Step(574, [&] {
        ts::SetColor(7);
        ++p;
      });
    Step(575, [&] {
      if (p <= length) ts::PrintText(Bytes(1, text[p - 1]), false);
    });
    Step(572, [&] { ++p; });
  }
}

}  // namespace logship
