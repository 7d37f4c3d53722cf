// The error model: pending errors, the step boundary, handler delivery,
// the uncaught-error box and the ways the program ends.
//
// A routine is written as a sequence of numbered steps:
//
//   Step(535, [&] { OpenNumberedFile(dest, FileMode::Random, 12, 100); });
//   if (Decide(186, [&] { return probeLength > 1; })) { ... }
//
// Every operation of the layer does nothing while an error is pending, so
// the rest of a failing step is inert. At the end of the step the boundary
// delivers the error: to the armed handler (by throwing HandlerEntry, which
// abandons every routine that was running and is caught by the main
// routine's dispatcher), or to the uncaught-error box, whose Yes lets the
// code simply go on with the next step.
#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "base/bytes.h"

namespace ts {

// Thrown by the step boundary to continue at a handler's first step.
struct HandlerEntry {
  uint32_t firstStep;
};

// Thrown on the program thread when the program ends (box No, a started
// next program, EndProgram, the window's end request). The program
// thread's outermost frame catches it and returns; exit code is always 0.
struct ProgramStop {};

// Records n as the pending error unless one is pending already; below 1
// counts as 5. The fatal class (256, 257, 502..518) ends the program at
// once with its OK box.
void RaiseError(long n);
bool ErrorPending();
uint32_t PendingError();

// The step boundary at the end of step `number`: end and pause requests
// first, then delivery of a pending error.
void EndStep(uint32_t number);

template <class F>
inline void Step(uint32_t number, F&& body) {
  body();
  EndStep(number);
}

// A decision: an error raised while the condition is evaluated makes it
// count as met.
template <class F>
inline bool Decide(uint32_t number, F&& condition) {
  bool met = condition();
  if (ErrorPending()) met = true;
  EndStep(number);
  return met;
}

// The handler plan, given once by the main routine: each of its handlers
// (numbered from 1; 0 is none) with the step it starts at.
struct HandlerStart {
  int handler;
  uint32_t firstStep;
};
// A handler below 1, or one given twice, is a slip in the code: said on
// standard error, and the program aborts.
void SetHandlerPlan(std::span<const HandlerStart> plan);
// Arms a handler of the plan, unless an error is pending. A handler that
// is not in the plan is a slip in the code, pending error or not.
void ArmHandler(int handler);
int ArmedHandler();
bool HandlerRunning();
// Leaves the running state (the code then goes on with the target step,
// which always follows the call). Raises 20 when no handler runs.
void ResumeAt(uint32_t targetStep);
uint32_t CurrentErrorNumber();
// Disarms the handler and clears the running flag (part of ResetState).
void DisarmHandlers();

// The fixed text of an error number; "Unprintable error" outside the table.
const char* ErrorText(uint32_t n);

// The uncaught-error box's text. The export tool's form is the default;
// the launcher installs its own.
using BoxTextFormat = std::function<std::string(uint32_t error, uint32_t step)>;
void SetBoxTextFormat(BoxTextFormat format);
std::string ExportBoxText(uint32_t error, uint32_t step);

// Ends the program from the program thread: raises the close request and
// throws ProgramStop. Never returns.
[[noreturn]] void StopProgram();

// Requests shared with the window thread.
void SetPauseRequest(bool on);
bool PauseRequested();
// Once the end is decided. Every wait of the program thread ends at once
// then, so that it comes to its next step boundary and stops there.
void SetEndRequest();
bool EndRequested();
bool CloseRequested();
// Readable from SetEndRequest on: a wait polls it beside what it waits for.
int EndRequestDescriptor();

// Runs at every step boundary, before anything else there, with the step's
// number: tests change the world between two steps with it.
void SetStepHook(std::function<void(uint32_t step)> hook);

// Process-start state of the error model (tests and ResetLayer).
void ResetErrorModel();

}  // namespace ts
