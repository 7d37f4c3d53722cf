#include "font_setup.h"

#include <cfloat>
#include <charconv>
#include <cmath>

#include "textscreen/errors.h"
#include "textscreen/files.h"
#include "textscreen/font.h"
#include "textscreen/window.h"

namespace logship {
namespace {

using ts::Decide;
using ts::FileMode;
using ts::Step;

constexpr long kSettingsFile = 5;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

float ToSingle(double v) {
  if (std::isnan(v)) return 0;
  if (v > FLT_MAX) return FLT_MAX;
  if (v < -FLT_MAX) return -FLT_MAX;
  return float(v);
}

// The power of ten of the first significant digit of a decimal form
// ("120" 2, "0.05" -2, "3e-7" -7), with the exponent held within bounds.
long DecimalMagnitude(const Bytes& form) {
  const std::size_t e = form.find('e');
  const Bytes mantissa = form.substr(0, e);
  long exponent = 0;
  if (e != Bytes::npos) {
    std::size_t i = e + 1;
    const bool negative = i < form.size() && form[i] == '-';
    if (i < form.size() && (form[i] == '+' || form[i] == '-')) ++i;
    for (; i < form.size() && exponent < 1000000; ++i) exponent = exponent * 10 + (form[i] - '0');
    if (negative) exponent = -exponent;
  }
  long before = 0, zerosAfter = 0;
  bool significant = false, afterPoint = false;
  for (char c : mantissa) {
    if (c == '.') afterPoint = true;
    if (!IsDigit(c)) continue;
    if (c != '0') significant = true;
    if (!afterPoint && significant) ++before;
    if (afterPoint && !significant) ++zerosAfter;
  }
  return (before > 0 ? before - 1 : -(zerosAfter + 1)) + exponent;
}

}  // namespace

float NumberFromText(const Bytes& text) {
  Bytes s;
  for (char c : text)
    if (c != ' ' && c != '\t') s += c;

  if (s.size() >= 2 && s[0] == '&') {
    int base = 0;
    if (s[1] == 'H' || s[1] == 'h') base = 16;
    if (s[1] == 'O' || s[1] == 'o') base = 8;
    if (base == 0) return 0;
    double value = 0;
    for (std::size_t i = 2; i < s.size() && DigitValue(s[i], base) >= 0; ++i)
      value = value * base + DigitValue(s[i], base);
    return ToSingle(value);
  }

  // The longest start of s of the form [sign] digits [. digits] [exponent].
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t mantissaDigits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
  }
  if (mantissaDigits == 0) return 0;
  Bytes form = s.substr(0, i);
  if (i < s.size() && (s[i] == 'D' || s[i] == 'd' || s[i] == 'E' || s[i] == 'e')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    std::size_t exponentStart = j;
    while (j < s.size() && IsDigit(s[j])) ++j;
    if (j > exponentStart) form += 'e' + s.substr(i + 1, j - i - 1);
  }

  const char* first = form.data();
  if (*first == '+') ++first;  // from_chars takes no plus sign
  double value = 0;
  auto [end, ec] = std::from_chars(first, form.data() + form.size(), value);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    // Too small to hold is 0; too large stands at the largest single.
    if (DecimalMagnitude(form) < 0) return 0.0f;
    return form[0] == '-' ? -FLT_MAX : FLT_MAX;
  }
  return ToSingle(value);
}

void SetupFont() {
  if (ts::ErrorPending()) return;

  float size = 0, x = 0, y = 0;
  Bytes sizeText, fontName, fontPath;
  long fontHandle = 0;

  Step(663, [] { ts::ShowMousePointer(); });
  Step(667, [&] { size = 15; });
  Step(668, [&] { x = 10; });
  Step(669, [&] { y = 10; });
  if (Decide(670, [] { return ts::FileExists("inifiles\\Fontnr.ini") == -1; })) {
    Step(671, [] { ts::OpenNumberedFile("inifiles\\Fontnr.ini", FileMode::Input, kSettingsFile); });
    Step(672, [&] { sizeText = ts::ReadField(kSettingsFile); });
    Step(673, [&] { x = ts::ReadNumber(kSettingsFile); });
    Step(674, [&] { y = ts::ReadNumber(kSettingsFile); });
    Step(675, [] { ts::CloseNumberedFile(kSettingsFile); });
  }
  Step(676, [&] { size = NumberFromText(sizeText); });
  if (Decide(677, [&] { return size < 15; })) Step(677, [&] { size = 15; });
  Step(680, [&] { fontName = "Lucon.ttf"; });
  if (Decide(682, [] { return ts::FileExists("inifiles\\fontkeus.ini") == -1; })) {
    Step(683, [] {
      ts::OpenNumberedFile("inifiles\\fontkeus.ini", FileMode::Input, kSettingsFile);
    });
    Step(684, [&] { fontName = ts::ReadField(kSettingsFile); });
    Step(685, [] { ts::CloseNumberedFile(kSettingsFile); });
  }
  Step(690, [&] { fontPath = "Fonts\\" + fontName; });
  Step(691, [&] { fontHandle = ts::LoadFont(fontPath, size, "monospace"); });
  Step(694, [&] { ts::UseFont(fontHandle); });
  Step(695, [&] { ts::ScreenMove(ts::RoundHalfEven(x), ts::RoundHalfEven(y), 2); });
}

}  // namespace logship
