#include "fatal_end.h"

#include <limits.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace ts {
namespace {

// Fixed slots, so that the removal reads plain memory and needs no lock.
constexpr int kSlots = 8;
enum SlotState : int { kFree, kFilling, kArmed };
struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
Slot slots[kSlots];

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

sigset_t EndSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kSignals) sigaddset(&set, s);
  return set;
}

}  // namespace

int RemoveAtFatalEnd(const std::string& nativePath) {
  std::string path = nativePath;
  if (path.empty() || path[0] != '/') {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return -1;
    path = std::string(cwd) + "/" + path;
  }
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].state.store(kArmed);
    return i;
  }
  return -1;
}

void ForgetAtFatalEnd(int handle) {
  if (handle >= 0 && handle < kSlots) slots[handle].state.store(kFree);
}

void RemoveNotedFiles() {
  for (Slot& s : slots)
    if (s.state.load() == kArmed) unlink(s.path);
}

int BlockEndSignals() {
  const sigset_t set = EndSignals();
  const int fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd >= 0) pthread_sigmask(SIG_BLOCK, &set, nullptr);
  return fd;
}

int TakeEndSignal(int descriptor) {
  signalfd_siginfo info;
  if (descriptor < 0 || read(descriptor, &info, sizeof info) != ssize_t(sizeof info)) return 0;
  return int(info.ssi_signo);
}

void EndBySignal(int signal) {
  std::fflush(nullptr);
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  sigaction(signal, &plain, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  // Raised while it is blocked, it is pending on this thread; the unblock
  // delivers it.
  raise(signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  // Process 1, which the signal does not end, says it as a shell would.
  constexpr int kSignalledExit = 128;
  _exit(kSignalledExit + signal);
}

void EndAtOnce(int code) {
  std::fflush(nullptr);
  _exit(code);
}

}  // namespace ts
