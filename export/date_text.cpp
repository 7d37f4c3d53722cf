#include "date_text.h"

#include <cmath>

#include "textscreen/clock.h"
#include "textscreen/errors.h"
#include "textscreen/number_text.h"

namespace logship {

using ts::Decide;
using ts::NumberFromText;
using ts::Step;

namespace {

// `count` characters of s from position `from` (counted from 1); what
// lies outside s is left out.
Bytes Mid(const Bytes& s, long from, long count) {
  if (from < 1 || count < 1 || from > long(s.size())) return "";
  return s.substr(size_t(from - 1), size_t(count));
}

}  // namespace

void FormatToday(Bytes& text) {
  if (ts::ErrorPending()) return;
  float year = 0, day = 0, month = 0, dayCount = 0, weekday = 0;
  Bytes weekdayNames, monthNames;

  Step(585, [&] { text = ts::TodayText(); });
  Step(586, [&] { year = NumberFromText(Mid(text, 7, 4)); });
  Step(586, [&] { day = NumberFromText(Mid(text, 4, 2)); });
  Step(587, [&] { month = NumberFromText(Mid(text, 1, 2)); });
  // January and February count as months 13 and 14 of the year before.
  if (Decide(587, [&] { return month < 3; })) {
    Step(587, [&] { year = year - 1; });
    Step(587, [&] { month = month + 12; });
  }
  Step(588, [&] {
    dayCount = std::floor((year - 1980) * 365.25f) - std::floor(year / 100) +
               std::floor(year / 400) - 16;
  });
  Step(589, [&] { dayCount = dayCount + day + month * 30 + std::floor(month * 0.6f - 0.3f); });
  Step(590, [&] { weekday = dayCount - 7 * std::floor(dayCount / 7); });
  Step(591, [&] { weekdayNames = "MaDiWoDoVrZaZo"; });
  Step(592, [&] { weekdayNames = Mid(weekdayNames, long(2 * weekday + 1), 2); });
  Step(612, [&] { monthNames = "  JanFebMarAprMeiJunJulAugSepOktNovDec"; });
  Step(614, [&] {
    long m = long(NumberFromText(Mid(text, 1, 2)));
    text = weekdayNames + " " + Mid(text, 4, 2) + " " + Mid(monthNames, 3 * m, 3) + " " +
           Mid(text, 7, 4);
  });
}

}  // namespace logship
