#include "next_program.h"

#include <unistd.h>

#include <algorithm>
#include <string>

#include "errors.h"
#include "platform/paths.h"
#include "platform/program_start.h"

namespace ts {

void MakeExecutableFolderCurrent() {
  std::string folder = platform::ExecutableFolder();
  if (!folder.empty() && chdir(folder.c_str()) != 0) {
    // Relative names then refer to wherever the program was started from.
  }
}

void StartProgram(const Bytes& path) {
  if (ErrorPending()) return;
  Bytes commandLine = path;
  std::replace(commandLine.begin(), commandLine.end(), '/', '\\');
  if (platform::ExecCommandLine(commandLine) >= platform::kExecStarted) StopProgram();
  RaiseError(53);
}

}  // namespace ts
