#include "codepage437.h"

#include <array>
#include <string>

namespace ts {
namespace {

// What each code shows on the screen. 0 and 255 are blank cells.
constexpr std::array<uint16_t, 256> kGlyphs = [] {
  std::array<uint16_t, 256> t{};
  constexpr uint16_t kSymbols[32] = {
      0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
      0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
      0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
      0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};
  constexpr uint16_t kHigh[128] = {
      0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
      0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
      0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
      0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
      0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
      0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
      0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
      0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
      0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
      0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
      0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
      0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
      0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
      0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
      0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
      0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};
  for (int c = 0; c < 32; ++c) t[c] = kSymbols[c];
  for (int c = 32; c < 127; ++c) t[c] = uint16_t(c);
  t[127] = 0x2302;
  for (int c = 128; c < 256; ++c) t[c] = kHigh[c - 128];
  t[255] = 0x0020;
  return t;
}();

// A byte of a name: what the screen shows, but 0 stays NUL and 255, a
// second space on the screen, is the no-break space.
uint32_t NameUnicode(uint8_t code) {
  if (code == 0) return 0;
  if (code == 255) return 0x00A0;
  return kGlyphs[code];
}

// The byte whose NameUnicode is `unicode`, or -1.
int NameCode(uint32_t unicode) {
  if (unicode == 0) return 0;
  if (unicode == 0x00A0) return 255;
  if (unicode < 32 || unicode == 127) return -1;
  return UnicodeToCp437(unicode);
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// The length of the well-formed UTF-8 sequence at s[i], its code point in
// `cp`; 0 when none starts there.
size_t DecodeUtf8(const std::string& s, size_t i, uint32_t& cp) {
  const unsigned char c = s[i];
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  const size_t extra = c >= 0xF8 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if (extra == 0 || s.size() - i <= extra) return 0;
  cp = c & (0x3F >> extra);
  for (size_t k = 1; k <= extra; ++k) {
    const unsigned char next = s[i + k];
    if ((next & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  constexpr uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};  // shorter forms are overlong
  if (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return 0;
  return extra + 1;
}

}  // namespace

uint32_t Cp437ToUnicode(uint8_t code) { return kGlyphs[code]; }

uint32_t Cp437TextToUnicode(uint8_t code) { return code < 128 ? code : NameUnicode(code); }

int UnicodeToCp437(uint32_t unicode) {
  if (unicode < 128) return int(unicode);
  for (int c = 1; c < 255; ++c)
    if (kGlyphs[c] == unicode) return c;
  return -1;
}

std::string Cp437TextToUtf8(const Bytes& s) {
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) AppendUtf8(out, Cp437TextToUnicode(c));
  return out;
}

std::string Cp437ToUtf8(const Bytes& s) {
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) AppendUtf8(out, NameUnicode(c));
  return out;
}

Bytes Utf8ToCp437(const std::string& s) {
  Bytes out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    uint32_t cp = 0;
    const size_t length = DecodeUtf8(s, i, cp);
    const int code = length > 0 ? NameCode(cp) : -1;
    out += code >= 0 ? char(code) : '?';
    i += length > 0 ? length : 1;
  }
  return out;
}

}  // namespace ts
