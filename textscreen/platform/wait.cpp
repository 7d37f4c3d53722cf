// Waits in place of WaitForSingleObject.
#include "wait.h"

#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace ts::platform {

namespace {

std::mutex eventsLock;
std::vector<Event*>& Events() {
  static std::vector<Event*> events;
  return events;
}

int NewEventDescriptor() { return eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

// A child's status once it has ended, without waiting; nullopt while it
// runs.
std::optional<int> Reaped(pid_t pid, int options) {
  int status = 0;
  pid_t done;
  while ((done = waitpid(pid, &status, options)) < 0 && errno == EINTR) {
  }
  if (done == 0) return std::nullopt;
  // ECHILD: reaped elsewhere, or SIGCHLD ignored; either way it has ended.
  return done < 0 ? 0 : status;
}

// Without a descriptor for the child (a kernel before 5.3), it is looked
// at this often.
constexpr int kChildPollMs = 10;

}  // namespace

Event::Event() : fd_(NewEventDescriptor()) {
  std::lock_guard<std::mutex> hold(eventsLock);
  static const bool renewing = pthread_atfork(nullptr, nullptr, &Event::RenewInChild) == 0;
  (void)renewing;
  Events().push_back(this);
}

Event::~Event() {
  {
    std::lock_guard<std::mutex> hold(eventsLock);
    std::erase(Events(), this);
  }
  if (fd_ >= 0) close(fd_);
}

void Event::Raise() {
  const uint64_t one = 1;
  if (write(fd_, &one, sizeof one) < 0) {
    // Only a counter at its limit refuses; it is raised then anyway.
  }
}

void Event::Take() {
  uint64_t count = 0;
  if (read(fd_, &count, sizeof count) < 0) {
    // Not raised: nothing to take.
  }
}

// The child has one thread, this one: no lock is needed, and none taken
// by a thread of the parent that is gone here could be had.
void Event::RenewInChild() {
  for (Event* e : Events()) {
    // Looked at, not read: a read would lower the parent's flag.
    const bool raised = e->fd_ >= 0 && Readable(e->fd_);
    if (e->fd_ >= 0) close(e->fd_);
    e->fd_ = NewEventDescriptor();
    if (raised) e->Raise();
  }
}

Awoken AwaitReadable(int fd, int interrupt, int ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
  for (;;) {
    int left = -1;
    if (ms >= 0) {
      left = int(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count());
      if (left < 0) left = 0;
    }
    pollfd watched[2] = {{interrupt, POLLIN, 0}, {fd, POLLIN, 0}};
    const int n = poll(watched, 2, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Awoken::TimedOut;
    if (watched[0].revents) return Awoken::Interrupted;
    return Awoken::Ready;
  }
}

std::optional<int> WaitForChild(pid_t pid, int interrupt, bool wholeGroup) {
  const int child = int(syscall(SYS_pidfd_open, pid, 0));
  bool interrupted = false;
  if (child >= 0) {
    interrupted = AwaitReadable(child, interrupt, -1) == Awoken::Interrupted;
    close(child);
  } else {
    for (;;) {
      if (auto status = Reaped(pid, WNOHANG)) return status;
      if (AwaitReadable(-1, interrupt, kChildPollMs) == Awoken::Interrupted) break;
    }
    interrupted = true;
  }
  if (!interrupted) return Reaped(pid, 0);
  kill(wholeGroup ? -pid : pid, SIGKILL);
  Reaped(pid, 0);
  return std::nullopt;
}

}  // namespace ts::platform
