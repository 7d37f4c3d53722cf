#pragma once

namespace logship {

// The export tool's main routine; runs on the program thread until the
// tool ends (ts::ProgramStop).
void ExportMain();

}  // namespace logship
