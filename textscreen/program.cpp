#include "program.h"

#include <algorithm>
#include <new>
#include <vector>

#include "clock.h"
#include "errors.h"
#include "keyboard.h"
#include "numbered_files.h"
#include "reset.h"
#include "screen.h"
#include "window.h"

namespace ts {
namespace {

constexpr std::size_t kInitialReturnPoints = 16384;

std::vector<int> returnPoints;
std::function<void()> resetGlobals;

void ResetProgram() {
  returnPoints.clear();
  returnPoints.shrink_to_fit();
}

RoomReset registration(&ResetProgram);

}  // namespace

void PushReturnPoint(int returnPoint) {
  if (ErrorPending()) return;
  if (returnPoints.size() == returnPoints.capacity()) {
    try {
      returnPoints.reserve(std::max(kInitialReturnPoints, returnPoints.capacity() * 2));
    } catch (const std::bad_alloc&) {
      RaiseError(256);
    }
  }
  returnPoints.push_back(returnPoint);
}

int PopReturnPoint() {
  if (ErrorPending()) return 0;
  if (returnPoints.empty()) {
    RaiseError(3);
    return 0;
  }
  int top = returnPoints.back();
  returnPoints.pop_back();
  return top;
}

std::size_t ReturnPointDepth() { return returnPoints.size(); }

void SetGlobalsReset(std::function<void()> reset) { resetGlobals = std::move(reset); }

void ResetState() {
  if (resetGlobals) resetGlobals();
  CloseAllFiles();
  returnPoints.clear();
  DisarmHandlers();
}

void EndProgram() {
  CloseAllFiles();
  ReleaseCloseTrap();
  if (!WindowInfo().visible) StopProgram();
  Locate(kRows, 1);
  PrintText(Bytes(kColumns, ' '), false);
  Locate(kRows, 1);
  PrintText("Press any key to continue", false);
  while (!ReadKey().empty()) {
  }
  for (;;) {
    if (EndRequested()) StopProgram();
    if (!ReadKey().empty()) StopProgram();
    AwaitInput(kInputWaitMs);
  }
}

}  // namespace ts
