#include "program_thread.h"

#include <errno.h>

#include <cstdio>
#include <exception>

#include "errors.h"
#include "fatal_end.h"
#include "platform/wait.h"

namespace ts {
namespace {

thread_local bool onProgramThread = false;

void RunToTheEnd(const std::function<void()>& main) {
  try {
    main();
  } catch (const ProgramStop&) {
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: the program stopped: %s\n", program_invocation_short_name, e.what());
  } catch (...) {
    std::fprintf(stderr, "%s: the program stopped on an unknown exception\n",
                 program_invocation_short_name);
  }
  if (!CloseRequested()) {
    try {
      StopProgram();
    } catch (const ProgramStop&) {
    }
  }
}

}  // namespace

ProgramThread::~ProgramThread() {
  // Live still: the process ends beside it, without waiting.
  if (thread_.joinable()) thread_.detach();
}

void ProgramThread::Start(std::function<void()> main) {
  thread_ = std::thread([this, main = std::move(main)] {
    onProgramThread = true;
    RunToTheEnd(main);
    stopped_ = true;
    gone_.Raise();
  });
}

bool ProgramThread::OnProgramThread() { return onProgramThread; }

void ProgramThread::Park() {
  parked_ = true;
  gone_.Raise();
}

bool ProgramThread::Stop(int ms) {
  SetEndRequest();
  if (!thread_.joinable()) return true;
  if (!stopped_ && !parked_) platform::AwaitReadable(gone_.Descriptor(), -1, ms);
  if (!stopped_) return false;
  thread_.join();
  return true;
}

int RunWithoutWindow(std::function<void()> main) {
  const int signals = BlockEndSignals();
  ProgramThread program;
  program.Start(std::move(main));
  int signal = 0;
  while (platform::AwaitReadable(program.GoneDescriptor(), signals, -1) != platform::Awoken::Ready &&
         (signal = TakeEndSignal(signals)) == 0) {
  }
  program.Stop(kProgramStopMs);
  RemoveNotedFiles();
  if (signal != 0) EndBySignal(signal);
  return 0;
}

}  // namespace ts
