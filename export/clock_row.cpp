#include "clock_row.h"

#include "textscreen/number_text.h"

namespace logship {

float SecondsOf(const Bytes& timeOfDay) {
  // Shorter than "hh:mm:ss" (the clock gives "" when it cannot be read):
  // no seconds, rather than the minutes' last digit.
  if (timeOfDay.size() < 8) return 0;
  return ts::NumberFromText(timeOfDay.substr(6, 2));
}

}  // namespace logship
