// The launcher: starts the suite's main program from its own folder and
// ends at once, or reports the failed start in the uncaught-error box.
#pragma once
#include <cstdint>
#include <string>

namespace launcher {

// The launcher's own text of the uncaught-error box.
std::string LauncherBoxText(uint32_t error, uint32_t step);

// The launcher's main routine: steps 2 and 3. Ends by ts::ProgramStop.
void LaunchMain();

}  // namespace launcher
