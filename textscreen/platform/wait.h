// Waits in place of WaitForSingleObject: for a descriptor or a child
// process, each cut short by a second descriptor (the end request), so that
// no wait of the program holds up its end.
#pragma once
#include <sys/types.h>

#include <optional>

namespace ts::platform {

// A flag that waits can poll: a descriptor that is readable while the flag
// is raised. A child forked from the process gets one of its own, raised
// as the parent's was, so that neither raises or takes the other's.
class Event {
 public:
  Event();
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  int Descriptor() const { return fd_; }
  void Raise();
  void Take();  // lowers it

 private:
  static void RenewInChild();
  int fd_;
};

enum class Awoken { Ready, Interrupted, TimedOut };

// Up to `ms` (-1: without limit) until `fd` is readable, or `interrupt`
// is; the interrupt wins when both are. A descriptor of -1 is not watched.
Awoken AwaitReadable(int fd, int interrupt, int ms);

// Until the child has ended, its wait status; nullopt when `interrupt`
// became readable first: the child is then killed (with its whole process
// group when `wholeGroup`, for a child that leads one). Either way the
// child is reaped. A child that is no longer ours counts as ended, with
// status 0.
std::optional<int> WaitForChild(pid_t pid, int interrupt, bool wholeGroup = false);

}  // namespace ts::platform
