// The wake-up of a wait for the user. The window thread raises it with
// every key press, mouse event and use of the close control; the next
// sleep of a waiting loop takes it, so that input that comes between a
// loop's look and its sleep still ends that sleep at once. Beside it the
// key-press flag, which ends SleepOrKey's wait.
#pragma once

namespace ts {

// Window thread: a key press, a mouse event or the close control came in.
void WakeForInput();
// Readable from WakeForInput on, until the wake-up is taken.
int WakeUpDescriptor();
void TakeWakeUp();

// Window thread: a key went down, a modifier alone too.
void NoteKeyPress();
// The key-press flag (only SleepOrKey clears and reads it).
void ClearKeyPressFlag();
bool KeyPressFlag();

void ResetInputWake();

}  // namespace ts
