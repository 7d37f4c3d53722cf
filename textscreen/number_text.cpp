#include "number_text.h"

#include <locale.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>

namespace ts {
namespace {

bool IsDigit(int b) { return b >= '0' && b <= '9'; }

// The value of b as a digit of the radix, or -1.
int DigitOf(int b, int radix) {
  int v = -1;
  if (IsDigit(b)) v = b - '0';
  else if (b >= 'a' && b <= 'f') v = b - 'a' + 10;
  else if (b >= 'A' && b <= 'F') v = b - 'A' + 10;
  return v < radix ? v : -1;
}

// A number always has a decimal point. The process's locale may say
// otherwise, and SDL switches it while it starts on the window thread.
double DecimalValue(const std::string& form) {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
  return c ? strtod_l(form.c_str(), nullptr, c) : std::strtod(form.c_str(), nullptr);
}

}  // namespace

ScannedNumber ScanNumber(NumberSource& source) {
  ScannedNumber n;
  int b = source.Current();
  auto take = [&] {
    source.Take();
    b = source.Current();
  };
  if (b == '&') {
    take();
    const int radix = (b == 'H' || b == 'h') ? 16 : (b == 'O' || b == 'o') ? 8 : 0;
    if (radix) {
      take();
      for (; DigitOf(b, radix) >= 0 && !source.Spent(); take()) {
        n.value = n.value * radix + DigitOf(b, radix);
        ++n.digits;
      }
    }
    return n;
  }
  std::string form;  // for the conversion: the exponent letter as "e"
  if (b == '+' || b == '-') {
    form += char(b);
    take();
  }
  bool point = false;
  for (; (IsDigit(b) || (b == '.' && !point)) && !source.Spent(); take()) {
    if (b == '.') point = true;
    else ++n.digits;
    form += char(b);
  }
  if (n.digits > 0 && (b == 'D' || b == 'd' || b == 'E' || b == 'e')) {
    std::string exponent = "e";
    take();
    if (b == '+' || b == '-') {
      exponent += char(b);
      take();
    }
    for (; IsDigit(b) && !source.Spent(); take()) {
      ++n.exponentDigits;
      exponent += char(b);
    }
    if (n.exponentDigits > 0) form += exponent;
  }
  if (n.digits > 0) n.value = DecimalValue(form);
  return n;
}

std::optional<float> FieldSingle(const ScannedNumber& scanned) {
  // What a numeric field may hold before it overflows.
  constexpr int kMostDigits = 256, kMostExponentDigits = 18;
  constexpr double kLargest = 3.402823466e38;
  if (scanned.digits > kMostDigits || scanned.exponentDigits > kMostExponentDigits ||
      std::fabs(scanned.value) > kLargest)
    return std::nullopt;
  return static_cast<float>(scanned.value);
}

float NumberFromText(const Bytes& text) {
  Bytes solid;
  for (char c : text)
    if (!IsBlank(c)) solid += c;
  TextSource source(solid);
  const double v = ScanNumber(source).value;
  if (v > FLT_MAX) return FLT_MAX;
  if (v < -FLT_MAX) return -FLT_MAX;
  return float(v);
}

}  // namespace ts
