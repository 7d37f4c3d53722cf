// The programs as users and machines start them: output into a closed
// pipe, no display, and what a started program inherits from them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "support/child_process.h"
#include "textscreen/platform/paths.h"
#include "textscreen/platform/program_start.h"
#include "textscreen/shell_runner.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Outcome {
  bool exited = false;  // false: a signal ended it, or it was killed at the deadline
  int code = -1;
  int signal = 0;
  std::string out, err;  // empty when the stream went to a closed pipe
};

std::string Slurp(const std::string& path) { return tst::ReadFile(path).value_or(""); }

// Runs a program detached from the test's terminal with the environment
// changed as given; its standard error goes into a pipe whose reader is
// gone when `closedPipe`, else into a file like its output.
Outcome RunProgram(const std::string& program, const std::string& cwd,
            const std::vector<std::pair<std::string, std::optional<std::string>>>& env,
            bool closedPipe, int deadlineMs = 10000) {
  const std::string out = cwd + "/.out", err = cwd + "/.err";
  int broken[2];
  if (pipe(broken) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    (void)!chdir(cwd.c_str());
    for (const auto& [name, value] : env) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
    freopen("/dev/null", "r", stdin);
    freopen(out.c_str(), "w", stdout);
    if (closedPipe) {
      close(broken[0]);
      dup2(broken[1], 2);
    } else {
      freopen(err.c_str(), "w", stderr);
    }
    signal(SIGPIPE, SIG_DFL);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(broken[0]);
  close(broken[1]);
  Outcome o;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      return o;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  o.exited = WIFEXITED(status);
  o.code = o.exited ? WEXITSTATUS(status) : -1;
  o.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  o.out = Slurp(out);
  o.err = closedPipe ? "" : Slurp(err);
  return o;
}

class ProgramsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = tst::FolderWithPrograms("logship-environment",
                                   {"logship", "launcher", "logship-cmd", "started_probe"});
    ASSERT_FALSE(root.empty());
    app = root + "/app";
  }
  void TearDown() override { fs::remove_all(root); }

  std::string root, app;
};

TEST_F(ProgramsTest, AMessageIntoAClosedPipeEndsNeitherProgram) {
  // The launcher says its box on standard error when there is no display.
  Outcome launcher = RunProgram(app + "/launcher", root, {{"DISPLAY", std::nullopt},
                                                  {"LOGSHIP_BOX_ANSWER", std::nullopt}},
                         true);
  EXPECT_TRUE(launcher.exited) << "signal " << launcher.signal;
  EXPECT_EQ(launcher.code, 0);

  // logship says a bad drive entry, then that it has no window.
  Outcome logship = RunProgram(app + "/logship", root, {{"DISPLAY", std::nullopt},
                                                {"LOGSHIP_DRIVES", "F=stick"},
                                                {"LOGSHIP_BOX_ANSWER", "no"}},
                        true);
  EXPECT_TRUE(logship.exited) << "signal " << logship.signal;
  EXPECT_NE(logship.code, 0);
}

struct NoDisplay {
  const char* name;
  std::optional<std::string> display;
  const char* why;
};
void PrintTo(const NoDisplay& c, std::ostream* os) { *os << c.name; }

class WithoutADisplay : public ProgramsTest, public ::testing::WithParamInterface<NoDisplay> {};

TEST_P(WithoutADisplay, LogshipSaysWhyAndEndsAtOnce) {
  Outcome o = RunProgram(app + "/logship", root,
                  {{"DISPLAY", GetParam().display},
                   {"SDL_VIDEODRIVER", std::nullopt},
                   {"TERM", "xterm"},
                   {"LOGSHIP_BOX_ANSWER", "no"}},
                  false);
  ASSERT_TRUE(o.exited) << "it did not end (signal " << o.signal << ")";
  EXPECT_NE(o.code, 0);
  EXPECT_NE(o.err.find(std::string("logship: cannot open the window: ") + GetParam().why),
            std::string::npos)
      << o.err;
  EXPECT_EQ(o.out, "") << "a text console was painted";
}

INSTANTIATE_TEST_SUITE_P(
    Displays, WithoutADisplay,
    ::testing::Values(NoDisplay{"Unset", std::nullopt, "no display is set"},
                      NoDisplay{"Empty", "", "no display is set"},
                      // No X server listens there.
                      NoDisplay{"NotAnswering", ":4711", "the display \":4711\" does not answer"}),
    [](const auto& info) { return std::string(info.param.name); });

// A copy of the tool under another name says that name in front of every
// message, as any program does.
TEST_F(ProgramsTest, ARenamedToolSaysItsOwnName) {
  fs::copy_file(app + "/logship", app + "/exporter");
  Outcome o = RunProgram(app + "/exporter", root,
                         {{"DISPLAY", std::nullopt},
                          {"SDL_VIDEODRIVER", std::nullopt},
                          {"LOGSHIP_DRIVES", "F=stick"},
                          {"LOGSHIP_BOX_ANSWER", "no"}},
                         false);
  ASSERT_TRUE(o.exited) << "it did not end (signal " << o.signal << ")";
  EXPECT_NE(o.err.find("exporter: LOGSHIP_DRIVES entry \"F=stick\" left out"), std::string::npos)
      << o.err;
  EXPECT_NE(o.err.find("exporter: cannot open the window: no display is set"), std::string::npos)
      << o.err;
  EXPECT_EQ(o.err.find("logship:"), std::string::npos) << o.err;
}

std::multiset<std::string> Lines(const std::string& text) {
  std::multiset<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.insert(line);
  return lines;
}

std::set<int> Numbers(const std::string& text) {
  std::set<int> numbers;
  std::istringstream in(text);
  for (int n; in >> n;) numbers.insert(n);
  return numbers;
}

// "SigBlk" and "SigIgn" of /proc/self/status, as a mask each. glibc's
// posix_spawn leaves its own two signals (32 and 33) ignored in every
// child; the new program's C library takes them over again.
std::map<std::string, uint64_t> SignalMasks(const std::string& text) {
  std::map<std::string, uint64_t> masks;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    size_t colon = line.find(':');
    masks[line.substr(0, colon)] = std::stoull(line.substr(colon + 1), nullptr, 16) &
                                   ~((uint64_t(1) << 31) | (uint64_t(1) << 32));
  }
  return masks;
}

// A process as the tools leave it for what they start: SIGPIPE ignored,
// a handler for SIGTERM, a signal blocked, a descriptor without
// close-on-exec, and an entry of the environment that SDL alone is meant
// to see, where the user had set a value of their own. The started
// program is started_probe, which reads all of it from itself: nothing
// runs in between that could set a mask or close a descriptor.
TEST_F(ProgramsTest, AStartedProgramGetsTheUsersEnvironmentDefaultSignalsAndOnlyItsStreams) {
  const std::string marks = app + "/marks", probe = app + "/started_probe";
  fs::create_directories(marks);
  tst::ChildOptions options;
  options.env = {{"LOGSHIP_DRIVES", "C=/"}};
  tst::ChildResult r = tst::RunInChild(options, [&] {
    setenv("SDL_VIDEO_WINDOW_POS", "users,own", 1);
    std::string before;
    for (char** e = environ; *e; ++e) before += std::string(*e) + "\n";
    tst::WriteFile(root + "/given", before);

    static char own[] = "SDL_VIDEO_WINDOW_POS=10,20";
    ts::platform::PutOwnEnvironmentEntry(own);
    signal(SIGPIPE, SIG_IGN);
    signal(SIGTERM, [](int) {});
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    sigprocmask(SIG_BLOCK, &blocked, nullptr);
    // Inherited unless closed.
    if (dup2(open(probe.c_str(), O_RDONLY | O_CLOEXEC), 5) != 5) return 2;
    // Each way the tools start a program: a next program, a helper, and
    // the interpreter of a hidden command.
    const std::vector<std::pair<std::string, std::function<bool()>>> ways = {
        {"program",
         [&] { return ts::platform::ExecCommandLine(probe) >= ts::platform::kExecStarted; }},
        {"helper", [&] { return ts::platform::SpawnNative(probe, {probe}) > 0; }},
        {"interpreter", [&] {
           ts::SetInterpreterPath(probe);
           ts::RunHidden("ver");
           return true;
         }}};
    for (const auto& [name, start] : ways) {
      if (!start() || !tst::WaitForFile(marks + "/fds")) return 3;
      fs::rename(marks, root + "/" + name);
      fs::create_directories(marks);
    }
    return 0;
  });
  ASSERT_EQ(r.exitCode, 0) << r.stderrText;
  for (const char* way : {"program", "helper", "interpreter"}) {
    SCOPED_TRACE(way);
    const std::string seen = root + "/" + way;
    EXPECT_EQ(Lines(Slurp(seen + "/env")), Lines(Slurp(root + "/given")));
    EXPECT_EQ(SignalMasks(Slurp(seen + "/signals")),
              (std::map<std::string, uint64_t>{{"SigBlk", 0}, {"SigIgn", 0}}));
    EXPECT_EQ(Numbers(Slurp(seen + "/fds")), (std::set<int>{0, 1, 2}));
  }
}

}  // namespace
