#include "clock_row.h"

#include <optional>

#include "textscreen/clock.h"
#include "textscreen/errors.h"
#include "textscreen/number_text.h"
#include "textscreen/screen.h"

namespace logship {
namespace {

using ts::Step;

std::optional<Bytes> TimeNow(ClockReading reading) {
  if (reading == ClockReading::Raising) return ts::TimeOfDay();
  Bytes time;
  if (!ts::TryTimeOfDay(time)) return std::nullopt;
  return time;
}

}  // namespace

float SecondsOf(const Bytes& timeOfDay) {
  // Shorter than "hh:mm:ss" (the clock gives "" when it cannot be read):
  // no seconds, rather than the minutes' last digit.
  if (timeOfDay.size() < 8) return 0;
  return ts::NumberFromText(timeOfDay.substr(6, 2));
}

void ClockRow::ReadSeconds(float& seconds, float drawn) const {
  Step(steps.read, [&] {
    std::optional<Bytes> time = TimeNow(reading);
    seconds = time ? SecondsOf(*time) : drawn;
  });
}

void ClockRow::RedrawIfChanged(float seconds, float& drawn) const {
  if (!ts::Decide(steps.changed, [&] { return seconds != drawn; })) return;
  Step(steps.remember, [&] {
    if (std::optional<Bytes> time = TimeNow(reading)) drawn = SecondsOf(*time);
  });
  Step(steps.draw, [] { ts::Locate(1, 71, 0); });
  Step(steps.draw, [] { ts::SetColor(7, 0); });
  Step(steps.draw, [&] {
    if (std::optional<Bytes> time = TimeNow(reading)) ts::PrintText(*time, false);
  });
}

}  // namespace logship
