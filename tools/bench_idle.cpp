// The cost of an idle wait: a loop paced by LimitRate(100) that reads a key
// and the time of day on every pass, as the drive menu and the name field
// do, run for 10 seconds on the real clock.
// Prints "idle loop: <passes> passes in <s> s, CPU <pct> % of one core".
#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "textscreen/clock.h"
#include "textscreen/keyboard.h"
#include "textscreen/reset.h"

namespace {

double CpuSeconds() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
         double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main() {
  ts::ResetLayer();
  // The layer's tick count starts at 0, and a rate mark of 0 means "no pass
  // yet": leave the first millisecond behind, as the tool always has.
  ts::Clock().SleepMs(20);
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = CpuSeconds();
  long passes = 0;
  double wall = 0;
  do {
    ts::LimitRate(100);
    ts::ReadKey();
    ts::TimeOfDay();
    ++passes;
    wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  } while (wall < 10);
  std::printf("idle loop: %ld passes in %.1f s, CPU %.2f %% of one core\n", passes, wall,
              100 * (CpuSeconds() - cpuStart) / wall);
  return 0;
}
