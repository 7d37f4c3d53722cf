// Times the drive scan: from the start of ScanDrives (step 167) until the
// drive menu has drawn its highlighted entry and waits for a key, with the
// real command interpreter beside this program and the drives that
// LOGSHIP_DRIVES names (default here: two temporary folders, C and E).
// Prints "scan to menu: median <ms> ms, min <ms> ms (<n> drives, 9 runs)".
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/flow.h"
#include "export/globals.h"
#include "textscreen/clock.h"
#include "textscreen/errors.h"
#include "textscreen/platform/paths.h"
#include "textscreen/program.h"
#include "textscreen/reset.h"

namespace fs = std::filesystem;

namespace {

struct MenuWaits {};

// The real clock, except that the first give-up of the time slice (the
// menu's first FlushKeys, once it is drawn) ends the run.
class StopAtFirstWait : public ts::ClockSource {
 public:
  uint32_t Ticks() override { return ts::RealClock().Ticks(); }
  bool Now(ts::LocalTime& out) override { return ts::RealClock().Now(out); }
  void SleepMs(uint32_t ms) override { ts::RealClock().SleepMs(ms); }
  void Yield() override { throw MenuWaits{}; }
};

}  // namespace

int main() {
  char pattern[] = "/tmp/logship-bench-scan-XXXXXX";
  fs::path root = mkdtemp(pattern);
  for (const char* d : {"c", "e", "tool"}) fs::create_directories(root / d);
  std::ofstream(root / "c" / "a.txt") << "x";
  std::ofstream(root / "e" / "b.txt") << "x";
  if (!getenv("LOGSHIP_DRIVES")) {
    std::string map = "C=" + (root / "c").string() + ";E=" + (root / "e").string();
    setenv("LOGSHIP_DRIVES", map.c_str(), 1);
  }
  fs::current_path(root / "tool");
  ts::ResetLayer();
  StopAtFirstWait clock;
  ts::InstallClock(&clock);
  logship::SetHandlerPlan();

  std::vector<double> ms;
  for (int run = 0; run < 9; ++run) {
    ts::ResetState();
    ts::PushReturnPoint(1);
    auto start = std::chrono::steady_clock::now();
    try {
      logship::RunFlow(logship::Entry::ScanDrives, {logship::Entry::EndSequence});
      std::fprintf(stderr, "no drive was found\n");
      return 1;
    } catch (const MenuWaits&) {
    }
    ms.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("scan to menu: median %.1f ms, min %.1f ms (%d drives, %zu runs)\n",
              ms[ms.size() / 2], ms.front(), int(logship::G().driveCount), ms.size());
  fs::remove_all(root);
  return 0;
}
