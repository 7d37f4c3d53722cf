#include "launch_main.h"

#include <cstdio>

#include "textscreen/errors.h"
#include "textscreen/next_program.h"

namespace launcher {

std::string LauncherBoxText(uint32_t error, uint32_t step) {
  char text[256];
  std::snprintf(text, sizeof text, "Line: %u (in %s)\n%s%s", unsigned(step), "main module",
                ts::ErrorText(error), "\nContinue?");
  return text;
}

void LaunchMain() {
  ts::Step(2, [] { ts::StartProgram("tarnvale\\tarnvale.exe"); });
  // Reached only after Yes in the box of a failed start.
  ts::Step(3, [] { ts::StopProgram(); });
}

}  // namespace launcher
