// The export tool ended from outside while it scans its drives: whatever
// moment the signal meets, the tool ends by that signal and leaves no
// file of its own behind, nor a command interpreter that could still
// write one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/xvfb.h"

namespace {

namespace fs = std::filesystem;

// The moment of the scan at which the signal comes, the n-th time it is
// seen: a probe's interpreter runs; its direct.tmp is there; direct.tmp
// has just gone (the steps between two probes); hulp.hlp is there (the
// start directory, read before the scan).
enum class Moment { InterpreterRuns, ProbeFileThere, BetweenProbes, StartFileThere };

struct SignalCase {
  Moment moment;
  int nth;
  int signal;
};

const char* Describe(Moment m) {
  switch (m) {
    case Moment::InterpreterRuns: return "while a probe's interpreter runs";
    case Moment::ProbeFileThere: return "while direct.tmp is there";
    case Moment::BetweenProbes: return "when direct.tmp has gone";
    case Moment::StartFileThere: return "while hulp.hlp is there";
  }
  return "";
}

class ScanEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    root = tst::FolderWithPrograms("logship-scan-end", {"logship", "logship-cmd"});
    ASSERT_FALSE(root.empty());
    app = root + "/app";
    tst::WriteFile(app + "/contest.CBR", "QSO: 3500 CW 2017-12-25 1000 PA0ABC 599 001\r\n");
    tst::WriteFile(app + "/Intern.int", "contest.CBR\r\nnext.sh\r\n");
    // Slow drives: listing a folder of many entries takes a while after
    // the listing's file has been made.
    drives = "C=" + root;
    for (char letter = 'D'; letter <= 'M'; ++letter) {
      const std::string folder = root + "/drive-" + letter;
      fs::create_directories(folder);
      for (int i = 0; i < 1500; ++i) tst::WriteFile(folder + "/F" + std::to_string(i) + ".TXT", "");
      drives += std::string(";") + letter + "=" + folder;
    }
    before = Names();
  }
  void TearDown() override { fs::remove_all(root); }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(app)) names.insert(e.path().filename());
    return names;
  }

  // Whether a thread of the tool has a child: a probe's interpreter.
  static bool HasChild(pid_t tool) {
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(tool) + "/task", ec)) {
      std::ifstream children(task.path() / "children");
      pid_t child = 0;
      if (children >> child) return true;
    }
    return false;
  }

  // The install's interpreters that still run.
  std::vector<pid_t> Interpreters() const {
    std::vector<pid_t> live;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
      std::error_code linkError;
      if (fs::read_symlink(e.path() / "exe", linkError) == fs::path(app + "/logship-cmd"))
        live.push_back(std::stoi(e.path().filename()));
    }
    return live;
  }

  pid_t StartTool() const {
    const pid_t tool = fork();
    if (tool == 0) {
      setsid();
      int null = open("/dev/null", O_RDWR);
      for (int fd : {0, 1, 2}) dup2(null, fd);
      setenv("SDL_VIDEODRIVER", "dummy", 1);
      setenv("LOGSHIP_DRIVES", drives.c_str(), 1);
      // The folder has no font: Yes to its box, and the screen keeps the
      // built-in one.
      setenv("LOGSHIP_BOX_ANSWER", "yes", 1);
      unsetenv("LOGSHIP_BOX_LOG");
      unsetenv("DISPLAY");
      const rlimit noCore{0, 0};
      setrlimit(RLIMIT_CORE, &noCore);
      const std::string path = app + "/logship";
      execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    return tool;
  }

  // Waits for the moment; false when the scan went by without it.
  bool AwaitMoment(pid_t tool, Moment moment, int nth) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // Before the first probe direct.tmp is not there either: that is no
    // moment between two probes.
    bool was = moment == Moment::BetweenProbes;
    int seen = 0;
    while (std::chrono::steady_clock::now() < deadline && !tst::ProcessEnded(tool)) {
      bool is = false;
      switch (moment) {
        case Moment::InterpreterRuns: is = HasChild(tool); break;
        case Moment::ProbeFileThere: is = fs::exists(app + "/direct.tmp"); break;
        case Moment::BetweenProbes: is = !fs::exists(app + "/direct.tmp"); break;
        case Moment::StartFileThere: is = fs::exists(app + "/hulp.hlp"); break;
      }
      if (is && !was && ++seen == nth) return true;
      was = is;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
  }

  std::string root, app, drives;
  std::set<std::string> before;
};

TEST_F(ScanEnd, ASignalAtAnyMomentOfTheScanLeavesNothingBehind) {
  // Ten of the probes are slow ones (and C's), seen whatever the load;
  // those of the letters that no folder stands for go by in a moment.
  const SignalCase cases[] = {
      {Moment::StartFileThere, 1, SIGTERM},  {Moment::StartFileThere, 1, SIGQUIT},
      {Moment::InterpreterRuns, 2, SIGTERM}, {Moment::InterpreterRuns, 4, SIGINT},
      {Moment::InterpreterRuns, 6, SIGHUP},  {Moment::InterpreterRuns, 9, SIGQUIT},
      {Moment::ProbeFileThere, 1, SIGINT},   {Moment::ProbeFileThere, 3, SIGHUP},
      {Moment::ProbeFileThere, 5, SIGQUIT},  {Moment::ProbeFileThere, 8, SIGTERM},
      {Moment::BetweenProbes, 2, SIGHUP},    {Moment::BetweenProbes, 4, SIGQUIT},
      {Moment::BetweenProbes, 7, SIGTERM},   {Moment::BetweenProbes, 9, SIGINT},
  };
  for (const SignalCase& c : cases) {
    SCOPED_TRACE(std::string(strsignal(c.signal)) + " " + Describe(c.moment) + ", time " +
                 std::to_string(c.nth));
    const pid_t tool = StartTool();
    const bool met = AwaitMoment(tool, c.moment, c.nth);
    kill(tool, met ? c.signal : SIGKILL);
    int status = 0;
    waitpid(tool, &status, 0);
    ASSERT_TRUE(met) << "the scan went by without that moment";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal)
        << "the tool did not end by its signal (status " << status << ")";
    EXPECT_EQ(Names(), before);
    const std::vector<pid_t> left = Interpreters();
    EXPECT_TRUE(left.empty()) << left.size() << " interpreters still run";
    for (pid_t p : left) kill(p, SIGKILL);
    for (const std::string& name : Names())
      if (!before.count(name)) fs::remove(app + "/" + name);
  }
}

}  // namespace
