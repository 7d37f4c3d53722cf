// The one code page 437 table: glyphs, typed characters and file names.
#pragma once
#include <cstdint>

namespace ts {

// Unicode of a character code as the screen shows it: 1..31 and 127 the
// graphic symbols, 0 and 255 a space.
uint32_t Cp437ToUnicode(uint8_t code);
// Unicode of a byte in a file name: as above, but 0..31 and 127 stay
// themselves and 255 is the no-break space.
uint32_t Cp437NameToUnicode(uint8_t code);
// The code of a Unicode character (first match of the table), or -1.
int UnicodeToCp437(uint32_t unicode);

}  // namespace ts
