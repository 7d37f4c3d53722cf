// The copy's temporary files beside what else stands on the stick: a
// user's files, other tools' copies that run at the same time, and what
// copies cut off without warning left.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "copy/fixture.h"
#include "export/copy_policy.h"

namespace {

namespace fs = std::filesystem;
using tst::Contents;
using tst::CopyInChild;
using tst::Pattern;
using tst::ReadBytes;
using tst::Snapshot;
using tst::TemporaryFiles;
using tst::WriteFile;

// A name of the shape of the copy's temporary files.
const std::string kShaped = "LOGSHIP-0123ABCD.part";

// Every number drawn gives a name of that shape, its 8 digits in
// capitals with the zeros in front.
TEST(CopyPolicy, EveryDrawnNumberGivesANameOfTheShape) {
  struct {
    uint32_t drawn;
    const char* name;
  } cases[] = {
      {0, "LOGSHIP-00000000.part"},
      {0x1F0C93AB, "LOGSHIP-1F0C93AB.part"},
      {0xABCDEF, "LOGSHIP-00ABCDEF.part"},
      {0xFFFFFFFF, "LOGSHIP-FFFFFFFF.part"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(logship::CopyTemporaryName(c.drawn), c.name);
    EXPECT_TRUE(logship::IsCopyTemporaryName(c.name));
  }
}

class StickNeighbours : public tst::CopyTest {
 protected:
  void SetUp() override {
    CopyTest::SetUp();
    stick = dir / "stick";
    outside = dir / "outside";
    MapDrive("E=" + stick.string());
  }
  // An empty stick, and a folder elsewhere that holds a log.
  void Fresh() {
    fs::remove_all(stick);
    fs::remove_all(outside);
    fs::create_directories(stick);
    WriteFile(outside / "victim.cbr", std::string(300, 'v'));
  }
  // The export of `source` in a child process, so that an open that
  // waits (a FIFO) ends the test instead of holding it.
  int ExportInChild(const std::string& source, const std::string& destination) {
    tst::ChildOptions options;
    options.timeoutMs = 10000;
    return tst::RunInChild(options, [&] { return int(CopyUnderHandler(source, destination)); })
        .exitCode;
  }

  fs::path stick, outside;
};

// Whatever stands in the stick's root before an export stays there byte
// for byte and kind for kind, beside the export; only a temporary file
// that a copy cut off left (the last case) goes.
TEST_F(StickNeighbours, AnExportTouchesOnlyWhatItMade) {
  using Make = std::function<int(const fs::path& stick, const fs::path& outside)>;  // a held fd
  auto file = [](const std::string& name, mode_t mode = 0644) -> Make {
    return [=](auto& s, auto&) {
      WriteFile(s / name, "someone's " + name, mode);
      return -1;
    };
  };
  auto linkOff = [](const std::string& name, const char* target) -> Make {
    return [=](auto& s, auto& o) {
      fs::create_symlink(o / target, s / name);
      return -1;
    };
  };
  auto fifo = [](const std::string& name) -> Make {
    return [=](auto& s, auto&) { return mkfifo((s / name).c_str(), 0644) == 0 ? -1 : -2; };
  };
  auto folder = [](const std::string& name) -> Make {
    return [=](auto& s, auto&) {
      WriteFile(s / name / "inside.cbr", "inside");
      return -1;
    };
  };
  const Make secondName = [](auto& s, auto&) {
    WriteFile(s / kShaped, "a log of two names");
    fs::create_hard_link(s / kShaped, s / "KEEP.cbr");
    return -1;
  };
  // A lock on an open file of its own stands for another process's: open
  // files of one process lock against each other as those of two do.
  const Make heldByACopy = [](auto& s, auto&) {
    WriteFile(s / kShaped, "half a copy that still runs");
    int fd = ::open((s / kShaped).c_str(), O_RDWR | O_CLOEXEC);
    return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? fd : -2;
  };
  struct {
    const char* what;
    Make make;
    bool goes;
  } cases[] = {
      {"a user's file under the old temporary name", file("LOGSHIP.$$$"), false},
      {"a link under the old name to a file off the stick", linkOff("LOGSHIP.$$$", "victim.cbr"),
       false},
      {"a FIFO under the old name", fifo("LOGSHIP.$$$"), false},
      {"a read-only file under the old name", file("LOGSHIP.$$$", 0444), false},
      {"a folder under the old name", folder("LOGSHIP.$$$"), false},
      {"a link of the shape to a file off the stick", linkOff(kShaped, "victim.cbr"), false},
      {"a link of the shape that leads nowhere", linkOff(kShaped, "none.cbr"), false},
      {"a FIFO of the shape", fifo(kShaped), false},
      {"a read-only file of the shape", file(kShaped, 0444), false},
      {"a folder of the shape", folder(kShaped), false},
      {"a file of the shape with a second name", secondName, false},
      {"another copy's running temporary file", heldByACopy, false},
      {"the tool's name in small letters", file("logship-0123ABCD.part"), false},
      {"hex digits in small letters", file("LOGSHIP-0123abcd.part"), false},
      {"seven digits", file("LOGSHIP-0123ABC.part"), false},
      {"nine digits", file("LOGSHIP-0123ABCDE.part"), false},
      {"a digit that is no hex digit", file("LOGSHIP-0123ABCG.part"), false},
      {"the extension in capitals", file("LOGSHIP-0123ABCD.PART"), false},
      {"an extension behind it", file("LOGSHIP-0123ABCD.part.cbr"), false},
      {"another separator", file("LOGSHIP_0123ABCD.part"), false},
      {"a leftover of a copy cut off", file(kShaped), true},
  };
  ASSERT_TRUE(logship::IsCopyTemporaryName(kShaped));
  WriteFile("DATA.CBR", Pattern(250));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    int held = c.make(stick, outside);
    ASSERT_NE(held, -2) << "could not make it";
    auto before = Snapshot(stick);
    const auto outsideBefore = Snapshot(outside);
    EXPECT_EQ(ExportInChild("DATA.CBR", "E:\\OUT.cbr"), 0);
    if (held >= 0) ::close(held);
    EXPECT_EQ(ReadBytes(stick / "OUT.cbr"), Pattern(250));
    auto after = Snapshot(stick);
    after.erase("OUT.cbr");
    if (c.goes) before.erase(kShaped);
    EXPECT_EQ(after, before);
    EXPECT_EQ(Snapshot(outside), outsideBefore);
  }
}

// Two tools export to one stick at once. Each stops between its passes
// until both are there, so that each has made its temporary file before
// the other goes on. Both copies land whole, and nothing else stays; to
// one name, the one placed last stands there whole.
TEST_F(StickNeighbours, TwoCopiesAtOnceBothLandWhole) {
  struct {
    const char* what;
    const char* second;
  } cases[] = {
      {"each under its own name", "E:\\TWO.cbr"},
      {"both under one name", "E:\\ONE.cbr"},
  };
  const std::string one = Pattern(1050, 1), two = Pattern(1050, 2);
  WriteFile("ONE.CBR", one);
  WriteFile("TWO.CBR", two);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    CopyInChild first([&] { return int(CopyUnderHandler("ONE.CBR", "E:\\ONE.cbr")); }, 547);
    ASSERT_TRUE(first.WaitUntilStopped());
    CopyInChild second([&] { return int(CopyUnderHandler("TWO.CBR", c.second)); }, 547);
    ASSERT_TRUE(second.WaitUntilStopped());
    EXPECT_EQ(TemporaryFiles(stick).size(), 2u);
    second.GoOn();
    first.GoOn();
    EXPECT_EQ(first.Wait(), 0);
    EXPECT_EQ(second.Wait(), 0);
    const auto landed = Contents(stick);
    if (c.second == std::string("E:\\TWO.cbr")) {
      const std::map<std::string, std::string> both = {{"ONE.cbr", one}, {"TWO.cbr", two}};
      EXPECT_EQ(landed, both);
    } else {
      ASSERT_EQ(landed.size(), 1u);
      EXPECT_TRUE(landed.begin()->second == one || landed.begin()->second == two);
    }
  }
}

// A copy killed on its way (SIGKILL: nothing of the tool runs any more)
// leaves its temporary file. A later export to that stick takes it away;
// the temporary file of a copy that runs meanwhile stays, and that copy
// lands whole.
TEST_F(StickNeighbours, ALeftoverGoesARunningCopysFileStays) {
  Fresh();
  WriteFile("DATA.CBR", Pattern(250, 1));
  WriteFile("RUNNING.CBR", Pattern(1050, 2));
  CopyInChild killed([&] { return int(CopyUnderHandler("DATA.CBR", "E:\\KILLED.cbr")); }, 555,
                     [] { kill(getpid(), SIGKILL); });
  EXPECT_EQ(killed.Wait(), -1);
  const std::vector<std::string> leftover = TemporaryFiles(stick);
  ASSERT_EQ(leftover.size(), 1u) << "the killed copy left no temporary file";
  EXPECT_FALSE(fs::exists(stick / "KILLED.cbr"));

  CopyInChild running([&] { return int(CopyUnderHandler("RUNNING.CBR", "E:\\RUNNING.cbr")); }, 547);
  ASSERT_TRUE(running.WaitUntilStopped());
  std::vector<std::string> held = TemporaryFiles(stick);
  std::erase(held, leftover[0]);
  ASSERT_EQ(held.size(), 1u);
  const std::string heldBefore = Snapshot(stick)[held[0]];

  EXPECT_EQ(CopyUnderHandler("DATA.CBR", "E:\\LATER.cbr"), 0u);
  EXPECT_EQ(TemporaryFiles(stick), held);
  EXPECT_EQ(Snapshot(stick)[held[0]], heldBefore);

  running.GoOn();
  EXPECT_EQ(running.Wait(), 0);
  const std::map<std::string, std::string> landed = {{"LATER.cbr", Pattern(250, 1)},
                                                     {"RUNNING.cbr", Pattern(1050, 2)}};
  EXPECT_EQ(Contents(stick), landed);
}

}  // namespace
