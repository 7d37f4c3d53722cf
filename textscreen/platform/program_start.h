// Program start in place of WinExec: the command line split as Windows
// splits one, the program resolved through the path rules, posix_spawn,
// not waited for, no zombie left behind.
#pragma once
#include "../bytes.h"

namespace ts::platform {

// True when the new process runs the program.
bool SpawnCommandLine(const Bytes& commandLine);

}  // namespace ts::platform

namespace ts {
// "/" -> "\", started: the program ends at once (ProgramStop); not
// started: error 53.
void StartProgram(const Bytes& path);
}  // namespace ts
