#include "textscreen/platform/program_start.h"

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "support/child_process.h"
#include "support/scripted.h"
#include "textscreen/errors.h"
#include "textscreen/next_program.h"

namespace {

using ts::Bytes;

struct SplitCase {
  Bytes line;
  std::vector<Bytes> words;
};

TEST(SplitCommandLine, SplitsAsTheWindowsRuntimeDoes) {
  const SplitCase cases[] = {
      {"prog", {"prog"}},
      {"  prog  a\tb ", {"prog", "a", "b"}},
      {"\"my dir\\run.sh\" one \"two three\"", {"my dir\\run.sh", "one", "two three"}},
      {"\"unclosed program name", {"unclosed program name"}},
      // Backslashes are plain unless they stand before a quote.
      {"prog a\\b c\\\\d", {"prog", "a\\b", "c\\\\d"}},
      {"prog a\\\"b", {"prog", "a\"b"}},
      {"prog a\\\\\"b c\"", {"prog", "a\\b c"}},
      {"prog \"a\"\"b\"", {"prog", "a\"b"}},
      {"prog \"\" x", {"prog", "", "x"}},
      {"prog a\"b c\"d", {"prog", "ab cd"}},
      {"", {}},
      {" \t ", {}},
      {"\"\" arg", {}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE("line: [" + c.line + "]");
    EXPECT_EQ(ts::platform::SplitCommandLine(c.line), c.words);
  }
}

struct Child {
  char state;       // 'Z': ended and never reaped
  std::string cwd;  // empty for one that ended
};

// The children of this process.
std::vector<Child> OurChildren() {
  std::vector<Child> children;
  DIR* proc = opendir("/proc");
  while (dirent* e = readdir(proc)) {
    std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 1));
    char state;
    int ppid;
    if (!(rest >> state >> ppid) || ppid != getpid()) continue;
    std::error_code error;
    auto cwd = std::filesystem::read_symlink(std::string("/proc/") + e->d_name + "/cwd", error);
    children.push_back({state, error ? std::string() : cwd.string()});
  }
  closedir(proc);
  return children;
}

int ZombieChildren() {
  int count = 0;
  for (const Child& c : OurChildren()) count += c.state == 'Z';
  return count;
}

class ProgramStartTest : public tst::LayerTest {
 protected:
  void SetUp() override {
    tst::LayerTest::SetUp();
    marks = std::filesystem::canonical(folder.path()).string();
  }

  void Script(const std::string& rel) {
    tst::WriteFile(marks + "/" + rel, tst::RecordingScript(marks, "0"), 0755);
  }
  // A script that runs until the test writes `go`.
  void HeldScript(const std::string& rel) {
    tst::WriteFile(marks + "/" + rel, tst::HeldRecordingScript(marks), 0755);
  }
  void Go() { tst::WriteFile(marks + "/go", ""); }
  // The arguments the script was started with, once it has ended.
  std::optional<std::string> Ran() {
    if (!tst::WaitForFile(marks + "/finished")) return std::nullopt;
    return tst::ReadFile(marks + "/args");
  }

  tst::ScratchFolder folder{"logship-start"};
  std::string marks;
};

TEST_F(ProgramStartTest, StartedProgramRunsInTheCurrentDirectoryAndIsNotWaitedFor) {
  HeldScript("run.sh");
  EXPECT_TRUE(RunProgram([] { ts::StartProgram("run.sh"); })) << "a started program ends the tool";
  EXPECT_FALSE(std::filesystem::exists(marks + "/finished")) << "the start waited for the program";
  EXPECT_FALSE(ts::ErrorPending());
  Go();

  ASSERT_TRUE(Ran());
  EXPECT_EQ(tst::ReadFile(marks + "/cwd"), marks + "\n");
  // Once it has ended, nothing of it stays behind as a zombie of ours.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (ZombieChildren() > 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ZombieChildren(), 0);
}

TEST_F(ProgramStartTest, EverySlashOfTheLineBecomesABackslash) {
  Script("sub/run.sh");
  EXPECT_TRUE(RunProgram([] { ts::StartProgram("sub/run.sh a/b c\\d"); }));
  EXPECT_EQ(Ran(), "a\\b\nc\\d\n");
}

TEST_F(ProgramStartTest, QuotedProgramNameMayHoldBlanks) {
  Script("my dir/run me.sh");
  EXPECT_TRUE(RunProgram([] { ts::StartProgram("\"my dir\\run me.sh\" one \"two three\""); }));
  EXPECT_EQ(Ran(), "one\ntwo three\n");
}

TEST_F(ProgramStartTest, NothingStartsWhileAnErrorIsPending) {
  HeldScript("run.sh");
  ts::RaiseError(5);
  EXPECT_FALSE(RunProgram([] { ts::StartProgram("run.sh"); }));
  EXPECT_EQ(ts::PendingError(), 5u);
  // A program started would be a child of ours, held in this folder.
  for (const Child& c : OurChildren()) EXPECT_NE(c.cwd, marks) << "a program was started";
  Go();
}

struct NotStartedCase {
  const char* name;
  Bytes commandLine;
  std::function<void(const std::string& dir)> prepare;
};
void PrintTo(const NotStartedCase& c, std::ostream* os) { *os << '"' << c.commandLine << '"'; }

class ProgramNotStarted : public ProgramStartTest,
                          public ::testing::WithParamInterface<NotStartedCase> {};

TEST_P(ProgramNotStarted, RaisesFileNotFoundAndGoesOn) {
  GetParam().prepare(marks);
  EXPECT_FALSE(RunProgram([] { ts::StartProgram(GetParam().commandLine); }));
  EXPECT_EQ(ts::PendingError(), 53u);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, ProgramNotStarted,
    ::testing::Values(
        NotStartedCase{"Missing", "missing.sh", [](const std::string&) {}},
        NotStartedCase{"Empty", "", [](const std::string&) {}},
        NotStartedCase{"OnlyBlanks", "   ", [](const std::string&) {}},
        NotStartedCase{"Folder", "tools",
                       [](const std::string& d) { std::filesystem::create_directory(d + "/tools"); }},
        NotStartedCase{"NotExecutable", "plain.sh",
                       [](const std::string& d) {
                         tst::WriteFile(d + "/plain.sh", "#!/bin/sh\ntouch ran\n", 0644);
                       }},
        NotStartedCase{"NoExecutableFormat", "text.exe",
                       [](const std::string& d) {
                         tst::WriteFile(d + "/text.exe", "just some text\n", 0755);
                       }},
        NotStartedCase{"MissingInterpreter", "orphan.sh",
                       [](const std::string& d) {
                         tst::WriteFile(d + "/orphan.sh", "#!/nonexistent/shell\n", 0755);
                       }},
        NotStartedCase{"QuotedEmptyName", "\"\" run.sh",
                       [](const std::string& d) {
                         tst::WriteFile(d + "/run.sh", tst::RecordingScript(d, "0"), 0755);
                       }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
