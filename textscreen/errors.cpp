#include "errors.h"

#include <errno.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/message_box.h"
#include "platform/wait.h"
#include "reset.h"

namespace ts {
namespace {

struct ErrorState {
  uint32_t pending = 0;
  int armed = 0;
  bool running = false;
  uint32_t current = 0;
  std::vector<HandlerStart> plan;
};

ErrorState state;
std::atomic<bool> pauseRequest{false}, closeRequest{false}, endRequest{false};
BoxTextFormat boxFormat;
std::function<void(uint32_t)> stepHook;

constexpr int kPauseCheckMs = 10;

platform::Event& EndEvent() {
  static platform::Event event;
  return event;
}

[[noreturn]] void Slip(const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what.c_str());
  std::abort();
}

const HandlerStart* Planned(int handler) {
  auto row = std::ranges::find(state.plan, handler, &HandlerStart::handler);
  return row != state.plan.end() ? &*row : nullptr;
}

bool IsFatal(long n) { return n == 256 || n == 257 || (n >= 502 && n <= 518); }

[[noreturn]] void EndFatally(long n) {
  std::string caption = n == 256 ? "Critical Error"
                        : n == 257 ? "Critical Error #1"
                                   : "Critical Error #" + std::to_string(n - 500);
  platform::ShowMessageBox(caption, n == 256 ? "Out of stack space" : "Out of memory",
                           platform::BoxKind::Ok, EndRequestDescriptor());
  // The program ends as on every other way: the window thread closes all
  // files and ends the process with exit code 0.
  StopProgram();
}

void Deliver(uint32_t step) {
  uint32_t n = state.pending;
  if (state.armed != 0 && !state.running) {
    state.current = n;
    state.pending = 0;
    state.running = true;
    throw HandlerEntry{Planned(state.armed)->firstStep};
  }
  std::string text = boxFormat ? boxFormat(n, step) : ExportBoxText(n, step);
  auto answer = platform::ShowMessageBox("Unhandled Error #" + std::to_string(n), text,
                                         platform::BoxKind::YesNo, EndRequestDescriptor());
  if (answer != platform::BoxAnswer::Yes) StopProgram();
  state.pending = 0;
}

void ResetErrors() {
  state = ErrorState{};
  pauseRequest = false;
  closeRequest = false;
  endRequest = false;
  EndEvent().Take();
  boxFormat = nullptr;
  stepHook = nullptr;
}

RoomReset registration(&ResetErrors);

}  // namespace

void RaiseError(long n) {
  if (n < 1) n = 5;
  if (IsFatal(n)) EndFatally(n);
  if (state.pending == 0) state.pending = static_cast<uint32_t>(n);
}

bool ErrorPending() { return state.pending != 0; }
uint32_t PendingError() { return state.pending; }

void EndStep(uint32_t number) {
  if (stepHook) stepHook(number);
  if (endRequest) StopProgram();
  while (pauseRequest) {
    platform::AwaitReadable(-1, EndRequestDescriptor(), kPauseCheckMs);
    if (endRequest) StopProgram();
  }
  if (state.pending != 0) Deliver(number);
}

void SetHandlerPlan(std::span<const HandlerStart> plan) {
  state.plan.clear();
  for (const HandlerStart& row : plan) {
    if (row.handler < 1 || Planned(row.handler))
      Slip("handler " + std::to_string(row.handler) + " cannot be in the handler plan");
    state.plan.push_back(row);
  }
}

void ArmHandler(int handler) {
  if (!Planned(handler)) Slip("handler " + std::to_string(handler) + " is not in the handler plan");
  if (ErrorPending()) return;
  state.armed = handler;
}

int ArmedHandler() { return state.armed; }
bool HandlerRunning() { return state.running; }

void ResumeAt(uint32_t) {
  if (ErrorPending()) return;
  if (!state.running) {
    RaiseError(20);
    return;
  }
  state.running = false;
  state.current = 0;
}

uint32_t CurrentErrorNumber() { return state.current; }

void DisarmHandlers() {
  state.armed = 0;
  state.running = false;
}

const char* ErrorText(uint32_t n) {
  switch (n) {
    case 3: return "RETURN without GOSUB";
    case 5: return "Illegal function call";
    case 6: return "Overflow";
    case 9: return "Subscript out of range";
    case 20: return "RESUME without error";
    case 52: return "Bad file name or number";
    case 53: return "File not found";
    case 54: return "Bad file mode";
    case 55: return "File already open";
    case 59: return "Bad record length";
    case 62: return "Input past end of file";
    case 63: return "Bad record number";
    case 68: return "Device unavailable";
    case 70: return "Permission denied";
    case 71: return "Disk not ready";
    case 75: return "Path/File access error";
    case 76: return "Path not found";
    case 258: return "Invalid handle";
    default: return "Unprintable error";
  }
}

void SetBoxTextFormat(BoxTextFormat format) { boxFormat = std::move(format); }

std::string ExportBoxText(uint32_t error, uint32_t step) {
  return "Line:" + std::to_string(step) + "\n" + ErrorText(error) + "\nContinue?";
}

void StopProgram() {
  closeRequest = true;
  throw ProgramStop{};
}

void SetPauseRequest(bool on) { pauseRequest = on; }
bool PauseRequested() { return pauseRequest; }
void SetEndRequest() {
  if (!endRequest.exchange(true)) EndEvent().Raise();
}

bool EndRequested() { return endRequest; }
bool CloseRequested() { return closeRequest; }

int EndRequestDescriptor() { return EndEvent().Descriptor(); }

void SetStepHook(std::function<void(uint32_t)> hook) { stepHook = std::move(hook); }

void ResetErrorModel() { ResetErrors(); }

}  // namespace ts
