#include "clock.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "errors.h"
#include "input_wake.h"
#include "platform/wait.h"
#include "reset.h"

namespace ts {

namespace {

const auto gLayerStart = std::chrono::steady_clock::now();

class SystemClock : public ClockSource {
 public:
  uint32_t Ticks() override {
    auto since = std::chrono::steady_clock::now() - gLayerStart;
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
  }

  bool Now(LocalTime& out) override {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) return false;
    tm local{};
    if (localtime_r(&now.tv_sec, &local) == nullptr) return false;
    out = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
           local.tm_min,         local.tm_sec,     int(now.tv_nsec / 1000000)};
    return true;
  }

  // Every sleep of the program thread ends with the end request.
  void SleepMs(uint32_t ms) override {
    platform::AwaitReadable(-1, EndRequestDescriptor(), SleepLimit(ms));
  }

  void Yield() override { sched_yield(); }

  void SleepUntilInput(uint32_t ms) override {
    platform::AwaitReadable(WakeUpDescriptor(), EndRequestDescriptor(), SleepLimit(ms));
    TakeWakeUp();
  }

 private:
  static int SleepLimit(uint32_t ms) { return int(std::min<uint32_t>(ms, INT32_MAX)); }
};

std::atomic<ClockSource*> gInstalled{nullptr};

constexpr uint32_t kDayMs = 86400000;
// The seconds counter moves 18.2 times a second, over a whole day.
constexpr double kCountsPerSecond = 18.2;
constexpr long kDayCounts = 1572480;

// LimitRate: below one pass a minute the period would pass 60,000 ms; a
// pass this late still keeps the rhythm.
constexpr double kSlowestRate = 1.0 / 60;
constexpr double kLateMs = 16;
// The slice of SleepOrKey's wait, and of Delay, so that neither holds up
// the end of the program.
constexpr uint32_t kKeyWaitSliceMs = 32, kDelaySliceMs = 100;
// Delay's longest wait: the most milliseconds a 32-bit count holds.
constexpr double kLongestDelaySeconds = 2147483.647;

// The time of day at a known tick count; taken on first use of a clock.
struct ClockBase {
  bool taken = false;
  uint32_t ticks = 0;
  uint32_t dayMs = 0;
};
ClockBase gBase;

// Shared by every LimitRate call; 0 means no pass seen yet.
double gRateMark = 0;

void TakeBase(ClockSource& clock) {
  LocalTime now{};
  gBase.taken = true;
  gBase.dayMs = 0;
  if (clock.Now(now))
    gBase.dayMs = uint32_t(((now.hour * 60 + now.minute) * 60 + now.second) * 1000 +
                           now.millisecond) % kDayMs;
  gBase.ticks = clock.Ticks();
}

bool ReadNow(LocalTime& now) { return Clock().Now(now); }

Bytes FormatTime(const LocalTime& t) {
  char s[32];
  std::snprintf(s, sizeof s, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return s;
}

}  // namespace

ClockSource& RealClock() {
  static SystemClock clock;
  return clock;
}

ClockSource& Clock() {
  ClockSource* c = gInstalled.load();
  return c ? *c : RealClock();
}

void InstallClock(ClockSource* clock) {
  gInstalled.store(clock);
  // Tick counts of different clocks do not compare.
  gBase = ClockBase{};
  gRateMark = 0;
}

Bytes TimeOfDay() {
  LocalTime now{};
  if (!ReadNow(now)) {
    RaiseError(5);
    return "";
  }
  return FormatTime(now);
}

Bytes TodayText() {
  LocalTime now{};
  if (!ReadNow(now)) {
    RaiseError(5);
    return "";
  }
  char s[32];
  std::snprintf(s, sizeof s, "%02d-%02d-%04d", now.month, now.day, now.year);
  return s;
}

bool TryTimeOfDay(Bytes& out) {
  LocalTime now{};
  if (!ReadNow(now)) {
    out.clear();
    return false;
  }
  out = FormatTime(now);
  return true;
}

double SecondsSinceMidnight() {
  if (ErrorPending()) return 0;
  ClockSource& clock = Clock();
  if (!gBase.taken) TakeBase(clock);
  uint32_t since = clock.Ticks() - gBase.ticks;
  uint64_t ms = (uint64_t(gBase.dayMs) + since) % kDayMs;
  long k = RoundHalfEven(ms / 1000.0 * kCountsPerSecond) % kDayCounts;
  return static_cast<float>(k / kCountsPerSecond);
}

void LimitRate(double rate) {
  if (ErrorPending()) return;
  if (!(rate > 0) || rate < kSlowestRate) {
    RaiseError(5);
    return;
  }
  ClockSource& clock = Clock();
  double period = 1000.0 / rate;
  double now = clock.Ticks();
  if (gRateMark == 0 || gRateMark > now) {
    gRateMark = now;
    return;
  }
  double elapsed = now - gRateMark;
  if (elapsed < period) {
    clock.SleepMs(static_cast<uint32_t>(period - elapsed + 1));
    gRateMark += period;
  } else if (elapsed <= period + kLateMs) {
    gRateMark += period;
  } else {
    gRateMark = now;
  }
}

void SleepOrKey(long seconds) {
  if (ErrorPending()) return;
  ClockSource& clock = Clock();
  ClearKeyPressFlag();
  if (seconds < 1) {
    while (!KeyPressFlag() && !EndRequested()) clock.SleepUntilInput(kKeyWaitSliceMs);
    return;
  }
  constexpr uint64_t kLastEnd = 4294966296ULL;
  uint64_t now = clock.Ticks();
  if (uint64_t(seconds) > kLastEnd / 1000 || now + uint64_t(seconds) * 1000 >= kLastEnd) {
    RaiseError(6);
    return;
  }
  uint64_t end = now + uint64_t(seconds) * 1000;
  for (;;) {
    if (KeyPressFlag() || EndRequested()) return;
    now = clock.Ticks();
    if (now >= end) return;
    // The last pause runs to the end itself, so the wait ends on its
    // millisecond without spinning.
    clock.SleepUntilInput(uint32_t(std::min<uint64_t>(kKeyWaitSliceMs, end - now)));
  }
}

void Delay(double seconds) {
  if (ErrorPending()) return;
  if (!(seconds >= 0) || seconds > kLongestDelaySeconds) {
    RaiseError(5);
    return;
  }
  // Callers keep single-precision values: 0.7 arrives as 0.69999998, so the
  // count is taken to the microsecond before the fraction of a millisecond
  // is dropped.
  uint32_t left = static_cast<uint32_t>(std::llround(seconds * 1e6) / 1000);
  ClockSource& clock = Clock();
  while (left > 0 && !EndRequested()) {
    uint32_t slice = std::min<uint32_t>(left, kDelaySliceMs);
    clock.SleepMs(slice);
    left -= slice;
  }
}

void AwaitInput(uint32_t ms) { Clock().SleepUntilInput(ms); }

uint32_t MsToNextSecond() {
  LocalTime now{};
  if (!ReadNow(now)) return kInputWaitMs;
  return uint32_t(1000 - std::clamp(now.millisecond, 0, 999));
}

void ResetClockState() {
  gBase = ClockBase{};
  gRateMark = 0;
}

static RoomReset reg(&ResetClockState);

}  // namespace ts
