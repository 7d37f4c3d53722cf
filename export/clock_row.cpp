#include "clock_row.h"

namespace logship {

float SecondsOf(const Bytes& timeOfDay) {
  if (timeOfDay.size() < 8) return 0;
  return float((timeOfDay[6] - '0') * 10 + (timeOfDay[7] - '0'));
}

}  // namespace logship
