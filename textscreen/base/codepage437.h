// The one code page 437 table: glyphs, typed characters and file names.
#pragma once
#include <cstdint>
#include <string>

#include "bytes.h"

namespace ts {

// Unicode of a character code as the screen shows it: 1..31 and 127 the
// graphic symbols, 0 and 255 a space.
uint32_t Cp437ToUnicode(uint8_t code);
// Unicode of a byte of a text for the desktop (a dialog, a title, a
// program's argument): 0..127 stay themselves, so that a line feed still
// breaks the line, and 255 is the no-break space.
uint32_t Cp437TextToUnicode(uint8_t code);
// The code of a Unicode character (first match of the table), or -1.
int UnicodeToCp437(uint32_t unicode);

// A text for the desktop as UTF-8, by Cp437TextToUnicode.
std::string Cp437TextToUtf8(const Bytes& s);

// Names. A native name holds what the screen shows, so that a file named
// "☺.txt" on the disk is "\x01.txt" to the tool and back: 1..31 and 127
// become their glyphs (☺ ... ▼, ⌂), 255 the no-break space (32 is the
// space already), and 0 stays NUL, which no native name holds: a path
// ends there. Utf8ToCp437(Cp437ToUtf8(b)) == b for every byte string b.
std::string Cp437ToUtf8(const Bytes& s);
// The way back from a native name. A character that has no byte (a control
// such as U+0001, the euro sign) gives one '?', and so does every byte that
// is not part of well-formed UTF-8 (overlong forms and surrogates among
// them, so that no byte sequence reads back as a '/' or '\').
Bytes Utf8ToCp437(const std::string& s);

}  // namespace ts
