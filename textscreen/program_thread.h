// The program's main routine on a thread of its own, and the thread that
// owns the end of the process: it reads the end signals, hands the program
// thread the end request, waits until that has stopped and then ends the
// process. The window back end owns the end on its window thread; a
// program without a window (the launcher) owns it on its first thread.
#pragma once
#include <atomic>
#include <functional>
#include <thread>

#include "platform/wait.h"

namespace ts {

class ProgramThread {
 public:
  ProgramThread() = default;
  ~ProgramThread();
  ProgramThread(const ProgramThread&) = delete;
  ProgramThread& operator=(const ProgramThread&) = delete;

  // Runs `main` on the program thread. However it ends (it returns,
  // ProgramStop, an exception), the close request is raised then.
  void Start(std::function<void()> main);
  // Readable once the program thread has stopped, or parked.
  int GoneDescriptor() const { return gone_.Descriptor(); }
  bool Stopped() const { return stopped_; }
  // Whether the calling thread is a program thread.
  static bool OnProgramThread();

  // Program thread, in a call that never returns: it touches nothing of
  // the program from here on, and the end need not wait for it.
  void Park();
  bool Parked() const { return parked_; }

  // The owner of the end: sets the end request, and waits up to `ms` for
  // the program thread to stop (true: it has, and is joined) or to park.
  bool Stop(int ms);

 private:
  std::thread thread_;
  platform::Event gone_;
  std::atomic<bool> stopped_{false}, parked_{false};
};

// How long the end waits for the program thread to stop: a step that is
// held up longer (a flush onto a slow medium) is not waited for.
constexpr int kProgramStopMs = 5000;

// Without a window: `main` runs on the program thread while the calling
// thread owns the end. Returns 0 once the program has ended; ends the
// process by the signal when one of the end signals comes first (the
// program thread having stopped, the noted files removed).
int RunWithoutWindow(std::function<void()> main);

}  // namespace ts
