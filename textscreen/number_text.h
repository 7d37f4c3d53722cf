// Numbers as the tool's files and settings spell them: one scanner for
// the numeric fields of a file and for a text that spells a number.
#pragma once
#include <cstddef>
#include <optional>

#include "base/bytes.h"

namespace ts {

// Where a number is read from, one byte at a time.
class NumberSource {
 public:
  virtual int Current() = 0;  // the byte at hand; -1 at the end
  virtual void Take() = 0;    // on to the next byte
  // A bound on the stretch (a field's longest): no more digits are taken.
  virtual bool Spent() { return false; }

 protected:
  ~NumberSource() = default;
};

// A text from its first byte.
class TextSource final : public NumberSource {
 public:
  explicit TextSource(const Bytes& text) : text_(text) {}
  int Current() override { return at_ < text_.size() ? (unsigned char)text_[at_] : -1; }
  void Take() override { ++at_; }
  size_t Taken() const { return at_; }

 private:
  const Bytes& text_;
  size_t at_ = 0;
};

struct ScannedNumber {
  double value = 0;  // 0 when the stretch has no digit
  long digits = 0;   // of the mantissa, or the hexadecimal or octal digits
  long exponentDigits = 0;
};

// Takes the longest stretch that forms a number: an optional sign, digits
// with at most one decimal point (a comma is none, whatever the locale),
// then, after a digit, an optional exponent (D, E, d or e, an optional
// sign, digits); or "&H" / "&h" and hexadecimal digits, or "&O" / "&o"
// and octal digits. A blank ends it. The byte that cannot go on stays
// current.
ScannedNumber ScanNumber(NumberSource& source);

// A numeric field of a file as a single-precision number: more than 256
// digits, more than 18 exponent digits or a value above 3.402823466e38
// is an overflow, and gives nothing.
std::optional<float> FieldSingle(const ScannedNumber& scanned);

// The number that a text spells (a setting): blanks and tabs count for
// nothing wherever they stand, and what follows the number is ignored.
// No overflow: beyond the single range it stands at the largest single of
// its sign, and too small to hold is 0.
float NumberFromText(const Bytes& text);

}  // namespace ts
