// The drawing routines every screen of the tool is put together from.
// Arguments are taken by reference and never written.
#pragma once
#include <cstdint>

#include "textscreen/base/bytes.h"

namespace logship {

using ts::Bytes;

// A single-line box from (top, left) to (bottom, right), its inside
// cleared, in the current colours.
void DrawFrame(const int16_t& top, const int16_t& left, const int16_t& bottom,
               const int16_t& right);

// The text on the row, starting at column 41 - length / 2 (both rounded
// halves to even).
void PrintCentered(const float& row, const Bytes& text);

// The shared background: panel, red frame, the flag with "ZEPRA".
void DrawBanner();

// Row 25 cleared, the text centred on it in grey on black; the parts
// between "[" and "]" in cyan, without their brackets.
void ShowStatusLine(const Bytes& text);

}  // namespace logship
