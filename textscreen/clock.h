// Time: a clock seam the layer is handed (real or scripted), the time of
// day and date texts, the seconds counter, the rate limiter and the waits.
#pragma once
#include <cstdint>

#include "base/bytes.h"

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
  // The real clock's sleeps, this one and the next, end at once when the
  // end request comes.
  virtual void SleepMs(uint32_t ms) = 0;
  // Gives up the rest of the time slice.
  virtual void Yield() = 0;
  // Sleeps up to `ms`, less when the window thread hands in a key press or
  // a mouse event meanwhile or since the last call (input_wake.h). A clock
  // that cannot be woken just sleeps.
  virtual void SleepUntilInput(uint32_t ms) { SleepMs(ms); }
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

// The pause of a loop that waits for the user and found nothing to do: up
// to `ms`, cut short by input. It keeps an idle wait off the processor.
void AwaitInput(uint32_t ms);
// Input wakes a waiting loop at once; this long is only its safety net.
constexpr uint32_t kInputWaitMs = 100;
// Milliseconds until the seconds of the time of day change (at least 1),
// so that a loop that shows the clock sleeps until it must draw it again.
uint32_t MsToNextSecond();

void ResetClockState();

}  // namespace ts
