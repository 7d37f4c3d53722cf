// Time: a clock seam the layer is handed (real or scripted), the time of
// day and date texts, the seconds counter, the rate limiter and the waits.
#pragma once
#include <cstdint>

#include "bytes.h"

namespace ts {

struct LocalTime {
  int year, month, day;  // 2017, 12, 25
  int hour, minute, second, millisecond;
};

class ClockSource {
 public:
  virtual ~ClockSource() = default;
  // Milliseconds since the layer started, wrapping at 2^32.
  virtual uint32_t Ticks() = 0;
  // Local wall time; false when the system time cannot be read.
  virtual bool Now(LocalTime& out) = 0;
  virtual void SleepMs(uint32_t ms) = 0;
  // Gives up the rest of the time slice.
  virtual void Yield() = 0;
};

// The process's clock. Real by default; tests install a scripted one.
ClockSource& Clock();
void InstallClock(ClockSource* clock);  // nullptr: the real clock
ClockSource& RealClock();

Bytes TimeOfDay();   // "09:05:07", or "" with error 5
Bytes TodayText();   // "12-25-2017", or "" with error 5
// Reads without raising: false when the time cannot be read.
bool TryTimeOfDay(Bytes& out);
double SecondsSinceMidnight();
void LimitRate(double rate);
void SleepOrKey(long seconds);
void Delay(double seconds);

void ResetClockState();

}  // namespace ts
