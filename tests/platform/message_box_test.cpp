#include "textscreen/platform/message_box.h"

#include <poll.h>
#include <pty.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/child_process.h"
#include "support/scripted.h"
#include "support/xvfb.h"
#include "textscreen/platform/paths.h"
#include "textscreen/platform/wait.h"

namespace {

using ts::platform::BoxAnswer;
using ts::platform::BoxKind;
using ts::platform::ShowMessageBox;

// The variables that pick where an answer comes from, all unset: the box
// then has neither a display nor a scripted answer.
std::vector<std::pair<std::string, std::optional<std::string>>> NoSeams() {
  return {{"DISPLAY", std::nullopt},
          {"LOGSHIP_BOX_ANSWER", std::nullopt},
          {"LOGSHIP_BOX_LOG", std::nullopt}};
}

// Restores the variables a test sets in this process.
class EnvironmentGuard {
 public:
  explicit EnvironmentGuard(std::vector<std::string> names) : names_(std::move(names)) {
    for (const std::string& n : names_) {
      const char* v = getenv(n.c_str());
      saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
    }
  }
  ~EnvironmentGuard() {
    for (size_t i = 0; i < names_.size(); ++i) {
      if (saved_[i]) setenv(names_[i].c_str(), saved_[i]->c_str(), 1);
      else unsetenv(names_[i].c_str());
    }
  }

 private:
  std::vector<std::string> names_;
  std::vector<std::optional<std::string>> saved_;
};

TEST(MessageBox, AnswererTakesEveryBoxBeforeAnyOtherSeam) {
  EnvironmentGuard guard({"LOGSHIP_BOX_ANSWER"});
  setenv("LOGSHIP_BOX_ANSWER", "yes", 1);
  std::vector<tst::Box> seen;
  ts::platform::SetBoxAnswerer([&](const std::string& c, const std::string& t, BoxKind k) {
    seen.push_back({c, t, k});
    return BoxAnswer::No;
  });
  EXPECT_EQ(ShowMessageBox("Unhandled Error #5", "Line:7\nIllegal function call\nContinue?",
                           BoxKind::YesNo),
            BoxAnswer::No);
  ts::platform::SetBoxAnswerer(nullptr);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, "Unhandled Error #5");
  EXPECT_EQ(seen[0].text, "Line:7\nIllegal function call\nContinue?");
  EXPECT_EQ(seen[0].kind, BoxKind::YesNo);
}

TEST(MessageBox, EnvironmentAnswersAndLogsEveryBox) {
  EnvironmentGuard guard({"LOGSHIP_BOX_ANSWER", "LOGSHIP_BOX_LOG"});
  tst::ScratchFolder folder("logship-box");
  std::string log = folder.path() + "/boxes.log";
  setenv("LOGSHIP_BOX_LOG", log.c_str(), 1);

  struct Case {
    const char* answer;
    BoxKind kind;
    BoxAnswer expected;
  };
  const Case cases[] = {
      {"yes", BoxKind::YesNo, BoxAnswer::Yes},
      {"No", BoxKind::YesNo, BoxAnswer::No},
      {"no", BoxKind::Ok, BoxAnswer::Ok},
  };
  std::string expectedLog;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    setenv("LOGSHIP_BOX_ANSWER", c.answer, 1);
    EXPECT_EQ(ShowMessageBox("Critical Error", "Out of memory", c.kind), c.expected);
    expectedLog += "Critical Error\nOut of memory\n\n";
  }
  EXPECT_EQ(tst::ReadFile(log), expectedLog);
}

int AnswerCode(BoxAnswer a) { return 10 + int(a); }

TEST(MessageBox, WithoutDisplayOrTerminalTheAnswerIsNo) {
  for (BoxKind kind : {BoxKind::YesNo, BoxKind::Ok}) {
    SCOPED_TRACE(kind == BoxKind::Ok ? "OK box" : "Yes/No box");
    tst::ChildOptions options;
    options.env = NoSeams();
    auto result = tst::RunInChild(options, [kind] {
      return AnswerCode(ShowMessageBox("Unhandled Error #53", "Line:2\nFile not found", kind));
    });
    EXPECT_EQ(result.exitCode,
              AnswerCode(kind == BoxKind::Ok ? BoxAnswer::Ok : BoxAnswer::No));
    EXPECT_NE(result.stderrText.find("Unhandled Error #53\nLine:2\nFile not found\n"),
              std::string::npos)
        << result.stderrText;
  }
}

// A display named but not there: the helper cannot ask, so the box falls
// back as without a display; the log still gets the box first.
TEST(MessageBox, UnreachableDisplayFallsBackAfterLogging) {
  tst::ScratchFolder folder("logship-box");
  std::string log = folder.path() + "/boxes.log";
  tst::ChildOptions options;
  options.env = NoSeams();
  options.env.push_back({"DISPLAY", ":4711"});
  options.env.push_back({"LOGSHIP_BOX_LOG", log});
  auto result = tst::RunInChild(
      options, [] { return AnswerCode(ShowMessageBox("Cap", "Text", BoxKind::YesNo)); });
  EXPECT_EQ(result.exitCode, AnswerCode(BoxAnswer::No));
  EXPECT_NE(result.stderrText.find("Cap\nText\n"), std::string::npos) << result.stderrText;
  EXPECT_EQ(tst::ReadFile(log), "Cap\nText\n\n");
}

// Reads the terminal's master side until `prompt` has come `times` times
// in all, or 5 s have passed.
bool AwaitPrompts(int master, const std::string& prompt, int times, std::string& seen) {
  auto count = [&] {
    int n = 0;
    for (size_t at = seen.find(prompt); at != std::string::npos; at = seen.find(prompt, at + 1))
      ++n;
    return n;
  };
  while (count() < times) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) return false;
    char buffer[256];
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) return false;
    seen.append(buffer, n);
  }
  return true;
}

TEST(MessageBox, OnATerminalTheQuestionIsAskedUntilAnswered) {
  struct Case {
    BoxKind kind;
    std::vector<std::string> typed;  // one line for each prompt
    BoxAnswer expected;
  };
  const Case cases[] = {
      {BoxKind::YesNo, {"y\n"}, BoxAnswer::Yes},
      {BoxKind::YesNo, {"N\n"}, BoxAnswer::No},
      {BoxKind::YesNo, {"\n", "maybe\n", " Yes\n"}, BoxAnswer::Yes},
      {BoxKind::Ok, {"\n"}, BoxAnswer::Ok},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed.back());
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      unsetenv("DISPLAY");
      unsetenv("LOGSHIP_BOX_ANSWER");
      unsetenv("LOGSHIP_BOX_LOG");
      _exit(AnswerCode(ShowMessageBox("Question", "Continue?", c.kind)));
    }
    std::string seen;
    const std::string prompt = c.kind == BoxKind::Ok ? "(OK) " : "(y/n) ";
    int prompts = 0;
    for (const std::string& line : c.typed) {
      ASSERT_TRUE(AwaitPrompts(master, prompt, ++prompts, seen)) << seen;
      ASSERT_EQ(write(master, line.data(), line.size()), ssize_t(line.size()));
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    close(master);
    EXPECT_NE(seen.find("Question\r\nContinue?\r\n"), std::string::npos) << seen;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), AnswerCode(c.expected));
  }
}

// The end of the program answers a box No at once: one that comes once the
// end is decided asks nobody, and a question on the terminal stops there.
TEST(MessageBox, TheEndAnswersNoAndCutsTheTerminalQuestionShort) {
  for (bool whileAsking : {false, true}) {
    SCOPED_TRACE(whileAsking ? "the end while the terminal is asked" : "the end before the box");
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      alarm(10);  // a question that the end does not cut short fails the case
      unsetenv("DISPLAY");
      unsetenv("LOGSHIP_BOX_ANSWER");
      unsetenv("LOGSHIP_BOX_LOG");
      ts::platform::Event end;
      if (!whileAsking) end.Raise();
      std::thread([&] {
        char byte;
        if (read(go[0], &byte, 1) == 1) end.Raise();
      }).detach();
      _exit(AnswerCode(ShowMessageBox("Question", "Continue?", BoxKind::YesNo, end.Descriptor())));
    }
    close(go[0]);
    std::string seen;
    if (whileAsking) {
      ASSERT_TRUE(AwaitPrompts(master, "(y/n) ", 1, seen)) << seen;
      ASSERT_EQ(write(go[1], "x", 1), 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    for (char buffer[256]; ;) {
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 0) <= 0) break;
      ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      seen.append(buffer, size_t(n));
    }
    close(master);
    close(go[1]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), AnswerCode(BoxAnswer::No));
    EXPECT_EQ(seen.find("Question") != std::string::npos, whileAsking) << seen;
    EXPECT_EQ(seen.find("(y/n) ", seen.find("(y/n) ") + 1), std::string::npos)
        << "asked again: " << seen;
  }
}

// The real dialog under a virtual X server, answered by keys and a click.
// Skipped only where the machine lacks what the dialog needs, checked
// before the helper runs; once it runs, a dialog that does not come is a
// failure.
class DesktopDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tst::VirtualDisplay::ToolsInstalled() || system("command -v xlsfonts >/dev/null") != 0)
      GTEST_SKIP() << "no Xvfb, xdotool, xwininfo or xlsfonts (scripts/setup.sh installs them)";
    helper = ts::platform::ExecutableFolder() + "/logship-msgbox";
    ASSERT_EQ(access(helper.c_str(), X_OK), 0) << "no helper " << helper;
    ASSERT_FALSE(x.Name().empty()) << "Xvfb did not start";
    display = x.Name();
    // SDL's dialog draws its text in a 12-point X font.
    if (Shell("xlsfonts -fn '-*-*-medium-r-normal--*-120-*-*-*-*-*-*'").empty())
      GTEST_SKIP() << "the X server has no 12-point font (package xfonts-base)";
  }

  // Output of a shell command run against the virtual display.
  std::string Shell(const std::string& command) { return x.Shell(command); }

  // A child that shows a real box on the virtual display, its own
  // session, and exits with the answer's code.
  pid_t ForkBox(const char* caption, BoxKind kind) {
    pid_t box = fork();
    if (box == 0) {
      setenv("DISPLAY", display.c_str(), 1);
      unsetenv("LOGSHIP_BOX_ANSWER");
      unsetenv("LOGSHIP_BOX_LOG");
      int null = open("/dev/null", O_RDWR);
      dup2(null, 2);
      setsid();
      _exit(AnswerCode(ShowMessageBox(caption, "Some text", kind)));
    }
    return box;
  }

  tst::VirtualDisplay x;
  std::string display;
  std::string helper;
};

TEST_F(DesktopDialog, AnsweredWithTheKeyboardAndTheMouse) {
  struct Case {
    const char* caption;
    BoxKind kind;
    const char* key;  // nullptr: a click on No
    BoxAnswer expected;
  };
  const Case cases[] = {
      {"Enter is Yes", BoxKind::YesNo, "Return", BoxAnswer::Yes},
      {"Esc is No", BoxKind::YesNo, "Escape", BoxAnswer::No},
      {"A click on No", BoxKind::YesNo, nullptr, BoxAnswer::No},
      {"Critical Error", BoxKind::Ok, "Return", BoxAnswer::Ok},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    pid_t box = ForkBox(c.caption, c.kind);
    std::string info;
    bool viewable = false;
    for (int tries = 0; tries < 500 && !viewable; ++tries) {
      info = Shell(std::string("xwininfo -name '") + c.caption + "'");
      // A key sent before the dialog is mapped goes to the root window.
      viewable = info.find("IsViewable") != std::string::npos;
      if (viewable) break;
      int early = 0;
      if (waitpid(box, &early, WNOHANG) == box)
        FAIL() << "the box ended before its dialog came up, with answer "
               << (WIFEXITED(early) ? WEXITSTATUS(early) : -1);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!viewable) {
      kill(box, SIGKILL);
      waitpid(box, nullptr, 0);
      FAIL() << "no dialog came up";
    }
    auto field = [&](const std::string& name) {
      size_t at = info.find(name + ":");
      return at == std::string::npos ? 0 : atoi(info.c_str() + at + name.size() + 1);
    };
    int x = field("Absolute upper-left X"), y = field("Absolute upper-left Y");
    int w = field("Width"), h = field("Height");
    // Without a window manager the keys go to the window under the pointer.
    std::string action = c.key ? std::string("key ") + c.key : "click 1";
    int px = c.key ? x + w / 2 : x + w * 3 / 4, py = c.key ? y + 10 : y + h - 26;
    Shell("xdotool mousemove " + std::to_string(px) + " " + std::to_string(py) + " " + action);
    int status = 0;
    bool ended = false;
    for (int tries = 0; tries < 500 && !ended; ++tries) {
      ended = waitpid(box, &status, WNOHANG) == box;
      if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!ended) {
      kill(box, SIGKILL);
      waitpid(box, &status, 0);
      FAIL() << "the dialog was not answered";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), AnswerCode(c.expected));
  }
}

// The helper's process: the one child of `parent`.
pid_t ChildOf(pid_t parent) {
  std::ifstream children("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) +
                         "/children");
  pid_t child = 0;
  children >> child;
  return child;
}

TEST_F(DesktopDialog, AHelperEndsWithTheToolThatAsked) {
  pid_t tool = ForkBox("Left behind", BoxKind::YesNo);
  bool shown = false;
  for (int tries = 0; tries < 500 && !shown; ++tries) {
    shown = Shell("xwininfo -name 'Left behind'").find("IsViewable") != std::string::npos;
    if (waitpid(tool, nullptr, WNOHANG) == tool)
      GTEST_SKIP() << "the helper could not show a dialog here (X fonts missing?)";
    if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_t helper = ChildOf(tool);
  kill(tool, SIGKILL);
  waitpid(tool, nullptr, 0);
  ASSERT_TRUE(shown) << "no dialog";
  ASSERT_GT(helper, 0);
  char state = tst::ProcessState(helper);
  for (int tries = 0; tries < 250 && state != 0 && state != 'Z'; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    state = tst::ProcessState(helper);
  }
  if (state != 0 && state != 'Z') kill(helper, SIGKILL);
  EXPECT_TRUE(state == 0 || state == 'Z') << "the helper outlived its tool";
}

// Whatever ends the program while its box is up, the box goes with it: the
// helper, the process its toolkit forks to draw the dialog, and the
// dialog on the desktop. For both programs: the export tool's start-up
// box (the font that cannot serve, step 694) and the launcher's box for
// its missing main program.
TEST_F(DesktopDialog, ABoxGoesWithItsProgramWhateverSignalEndsIt) {
  const std::string root = tst::FolderWithPrograms(
      "logship-box-end", {"logship", "logship-cmd", "logship-msgbox", "launcher"});
  ASSERT_FALSE(root.empty());
  tst::WriteFile(root + "/app/inifiles/fontkeus.ini", "Missing.ttf\r\n");
  struct Program {
    const char* name;
    const char* caption;
  };
  const Program programs[] = {{"logship", "Unhandled Error #258"},
                              {"launcher", "Unhandled Error #53"}};
  for (const Program& program : programs) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGKILL}) {
      SCOPED_TRACE(std::string(program.name) + ", " + strsignal(signal));
      const pid_t tool = fork();
      if (tool == 0) {
        setsid();
        int null = open("/dev/null", O_RDWR);
        for (int fd : {0, 1, 2}) dup2(null, fd);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("LOGSHIP_DRIVES", ("C=" + root).c_str(), 1);
        for (const char* name : {"LOGSHIP_BOX_ANSWER", "LOGSHIP_BOX_LOG", "SDL_VIDEODRIVER"})
          unsetenv(name);
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        const std::string path = root + "/app/" + program.name;
        execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
      }
      bool shown = false;
      for (int tries = 0; tries < 500 && !shown; ++tries) {
        shown = x.Shows(program.caption);
        if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      const std::vector<pid_t> box = tst::Descendants(tool);
      kill(tool, signal);
      int status = 0;
      waitpid(tool, &status, 0);
      ASSERT_TRUE(shown) << "no box came up";
      ASSERT_FALSE(box.empty()) << "no helper below the program";
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
          << "the program did not end by its signal (status " << status << ")";
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
      auto gone = [&] {
        for (pid_t p : box)
          if (!tst::ProcessEnded(p)) return false;
        return !x.Has(program.caption);
      };
      while (!gone() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      for (pid_t p : box) {
        EXPECT_TRUE(tst::ProcessEnded(p))
            << "process " << p << " of the box (" << box.size() << " in all) still runs";
        if (!tst::ProcessEnded(p)) kill(p, SIGKILL);
      }
      EXPECT_FALSE(x.Has(program.caption)) << "the box stays on the desktop";
    }
  }
  std::filesystem::remove_all(root);
}

}  // namespace
