// The end of the desktop session ends the tool, after the fatal end's
// clean-up: a display of its own, taken away under a connected client.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/child_process.h"
#include "textscreen/fatal_end.h"
#include "textscreen/sdl/lost_display.h"

// Last: its macros (None, Bool) clash with the test framework.
#include <X11/Xlib.h>

namespace {

// An Xvfb on a free display; its process id, and the display in `name`.
pid_t StartXvfb(std::string& name) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  char ch;
  pollfd p{fds[0], POLLIN, 0};
  while (poll(&p, 1, 10000) > 0 && read(fds[0], &ch, 1) == 1 && ch != '\n') name += ch;
  close(fds[0]);
  name = ":" + name;
  return pid;
}

TEST(LostDisplay, TheFatalEndCleansUpBeforeTheProcessEnds) {
  std::string display;
  pid_t xvfb = StartXvfb(display);
  ASSERT_GT(xvfb, 0);
  ASSERT_NE(display, ":") << "Xvfb did not start";
  const std::string made = "/tmp/logship-lost-display-" + std::to_string(getpid());
  tst::WriteFile(made, "half a copy");
  tst::ChildResult r = tst::RunInChild({}, [&] {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return 99;
    ts::sdl::WatchForLostDisplay();
    ts::RemoveAtFatalEnd(made);
    kill(xvfb, SIGKILL);
    for (;;) {
      XNoOp(d);
      XSync(d, False);
      usleep(10000);
    }
  });
  waitpid(xvfb, nullptr, 0);
  EXPECT_EQ(r.exitCode, 1);  // Xlib's own end after the handler
  EXPECT_FALSE(std::filesystem::exists(made));
  std::filesystem::remove(made);
}

}  // namespace
