// The program's life on the layer: the return-point stack of the main
// routine's local routines, ResetState and EndProgram.
#pragma once
#include <cstddef>
#include <functional>

#include "base/bytes.h"

namespace ts {

// Return points. Pushing past what memory allows is the fatal error 256;
// popping an empty stack raises 3 and gives 0.
void PushReturnPoint(int returnPoint);
int PopReturnPoint();
std::size_t ReturnPointDepth();

// The program's own global variables, set back by ResetState.
void SetGlobalsReset(std::function<void()> resetGlobals);
// Globals zero/empty, all files closed, the return-point stack emptied,
// no handler armed or running. Screen, keys, mouse, directory untouched.
void ResetState();

// All files closed, the close trap released; then, unless the window is
// hidden, "Press any key to continue" on row 25 and one key. Never returns.
[[noreturn]] void EndProgram();

}  // namespace ts
