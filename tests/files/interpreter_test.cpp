// The command interpreter beside the programs, started directly and
// through RunHidden.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "files/fixture.h"
#include "textscreen/platform/interpreter/command_line.h"
#include "textscreen/shell_runner.h"

extern char** environ;

namespace {

using tst::FilesTest;

class InterpreterTest : public FilesTest {
 protected:
  struct Run {
    int status = -1;
    std::string out, err;
  };

  // logship-cmd /c line, its output streams caught in files.
  Run Cmd(const std::string& line) {
    std::string program = ts::platform::ExecutableFolder() + "/logship-cmd";
    std::string outPath = dir + "/.out", errPath = dir + "/.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string slashC = "/c", arg = line;
    char* argv[] = {program.data(), slashC.data(), arg.data(), nullptr};
    pid_t pid;
    Run r;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0) << "no " << program << " (build the logship-cmd target)";
    if (rc != 0) return r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Read(outPath);
    r.err = Read(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return r;
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
      lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
    return lines;
  }
};

// The interpreter's reading of its line: words with their quotes taken
// off, the redirections wherever they stand, and the lines it refuses.
TEST(InterpreterLine, ReadsWordsQuotesAndRedirections) {
  using Redirections = std::vector<std::pair<std::string, bool>>;  // target, append
  const std::string syntax = "The syntax of the command is incorrect.\r\n";
  struct {
    const char* line;
    std::vector<std::string> words;
    Redirections redirections;
    std::string error;
  } cases[] = {
      {"cd > hulp.hlp", {"cd"}, {{"hulp.hlp", false}}, ""},
      {"dir E: > direct.tmp", {"dir", "E:"}, {{"direct.tmp", false}}, ""},
      {"cd>hulp.hlp", {"cd"}, {{"hulp.hlp", false}}, ""},
      {"dir >> log.txt", {"dir"}, {{"log.txt", true}}, ""},
      {"> out.txt dir", {"dir"}, {{"out.txt", false}}, ""},
      {"dir > a.txt >> b.txt", {"dir"}, {{"a.txt", false}, {"b.txt", true}}, ""},
      {" \tdir\t E: ", {"dir", "E:"}, {}, ""},
      {"dir \"my folder\"", {"dir", "my folder"}, {}, ""},
      {"dir \"a>b|c\"", {"dir", "a>b|c"}, {}, ""},
      {"cd >\"hulp file.hlp\"", {"cd"}, {{"hulp file.hlp", false}}, ""},
      {"di\"r\" E:", {"dir", "E:"}, {}, ""},
      {"", {}, {}, ""},
      {"   ", {}, {}, ""},
      {"cd >", {"cd"}, {}, syntax},
      {"cd >>  ", {"cd"}, {}, syntax},
      {"cd > |", {"cd"}, {}, syntax},
      {"dir | more", {"dir"}, {}, "'|' is not supported by this command interpreter.\r\n"},
      {"dir < in.txt", {"dir"}, {}, "'<' is not supported by this command interpreter.\r\n"},
      {"cd & dir", {"cd"}, {}, "'&' is not supported by this command interpreter.\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("line \"") + c.line + "\"");
    const ts::cmd::CommandLine parsed = ts::cmd::Parse(c.line);
    EXPECT_EQ(parsed.error, c.error);
    if (!c.error.empty()) continue;
    EXPECT_EQ(parsed.words, c.words);
    Redirections redirections;
    for (const ts::cmd::Redirection& r : parsed.redirections)
      redirections.emplace_back(r.target, r.append);
    EXPECT_EQ(redirections, c.redirections);
  }
}

TEST_F(InterpreterTest, CdWritesTheToolFormAndALineEnd) {
  for (const char* line : {"cd > hulp.hlp", "CD>hulp.hlp", "cd >\"hulp.hlp\""}) {
    ts::RunHidden(line);
    EXPECT_EQ(TakeError(), 0u);
    EXPECT_EQ(Read(In("hulp.hlp")), ts::platform::CurrentDirectoryToolForm() + "\r\n") << line;
    unlink(In("hulp.hlp").c_str());
  }
  EXPECT_EQ(window.hiddenCommands, 3) << "the window pauses once a command";
}

TEST_F(InterpreterTest, DirProbesFindMappedDrivesOnly) {
  Write("stick/LOG.cbr", "x");
  Drives(("C=/;E=" + In("stick") + ";F=" + In("gone")).c_str());
  struct {
    const char* command;
    bool listed;
  } cases[] = {{"dir E: > direct.tmp", true},
               {"dir C: > direct.tmp", true},
               {"dir Q: > direct.tmp", false},
               {"dir F: > direct.tmp", false}};
  for (const auto& c : cases) {
    ts::RunHidden(c.command);
    EXPECT_EQ(TakeError(), 0u) << c.command;
    ASSERT_TRUE(Exists(In("direct.tmp"))) << c.command << ": the redirection comes first";
    EXPECT_EQ(Read(In("direct.tmp")).size() > 1, c.listed) << c.command;
    unlink(In("direct.tmp").c_str());
  }
}

TEST_F(InterpreterTest, DirListsInTheLayoutOfTheCommandItReplaces) {
  Write("stick/LOG.cbr", std::string(1234, 'x'));
  Write("stick/caf\xc3\xa9.txt", "");
  Folder("stick/Sub");
  Drives(("C=/;E=" + In("stick")).c_str());

  Run r = Cmd("dir E:");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 10u) << r.out;
  EXPECT_EQ(lines[0], " Volume in drive E has no label.");
  EXPECT_EQ(lines[1].rfind(" Volume Serial Number is ", 0), 0u);
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], " Directory of E:\\");
  EXPECT_EQ(lines[4], "");
  // Date and time take the first 20 columns; the root has no . and ..
  EXPECT_EQ(lines[5].substr(20), "                 0 caf\x82.txt");
  EXPECT_EQ(lines[6].substr(20), "             1,234 LOG.cbr");
  EXPECT_EQ(lines[7].substr(20), "    <DIR>          Sub");
  EXPECT_EQ(lines[8], "               2 File(s)          1,234 bytes");
  EXPECT_EQ(lines[9].substr(0, 24), "               1 Dir(s) ");
  EXPECT_EQ(lines[9].substr(lines[9].size() - 11), " bytes free");

  r = Cmd("dir e:\\SUB");
  lines = Lines(r.out);
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(lines[3], " Directory of E:\\Sub");
  EXPECT_EQ(lines[5].substr(20), "    <DIR>          .");
  EXPECT_EQ(lines[6].substr(20), "    <DIR>          ..");
}

TEST_F(InterpreterTest, FailuresGoToStandardError) {
  Drives(("C=/;F=" + In("gone")).c_str());
  for (const char* line : {"dir Q:", "dir F:", "dir nofolder", "foo", "cd somewhere", "dir /w",
                           "dir | more", "ver > Q:\\out.txt", "ver > nofolder\\out.txt", "ver >"}) {
    Run r = Cmd(line);
    EXPECT_NE(r.status, 0) << line;
    EXPECT_EQ(r.out, "") << line;
    EXPECT_NE(r.err, "") << line;
  }
  Run r = Cmd("foo > made.txt");
  EXPECT_NE(r.err.find("'foo'"), std::string::npos) << r.err;
  EXPECT_TRUE(Exists(In("made.txt"))) << "the redirection is opened before the command";
}

TEST_F(InterpreterTest, AppendingAndReplacing) {
  EXPECT_EQ(Cmd("ver > v.txt").status, 0);
  std::string once = Read(In("v.txt"));
  EXPECT_GT(once.size(), 1u);
  Cmd("ver >> v.txt");
  EXPECT_EQ(Read(In("v.txt")), once + once);
  Cmd("ver > V.TXT");
  EXPECT_EQ(Read(In("v.txt")), once) << "the existing name, replaced";
  EXPECT_FALSE(Exists(In("V.TXT")));
}

// A redirection never writes through a link: the link could lead to any
// file, the user's log among them, or off the drive.
TEST_F(InterpreterTest, RedirectionRefusesLinks) {
  Write("outside/log.cbr", "the log");
  Folder("stick");
  Drives(("C=/;E=" + In("stick")).c_str());
  symlink(In("outside/log.cbr").c_str(), In("hulp.hlp").c_str());
  symlink(In("outside/new.txt").c_str(), In("direct.tmp").c_str());
  symlink(In("outside").c_str(), In("stick/SUB").c_str());
  for (const char* line : {"cd > hulp.hlp", "ver >> HULP.HLP", "dir E: > direct.tmp",
                           "ver > E:\\SUB\\out.txt", "ver >> E:\\sub\\log.cbr"}) {
    Run r = Cmd(line);
    EXPECT_NE(r.status, 0) << line;
    EXPECT_EQ(r.err, "Access is denied.\r\n") << line;
    EXPECT_EQ(Read(In("outside/log.cbr")), "the log") << line;
    EXPECT_FALSE(Exists(In("outside/new.txt"))) << line;
    EXPECT_FALSE(Exists(In("outside/out.txt"))) << line;
  }
}

TEST_F(InterpreterTest, RunHiddenChecksOnceAndHandsOverOneLine) {
  // A stand-in interpreter that logs its arguments, its directory and
  // where its standard output goes.
  Folder("work");
  Write("fake-cmd",
        "#!/bin/sh\n"
        "out=$(readlink /proc/$$/fd/1)\n"
        "{ printf '%s|' \"$#\" \"$@\"; pwd; echo \"$out\"; } >> " + In("log") + "\n"
        "echo noise\n");
  chmod(In("fake-cmd").c_str(), 0755);
  ts::SetInterpreterPath(In("fake-cmd"));
  ASSERT_EQ(chdir(In("work").c_str()), 0);
  ts::RunHidden("dir E: > direct.tmp");
  ts::RunHidden("cd > hulp.hlp");
  EXPECT_EQ(TakeError(), 0u);
  // Last, the argument that names the tool as the interpreter's parent.
  std::string where = "|--parent=" + std::to_string(getpid()) + "|" + In("work") + "\n/dev/null\n";
  EXPECT_EQ(Read(In("log")), "3|/c|ver" + where + "3|/c|dir E: > direct.tmp" + where +
                                 "3|/c|cd > hulp.hlp" + where);
  EXPECT_EQ(window.hiddenCommands, 2);
}

TEST_F(InterpreterTest, RunHiddenWithoutCommandOrInterpreter) {
  ts::RunHidden("");
  EXPECT_EQ(TakeError(), 5u);

  ts::SetInterpreterPath(dir + "/no-such-interpreter");
  ts::RunHidden("cd > hulp.hlp");
  EXPECT_EQ(TakeError(), 0u);
  EXPECT_FALSE(Exists(In("hulp.hlp")));
  EXPECT_EQ(window.hiddenCommands, 0);
}

TEST_F(InterpreterTest, OnlyALetterBeforeTheColonNamesADrive) {
  Folder("1:");
  Write("1:/inside.txt", "x");
  for (const char* line : {"dir 1:", "dir 1:\\", "dir ?:"}) {
    Run r = Cmd(line);
    EXPECT_EQ(r.status, 1) << line;
    EXPECT_EQ(r.out, "") << line;
    EXPECT_EQ(r.err, "File Not Found\r\n") << line;
  }
}

// The interpreter goes with the tool that started it: named in its last
// argument, a parent that is gone (another process took the interpreter
// over) ends it at once, before it makes anything; process 1 is a parent
// like any other. Started by hand it works as ever.
TEST_F(InterpreterTest, ComparesItsParentWithTheOneNamedNeverWithProcessOne) {
  const std::string cmd = ts::platform::ExecutableFolder() + "/logship-cmd";
  const std::string run = "cd '" + dir + "' && '" + cmd + "' /c 'cd > hulp.hlp'";
  const bool pidNamespaces =
      system("unshare --pid --fork --mount-proc true >/dev/null 2>&1") == 0;
  struct Case {
    const char* what;
    std::string shell;  // the interpreter's status is the shell's
    bool inNamespace;
    int status;
  };
  // A trailing command keeps the shell from running the interpreter in
  // its own place: the shell stays its parent.
  const Case cases[] = {
      {"started by hand", run + "; exit $?", false, 0},
      {"its parent named", run + " --parent=$$; exit $?", false, 0},
      {"a parent named that is not its own", run + " --parent=1; exit $?", false, 1},
      {"the child of process 1, which is named", run + " --parent=1; exit $?", true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The last case: those before it have been checked.
    if (c.inNamespace && !pidNamespaces)
      GTEST_SKIP() << "unshare cannot make a PID namespace here";
    Write("parent.sh", c.shell + "\n");
    const std::string line =
        std::string(c.inNamespace ? "unshare --pid --fork --mount-proc " : "") + "sh " +
        In("parent.sh");
    const int status = system(line.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << line;
    EXPECT_EQ(WEXITSTATUS(status), c.status) << line;
    EXPECT_EQ(Exists(In("hulp.hlp")), c.status == 0) << line;
    unlink(In("hulp.hlp").c_str());
  }
}

}  // namespace
