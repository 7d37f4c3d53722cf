// Two tools in one folder: each probes, reads and deletes direct.tmp as
// the drive scan does, with drives of its own, and must only ever read
// its own listing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "files/fixture.h"
#include "textscreen/errors.h"
#include "textscreen/named_files.h"
#include "textscreen/numbered_files.h"
#include "textscreen/platform/paths.h"
#include "textscreen/shell_runner.h"

namespace {

class SharedFolder : public tst::FilesTest {};

TEST_F(SharedFolder, TwoToolsNeverReadEachOthersTemporaryFile) {
  constexpr int kRounds = 150;
  Folder("stickE");
  Folder("stickF");
  const char letters[] = {'E', 'F'};
  pid_t tools[2];
  for (int t = 0; t < 2; ++t) {
    tools[t] = fork();
    if (tools[t] == 0) {
      const char letter = letters[t];
      Drives((std::string("C=/;") + letter + "=" + In(std::string("stick") + letter)).c_str());
      int wrong = 0;
      for (int round = 0; round < kRounds; ++round) {
        ts::RunHidden(std::string("dir ") + letter + ": > direct.tmp");
        ts::OpenNumberedFile("direct.tmp", ts::FileMode::Input, 4);
        ts::Bytes first = ts::ReadField(4);
        ts::CloseNumberedFile(4);
        ts::DeleteMatching("direct.tmp");
        if (TakeError() != 0 || first != std::string("Volume in drive ") + letter + " has no label.")
          ++wrong;
      }
      _exit(wrong > 100 ? 100 : wrong);
    }
  }
  for (int t = 0; t < 2; ++t) {
    int status = 0;
    ASSERT_EQ(waitpid(tools[t], &status, 0), tools[t]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "rounds in which tool " << letters[t]
                                      << " did not read its own listing";
  }
}

// A tool at work takes the folder again as soon as it lets it go; another
// tool in the folder still comes in after the command under way, instead
// of waiting while the first goes on (and, once a wait has run out, going
// on without the folder).
TEST_F(SharedFolder, ABusyToolLetsTheOtherInAfterItsCommand) {
  // The check of the interpreter is made now, not while the other waits.
  ts::RunHidden("cd > hulp.hlp");
  ts::DeleteMatching("hulp.hlp");
  ASSERT_EQ(TakeError(), 0u);
  int done[2];
  ASSERT_EQ(pipe(done), 0);
  pid_t busy = fork();
  if (busy == 0) {
    // Command after command, each taking the folder that the one before
    // let go; a byte for every one that has run.
    for (;;) {
      ts::RunHidden("cd > hulp.hlp");
      if (write(done[1], "x", 1) != 1) _exit(1);
    }
  }
  close(done[1]);
  char bytes[4096];
  ASSERT_EQ(read(done[0], bytes, 1), 1);  // the busy tool is at work
  fcntl(done[0], F_SETFL, O_NONBLOCK);
  auto ran = [&] {
    ssize_t n = 0, got;
    while ((got = read(done[0], bytes, sizeof bytes)) > 0) n += got;
    return n;
  };
  ran();
  ts::RunHidden("dir C: > direct.tmp");
  const ssize_t meanwhile = ran();
  const int64_t listed = ts::NamedFileLength("direct.tmp");
  ts::DeleteMatching("direct.tmp");
  kill(busy, SIGKILL);
  waitpid(busy, nullptr, 0);
  close(done[0]);
  // The one under way, and one for each time the waiter was too slow to
  // come in while it was let (a busy machine); without the turns, hundreds.
  EXPECT_LE(meanwhile, 6) << "commands the busy tool ran while the other waited for the folder";
  EXPECT_GT(listed, 1);
  EXPECT_EQ(TakeError(), 0u);
}

// Another process holds the folder and keeps it (a stopped tool, a
// user's flock): the first command waits for it only so long, and the
// rest of the run does not wait again; each command still does its work.
// A run whose end has been asked for does not wait at all. (A lock of the
// test's own open folder stands for the other process's: open files of
// one process lock against each other as those of two do.)
TEST_F(SharedFolder, AFolderHeldElsewhereIsWaitedForOnce) {
  using Clock = std::chrono::steady_clock;
  constexpr auto kOneWait = std::chrono::seconds(5);
  int other = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  const ts::Bytes here = ts::platform::CurrentDirectoryToolForm();
  auto cd = [] {
    ts::RunHidden("cd > hulp.hlp");
    ts::OpenNumberedFile("hulp.hlp", ts::FileMode::Input, 1);
    ts::Bytes seen = ts::ReadField(1);
    ts::CloseNumberedFile(1);
    ts::DeleteMatching("hulp.hlp");
    return seen;
  };

  auto start = Clock::now();
  EXPECT_EQ(cd(), here);
  EXPECT_GE(Clock::now() - start, kOneWait - std::chrono::milliseconds(100))
      << "the first command did not wait for the folder";
  start = Clock::now();
  for (int i = 0; i < 10; ++i) EXPECT_EQ(cd(), here);
  EXPECT_LT(Clock::now() - start, kOneWait) << "the later commands waited again";
  EXPECT_EQ(TakeError(), 0u);

  ts::ResetShellRunner();
  ts::SetEndRequest();
  start = Clock::now();
  ts::RunHidden("cd > hulp.hlp");
  EXPECT_LT(Clock::now() - start, kOneWait) << "a run being ended waited for the folder";
  close(other);
}

}  // namespace
