// The end of the desktop session ends the tool with exit code 1, the files
// it made taken away first: a display of its own, taken away under a
// connected client, under the window back end, and under the tool at its
// drive menu.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include "support/child_process.h"
#include "support/xvfb.h"
#include "textscreen/clock.h"
#include "textscreen/errors.h"
#include "textscreen/fatal_end.h"
#include "textscreen/sdl/lost_display.h"
#include "textscreen/window.h"
#include "windowed_child.h"

// Last: its macros (None, Bool) clash with the test framework.
#include <X11/Xlib.h>

namespace {

namespace fs = std::filesystem;

TEST(LostDisplay, TheFatalEndCleansUpBeforeTheProcessEnds) {
  tst::VirtualDisplay x;
  ASSERT_FALSE(x.Name().empty()) << "Xvfb did not start";
  const std::string made = "/tmp/logship-lost-display-" + std::to_string(getpid());
  tst::WriteFile(made, "half a copy");
  tst::ChildResult r = tst::RunInChild({}, [&] {
    Display* d = XOpenDisplay(x.Name().c_str());
    if (!d) return 99;
    ts::sdl::WatchForLostDisplay();
    ts::RemoveAtFatalEnd(made);
    kill(x.Pid(), SIGKILL);
    for (;;) {
      XNoOp(d);
      XSync(d, False);
      usleep(10000);
    }
  });
  x.Kill();
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_FALSE(std::filesystem::exists(made));
  std::filesystem::remove(made);
}

// Whichever thread's call finds the display gone first, the process ends
// with exit code 1 and the noted file goes: the program thread busy on the
// display (ringing its bell), or waiting away from it.
TEST(LostDisplay, TheBackEndEndsTheProcessWhicheverThreadFindsItGone) {
  if (!tst::VirtualDisplay::ToolsInstalled()) GTEST_SKIP() << "no Xvfb (scripts/setup.sh)";
  struct Case {
    const char* name;
    bool busy;
  };
  for (const Case& c : {Case{"the program thread on the display", true},
                        Case{"the program thread in a wait", false}}) {
    for (int round = 1; round <= 3; ++round) {
      SCOPED_TRACE(std::string(c.name) + ", round " + std::to_string(round));
      tst::VirtualDisplay x;
      ASSERT_FALSE(x.Name().empty()) << "Xvfb did not start";
      const std::string made = "/tmp/logship-lost-display-" + std::to_string(getpid());
      tst::WriteFile(made, "half a copy");
      setenv("DISPLAY", x.Name().c_str(), 1);
      sdltest::ChildRun run = sdltest::RunWindowedInChild(
          [&](sdltest::Report&) {
            ts::RemoveAtFatalEnd(made);
            ts::ScreenShow();
            sdltest::WaitRedraws(1);
            kill(x.Pid(), SIGKILL);
            for (;;) {
              ts::Step(1, [&] {
                if (c.busy) ts::Window().Beep(440, 0);
                else ts::AwaitInput(ts::kInputWaitMs);
              });
            }
          },
          sdltest::ProgramStart::AfterSdl, "x11");
      unsetenv("DISPLAY");
      x.Kill();
      EXPECT_TRUE(run.exited) << run.Text();
      EXPECT_EQ(run.exitCode, 1) << run.Text();
      EXPECT_FALSE(fs::exists(made));
      fs::remove(made);
    }
  }
}

// The installed tool at its drive menu, the X server killed under it.
TEST(LostDisplay, TheToolAtItsMenuEndsWithExitCodeOneAndLeavesNothing) {
  if (!tst::VirtualDisplay::ToolsInstalled()) GTEST_SKIP() << "no Xvfb (scripts/setup.sh)";
  const std::string root = tst::FolderWithPrograms("logship-lost-menu", {"logship", "logship-cmd"});
  ASSERT_FALSE(root.empty());
  const std::string app = root + "/app";
  // An interpreter that notes each command line before it runs it: the
  // probe of Z is the scan's last, after which the menu comes.
  fs::rename(app + "/logship-cmd", app + "/logship-cmd.real");
  tst::WriteFile(app + "/logship-cmd",
                 "#!/bin/sh\necho \"$2\" >> '" + root + "/commands'\nexec '" + app +
                     "/logship-cmd.real' \"$@\"\n",
                 0755);
  tst::WriteFile(app + "/contest.CBR", "QSO: 3500 CW 2017-12-25 1000 PA0ABC 599 001\r\n");
  tst::WriteFile(app + "/Intern.int", "contest.CBR\r\nnext.sh\r\n");
  std::set<std::string> before;
  for (const auto& e : fs::directory_iterator(app)) before.insert(e.path().filename());

  tst::VirtualDisplay x;
  ASSERT_FALSE(x.Name().empty()) << "Xvfb did not start";
  const pid_t tool = fork();
  if (tool == 0) {
    setsid();
    int null = open("/dev/null", O_RDWR);
    for (int fd : {0, 1, 2}) dup2(null, fd);
    setenv("DISPLAY", x.Name().c_str(), 1);
    setenv("LOGSHIP_DRIVES", ("C=" + root).c_str(), 1);
    // No font in the folder: Yes to its box, the built-in one serves.
    setenv("LOGSHIP_BOX_ANSWER", "yes", 1);
    for (const char* name : {"LOGSHIP_BOX_LOG", "SDL_VIDEODRIVER"}) unsetenv(name);
    execl((app + "/logship").c_str(), "logship", static_cast<char*>(nullptr));
    _exit(127);
  }
  const bool atMenu = sdltest::WaitUntil(
      [&] {
        const auto commands = tst::ReadFile(root + "/commands");
        return commands && commands->find("dir Z: ") != std::string::npos &&
               tst::Descendants(tool).empty() && !fs::exists(app + "/direct.tmp");
      },
      20000);
  x.Kill();
  int status = 0;
  const bool ended = sdltest::WaitUntil([&] { return waitpid(tool, &status, WNOHANG) == tool; },
                                        10000);
  if (!ended) {
    kill(tool, SIGKILL);
    waitpid(tool, &status, 0);
  }
  EXPECT_TRUE(atMenu) << "the scan did not end";
  ASSERT_TRUE(ended) << "the tool still runs 10 s after its display went";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
  std::set<std::string> after;
  for (const auto& e : fs::directory_iterator(app)) after.insert(e.path().filename());
  EXPECT_EQ(after, before);
  fs::remove_all(root);
}

}  // namespace
