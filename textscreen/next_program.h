// What both programs do about starting: the executable's folder made the
// current directory, and the start of the next program with what its
// result means for the one that starts it.
#pragma once
#include "base/bytes.h"

namespace ts {

// Makes the folder of the running executable the current directory.
void MakeExecutableFolderCurrent();

// "/" -> "\", then the whole text is the command line. Started: the
// program ends at once (ProgramStop); not started: error 53.
void StartProgram(const Bytes& path);

}  // namespace ts
