#include "input_wake.h"

#include <atomic>

#include "platform/wait.h"
#include "reset.h"

namespace ts {
namespace {

platform::Event& WakeUp() {
  static platform::Event wakeUp;
  return wakeUp;
}

std::atomic<bool> keyPressFlag{false};

}  // namespace

void WakeForInput() { WakeUp().Raise(); }
int WakeUpDescriptor() { return WakeUp().Descriptor(); }
void TakeWakeUp() { WakeUp().Take(); }

void NoteKeyPress() { keyPressFlag = true; }
void ClearKeyPressFlag() { keyPressFlag = false; }
bool KeyPressFlag() { return keyPressFlag; }

void ResetInputWake() {
  TakeWakeUp();
  keyPressFlag = false;
}

static RoomReset reg(&ResetInputWake);

}  // namespace ts
