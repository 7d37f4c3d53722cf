// The cost of an idle wait: a loop paced by LimitRate(100) that reads a key
// and the time of day on every pass, as the drive menu and the name field
// do, run 5 times for 2 seconds each on the real clock.
// Prints "idle loop: median <pct> %, min <pct> % of one core (5 runs of 2 s,
// <passes> passes a second)".
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "textscreen/clock.h"
#include "textscreen/keyboard.h"
#include "textscreen/reset.h"

namespace {

constexpr int kRuns = 5;
constexpr double kSeconds = 2;

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
  std::vector<double> percent;
  long passes = 0;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    double wall = 0;
    do {
      ts::LimitRate(100);
      ts::ReadKey();
      ts::TimeOfDay();
      ++passes;
      wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (wall < kSeconds);
    percent.push_back(100 * (CpuSeconds() - cpuStart) / wall);
  }
  std::sort(percent.begin(), percent.end());
  std::printf("idle loop: median %.2f %%, min %.2f %% of one core (%d runs of %g s, %.0f passes a "
              "second)\n",
              percent[percent.size() / 2], percent.front(), kRuns, kSeconds,
              double(passes) / (kRuns * kSeconds));
  return 0;
}
