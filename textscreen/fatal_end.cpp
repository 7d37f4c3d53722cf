#include "fatal_end.h"

#include <limits.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace ts {
namespace {

// Fixed slots, so that the handler reads plain memory and calls nothing
// but unlink. A slot is free (0), being filled (1) or armed (2).
constexpr int kSlots = 8;
struct Slot {
  std::atomic<int> state{0};
  char path[PATH_MAX];
};
Slot slots[kSlots];
std::atomic<pid_t> child{0};

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

void OnFatalSignal(int signal) {
  RunFatalEnd();
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  sigaction(signal, &plain, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
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
    int expected = 0;
    if (!slots[i].state.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].state.store(2);
    return i;
  }
  return -1;
}

void ForgetAtFatalEnd(int handle) {
  if (handle >= 0 && handle < kSlots) slots[handle].state.store(0);
}

void EndChildAtFatalEnd(pid_t pid) { child.store(pid); }

void RunFatalEnd() {
  // The child first: it might create the file again after its removal.
  if (pid_t pid = child.exchange(0); pid > 0) {
    kill(pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  for (Slot& s : slots)
    if (s.state.load() == 2) unlink(s.path);
}

void InstallFatalEnd() {
  struct sigaction action {};
  action.sa_handler = OnFatalSignal;
  sigemptyset(&action.sa_mask);
  for (int s : kSignals) sigaddset(&action.sa_mask, s);
  for (int s : kSignals) sigaction(s, &action, nullptr);
}

}  // namespace ts
