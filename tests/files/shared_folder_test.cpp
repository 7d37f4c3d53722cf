// Two tools in one folder: each probes, reads and deletes direct.tmp as
// the drive scan does, with drives of its own, and must only ever read
// its own listing.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "files/fixture.h"
#include "textscreen/files.h"

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

}  // namespace
