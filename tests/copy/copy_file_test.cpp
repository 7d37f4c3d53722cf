// The copy of the data file: both passes, the buffers, the errors and
// where they are delivered.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "export/copy_file.h"
#include "export/flow.h"
#include "export/globals.h"
#include "support/child_process.h"
#include "support/scripted.h"
#include "textscreen/errors.h"
#include "textscreen/fatal_end.h"
#include "textscreen/files.h"
#include "textscreen/platform/paths.h"
#include "textscreen/platform/wait.h"
#include "textscreen/program.h"
#include "textscreen/program_thread.h"

namespace {

namespace fs = std::filesystem;
using logship::CopyFile;
using logship::G;

constexpr uint32_t kExportHandlerStep = 307;

std::string Pattern(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += char((i * 7 + 3) % 256);  // zero bytes among them
  return s;
}

using tst::WriteFile;

std::string ReadFile(const fs::path& p) { return tst::ReadFile(p).value_or(""); }

class CopyTest : public tst::LayerTest {
 protected:
  void SetUp() override {
    tst::LayerTest::SetUp();
    scratch = std::make_unique<tst::ScratchFolder>("logship-copy");
    dir = scratch->path();
    logship::ResetGlobals();
  }
  void TearDown() override {
    ts::CloseAllFiles();
    scratch.reset();
    unsetenv("LOGSHIP_DRIVES");
    ts::platform::ReloadDrives();
    tst::LayerTest::TearDown();
  }

  void MapDrive(const std::string& mapping) {
    setenv("LOGSHIP_DRIVES", mapping.c_str(), 1);
    ts::platform::ReloadDrives();
  }

  // Runs the copy with ExportHandler armed; the error that entered it, or 0.
  uint32_t CopyUnderHandler(const std::string& source, const std::string& destination) {
    logship::SetHandlerPlan();
    ts::ArmHandler(2);
    try {
      CopyFile(source, destination);
    } catch (const ts::HandlerEntry& entry) {
      EXPECT_EQ(entry.firstStep, kExportHandlerStep);
      return ts::CurrentErrorNumber();
    }
    return 0;
  }

  // The copy without a handler: the text of its one box, which is
  // answered No and so ends the program.
  std::string UnhandledBoxText(const std::string& source, const std::string& destination) {
    answers.push_back(ts::platform::BoxAnswer::No);
    EXPECT_TRUE(RunProgram([&] { CopyFile(source, destination); }));
    if (boxes.size() != 1) {
      ADD_FAILURE() << boxes.size() << " boxes, expected 1";
      return "";
    }
    return boxes[0].text;
  }

  // True when number n is free (opening it raises nothing).
  bool NumberFree(long n) {
    ts::OpenNumberedFile("probe.tmp", ts::FileMode::Random, n, 1);
    bool free = !ts::ErrorPending();
    ts::CloseNumberedFile(n);
    if (!free) ts::EndStep(1);  // answered by the box
    return free;
  }

  std::unique_ptr<tst::ScratchFolder> scratch;
  fs::path dir;
};

class CopySizes : public CopyTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(CopySizes, DestinationHoldsTheSourceExactly) {
  const std::string data = Pattern(GetParam());
  WriteFile("DATA.CBR", data);
  CopyFile("DATA.CBR", "OUT.CBR");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(ReadFile("OUT.CBR"), data);
  EXPECT_EQ(ReadFile("DATA.CBR"), data);
  EXPECT_TRUE(NumberFree(11));
  EXPECT_TRUE(NumberFree(12));
}

// No record, a rest only, one record only, records and a rest.
INSTANTIATE_TEST_SUITE_P(Lengths, CopySizes, ::testing::Values(0, 1, 99, 100, 101, 250, 1000));

TEST_F(CopyTest, BuffersKeepTheLastRecordAndTheLastByte) {
  const std::string data = Pattern(250);
  WriteFile("DATA.CBR", data);
  CopyFile("DATA.CBR", "OUT.CBR");
  EXPECT_EQ(G().recordBuffer, data.substr(100, 100));
  EXPECT_EQ(G().byteBuffer, data.substr(249, 1));
}

TEST_F(CopyTest, BuffersUntouchedWithoutRecordsOrRest) {
  WriteFile("DATA.CBR", "");
  CopyFile("DATA.CBR", "OUT.CBR");
  EXPECT_EQ(G().recordBuffer, std::string(100, '\0'));
  EXPECT_EQ(G().byteBuffer, std::string(1, '\0'));
}

TEST_F(CopyTest, ExistingDestinationEndsAsLongAsTheSource) {
  struct Old {
    std::size_t source, destination;
  };
  for (Old o : {Old{250, 400}, Old{250, 50}, Old{0, 30}, Old{100, 100}}) {
    const std::string data = Pattern(o.source);
    WriteFile("DATA.CBR", data);
    WriteFile("OUT.CBR", std::string(o.destination, 'x'));
    CopyFile("DATA.CBR", "OUT.CBR");
    EXPECT_EQ(ReadFile("OUT.CBR"), data) << o.source << " over " << o.destination;
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(CopyTest, DestinationNameMatchedWithoutRegardToCase) {
  WriteFile("DATA.CBR", Pattern(120));
  WriteFile("out.cbr", std::string(300, 'x'));
  CopyFile("DATA.CBR", "OUT.CBR");
  EXPECT_EQ(ReadFile("out.cbr"), Pattern(120));
}

TEST_F(CopyTest, MissingSourceIsFileNotFoundAndCreatesNothing) {
  fs::create_directory("FOLDER.CBR");
  for (const char* source : {"GONE.CBR", "FOLDER.CBR"}) {
    EXPECT_EQ(CopyUnderHandler(source, "OUT.CBR"), 53u) << source;
    EXPECT_FALSE(fs::exists("OUT.CBR"));
    EXPECT_TRUE(NumberFree(11));
    EXPECT_TRUE(NumberFree(12));
    ts::ResetState();
  }
  EXPECT_FALSE(fs::exists("GONE.CBR"));
}

TEST_F(CopyTest, MissingSourceWithoutHandlerShowsStep533) {
  EXPECT_EQ(UnhandledBoxText("GONE.CBR", "OUT.CBR"), "Line:533\nFile not found\nContinue?");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Unhandled Error #53");
  EXPECT_FALSE(fs::exists("GONE.CBR"));
  EXPECT_FALSE(fs::exists("OUT.CBR"));
}

TEST_F(CopyTest, SourceOf2GiBIsRefusedBeforeAnythingOpens) {
  {
    int fd = ::open("BIG.CBR", O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(1) << 31), 0);  // sparse: costs no disk
    ::close(fd);
  }
  EXPECT_EQ(CopyUnderHandler("BIG.CBR", "OUT.CBR"), 6u);
  EXPECT_FALSE(fs::exists("OUT.CBR"));
  EXPECT_TRUE(NumberFree(11));
  EXPECT_EQ(fs::file_size("BIG.CBR"), uintmax_t(1) << 31);

  ts::ResetState();
  EXPECT_EQ(UnhandledBoxText("BIG.CBR", "OUT.CBR"), "Line:534\nOverflow\nContinue?");
}

TEST_F(CopyTest, DriveNotReadyIsDeviceUnavailableAtStep535) {
  WriteFile("DATA.CBR", Pattern(250));
  MapDrive("Q=" + (dir / "no-such-stick").string());
  EXPECT_EQ(CopyUnderHandler("DATA.CBR", "Q:\\OUT.CBR"), 68u);
  EXPECT_TRUE(NumberFree(11));
  EXPECT_TRUE(NumberFree(12));

  ts::ResetState();
  EXPECT_EQ(UnhandledBoxText("DATA.CBR", "Q:\\OUT.CBR"), "Line:535\nDevice unavailable\nContinue?");
}

TEST_F(CopyTest, CopyToAMappedDrive) {
  fs::create_directory("stick");
  MapDrive("E=" + (dir / "stick").string());
  WriteFile("DATA.CBR", Pattern(321));
  CopyFile("DATA.CBR", "E:\\EXPORT.CBR");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(ReadFile(dir / "stick" / "EXPORT.CBR"), Pattern(321));
}

// Everything in a folder, file names with their bytes and link names with
// where they lead, to see that nothing in it changed.
std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> seen;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    std::string name = fs::relative(e.path(), folder).string();
    if (e.is_symlink()) seen[name] = "-> " + fs::read_symlink(e.path()).string();
    else if (e.is_regular_file()) seen[name] = ReadFile(e.path());
    else seen[name] = "<folder>";
  }
  return seen;
}

// A medium can carry links that lead off it. The copy never creates,
// writes or shortens anything outside the drive's root through one; a
// destination that is a link fails, and the link stays as it was.
class CopyNeverLeavesTheDrive : public CopyTest {
 protected:
  void SetUp() override {
    CopyTest::SetUp();
    Fresh();
    MapDrive("E=" + (dir / "stick").string());
  }
  // An empty stick, and a folder elsewhere that holds a log.
  void Fresh() {
    fs::remove_all(dir / "stick");
    fs::remove_all(dir / "outside");
    fs::create_directories(dir / "stick");
    WriteFile("outside/victim.cbr", std::string(300, 'v'));
  }
};

TEST_F(CopyNeverLeavesTheDrive, ThroughALinkOnTheStick) {
  using Make = std::function<void(const fs::path& stick, const fs::path& outside)>;
  const Make fileLink = [](auto& s, auto& o) { fs::create_symlink(o / "victim.cbr", s / "EVIL.cbr"); };
  const Make danglingLink = [](auto& s, auto& o) { fs::create_symlink(o / "new.cbr", s / "EVIL.cbr"); };
  const Make folderLink = [](auto& s, auto& o) { fs::create_directory_symlink(o, s / "SUB"); };
  struct {
    const char* what;
    const Make& make;
    const char* destination;
    std::size_t source;
    uint32_t error;
  } cases[] = {
      {"link to a file elsewhere", fileLink, "E:\\EVIL.cbr", 250, 75},
      {"the same, an empty source", fileLink, "E:\\EVIL.cbr", 0, 75},
      {"the same, a rest only, another case", fileLink, "E:\\evil.CBR", 40, 75},
      {"link that leads nowhere yet", danglingLink, "E:\\EVIL.cbr", 250, 70},
      {"folder link off the stick", folderLink, "E:\\SUB\\X.cbr", 250, 70},
      {"folder link off the stick, a file there", folderLink, "E:\\SUB\\victim.cbr", 250, 75},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    c.make(dir / "stick", dir / "outside");
    const auto stickBefore = Contents(dir / "stick"), outsideBefore = Contents(dir / "outside");
    WriteFile("DATA.CBR", Pattern(c.source));
    EXPECT_EQ(CopyUnderHandler("DATA.CBR", c.destination), c.error);
    EXPECT_EQ(Contents(dir / "outside"), outsideBefore);
    EXPECT_EQ(Contents(dir / "stick"), stickBefore);
    ts::ResetState();
  }
}

// A pre-filled name from a crafted data file name climbs no higher than
// the drive's root, and a link on the stick that stays on it is followed.
TEST_F(CopyNeverLeavesTheDrive, NamesThatStayOnTheStick) {
  fs::create_directories(dir / "stick" / "logs");
  fs::create_directory_symlink("logs", dir / "stick" / "LINKED");
  WriteFile("DATA.CBR", Pattern(250));
  const auto outsideBefore = Contents(dir / "outside");
  struct {
    const char* destination;
    uint32_t error;
    const char* lands;  // below the stick
  } cases[] = {
      {"E:\\..\\..\\outside\\X.cbr", 76, nullptr},  // the stick has no such folder
      {"E:\\..\\..\\Y.cbr", 0, "Y.cbr"},
      {"E:\\LINKED\\..\\..\\Z.cbr", 0, "Z.cbr"},
      {"E:\\LINKED\\W.cbr", 0, "logs/W.cbr"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CopyUnderHandler("DATA.CBR", c.destination), c.error) << c.destination;
    if (c.lands) {
      EXPECT_EQ(ReadFile(dir / "stick" / c.lands), Pattern(250)) << c.destination;
    }
    ts::ResetState();
  }
  EXPECT_EQ(Contents(dir / "outside"), outsideBefore);
}

// The data file may well be a link to the log kept elsewhere: it is read
// through the link and stays as it was.
TEST_F(CopyTest, ADataFileThatIsALinkIsReadAndKept) {
  fs::create_directory("stick");
  MapDrive("E=" + (dir / "stick").string());
  WriteFile("logs/contest.cbr", Pattern(250));
  fs::create_symlink(dir / "logs" / "contest.cbr", "DATA.CBR");
  EXPECT_EQ(CopyUnderHandler("DATA.CBR", "E:\\OUT.cbr"), 0u);
  EXPECT_EQ(ReadFile(dir / "stick" / "OUT.cbr"), Pattern(250));
  EXPECT_EQ(ReadFile(dir / "logs" / "contest.cbr"), Pattern(250));
  EXPECT_TRUE(fs::is_symlink("DATA.CBR"));
}

// A medium that fills up during the copy: a child process whose files may
// not grow past a limit stands in for it (writes beyond fail with EFBIG).
// Nothing new stays, and a file that was there before stays as it was.
TEST_F(CopyTest, AMediumThatFillsUpLeavesNoNewFile) {
  struct Case {
    const char* what;
    rlim_t limit;
    std::optional<std::string> before;
  };
  const Case cases[] = {
      {"full in the first record", 50, std::nullopt},
      {"full in the records", 150, std::nullopt},
      {"full in the single bytes", 220, std::nullopt},
      {"an older file of that name", 150, std::string(20, 'o')},
      {"an older, longer file of that name", 220, std::string(400, 'o')},
  };
  fs::create_directory("stick");
  MapDrive("E=" + (dir / "stick").string());
  WriteFile("DATA.CBR", Pattern(250));
  WriteFile("stick/OTHER.cbr", "other");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir / "stick" / "OUT.cbr");
    if (c.before) WriteFile("stick/OUT.cbr", *c.before);
    tst::ChildResult r = tst::RunInChild({}, [&] {
      struct rlimit limit = {c.limit, c.limit};
      signal(SIGXFSZ, SIG_IGN);
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 99;
      return int(CopyUnderHandler("DATA.CBR", "E:\\OUT.cbr"));
    });
    EXPECT_EQ(r.exitCode, 75);
    EXPECT_EQ(tst::ReadFile(dir / "stick" / "OUT.cbr"), c.before);
    EXPECT_FALSE(fs::exists(dir / "stick" / ts::kCopyTemporaryName));
    EXPECT_EQ(ReadFile(dir / "stick" / "OTHER.cbr"), "other");
    EXPECT_EQ(ReadFile("DATA.CBR"), Pattern(250));
  }
}

// A file that opens for reading only, even for root: a read-only entry of
// /proc/sys stands in for an existing file on a write-protected medium.
const char* kReadOnlyFolder = "/proc/sys/kernel";
const char* kReadOnlyFile = "/proc/sys/kernel/osrelease";

bool ReadOnlyStandInWorks() {
  int w = ::open(kReadOnlyFile, O_WRONLY);
  if (w >= 0) {
    ::close(w);
    return false;
  }
  int r = ::open(kReadOnlyFile, O_RDONLY);
  if (r < 0) return false;
  ::close(r);
  return true;
}

class ReadOnlyCopyTest : public CopyTest {
 protected:
  void SetUp() override {
    CopyTest::SetUp();
    if (!ReadOnlyStandInWorks()) GTEST_SKIP() << kReadOnlyFile << " is writable here";
    MapDrive(std::string("P=") + kReadOnlyFolder);
  }
};

TEST_F(ReadOnlyCopyTest, DestinationFailsAtTheFirstWrite) {
  const std::string before = ReadFile(kReadOnlyFile);
  WriteFile("DATA.CBR", Pattern(250));
  EXPECT_EQ(CopyUnderHandler("DATA.CBR", "P:\\osrelease"), 75u);
  // Abandoned at step 545: both files stay open until ResetState.
  EXPECT_FALSE(NumberFree(11));
  EXPECT_FALSE(NumberFree(12));
  EXPECT_EQ(ReadFile(kReadOnlyFile), before);
  ts::ResetState();
  EXPECT_TRUE(NumberFree(11));

  boxes.clear();
  answers.push_back(ts::platform::BoxAnswer::No);
  EXPECT_TRUE(RunProgram([] { CopyFile("DATA.CBR", "P:\\osrelease"); }));
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0].text, "Line:545\nPath/File access error\nContinue?");
}

TEST_F(ReadOnlyCopyTest, EmptySourceTriesNoWrite) {
  WriteFile("DATA.CBR", "");
  EXPECT_EQ(CopyUnderHandler("DATA.CBR", "P:\\osrelease"), 0u);
}

// An export takes the place of an earlier one only once it is complete:
// until then it is the temporary file beside it, and the earlier export
// keeps its bytes and its own letter case.
TEST_F(CopyTest, TheCopyTakesTheNameOnlyWhenComplete) {
  fs::create_directory("stick");
  MapDrive("E=" + (dir / "stick").string());
  WriteFile("DATA.CBR", Pattern(250));
  WriteFile("stick/abc.CBR", "earlier export");
  WriteFile(std::string("stick/") + ts::kCopyTemporaryName, "left by a copy cut short");
  std::map<uint32_t, std::optional<std::string>> seen;
  ts::SetStepHook([&](uint32_t step) {
    if (step == 547 || step == 559) seen[step] = tst::ReadFile(dir / "stick" / "abc.CBR");
  });
  EXPECT_EQ(CopyUnderHandler("DATA.CBR", "E:\\ABC.cbr"), 0u);
  EXPECT_EQ(seen[547], "earlier export");
  EXPECT_EQ(seen[559], "earlier export");
  const std::map<std::string, std::string> after = {{"abc.CBR", Pattern(250)}};
  EXPECT_EQ(Contents(dir / "stick"), after);
}

// Between the passes the files are changed under the copy. The second pass
// reaches the very files of the first, or the copy fails; the source is
// never created, and nothing of the copy stays.
TEST_F(CopyTest, FilesChangedBetweenThePassesFailTheCopy) {
  const fs::path stick = dir / "stick", temporary = stick / ts::kCopyTemporaryName;
  struct {
    const char* what;
    std::function<void()> change;
    uint32_t error;
  } cases[] = {
      {"source removed", [] { fs::remove("DATA.CBR"); }, 53},
      {"source replaced", [] { WriteFile("NEW.CBR", Pattern(250)); fs::rename("NEW.CBR", "DATA.CBR"); }, 75},
      {"source shortened", [] { fs::resize_file("DATA.CBR", 120); }, 75},
      {"source grown", [] { std::ofstream("DATA.CBR", std::ios::app) << "more"; }, 75},
      {"copy removed", [&] { fs::remove(temporary); }, 53},
      {"copy replaced", [&] { fs::remove(temporary); WriteFile(temporary, "x"); }, 75},
      {"stick folder gone", [&] { fs::remove_all(stick); fs::create_directory(stick); }, 53},
  };
  MapDrive("E=" + stick.string());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(stick);
    fs::create_directory(stick);
    WriteFile("stick/OUT.cbr", "earlier export");
    WriteFile("DATA.CBR", Pattern(250));
    ts::SetStepHook([&](uint32_t step) {
      if (step == 547 && fs::exists(temporary)) c.change();
    });
    EXPECT_EQ(CopyUnderHandler("DATA.CBR", "E:\\OUT.cbr"), c.error);
    ts::SetStepHook(nullptr);
    if (fs::exists(stick / "OUT.cbr")) {
      EXPECT_EQ(ReadFile(stick / "OUT.cbr"), "earlier export");
    }
    if (std::string(c.what) == "source removed") {
      EXPECT_FALSE(fs::exists("DATA.CBR"));
    }
    EXPECT_TRUE(!fs::exists(temporary) || ReadFile(temporary) == "x");
    ts::ResetState();
  }
}

// The data file is only ever read: a destination that is the data file
// itself, under its own name or a hard link, already holds the copy.
TEST_F(CopyTest, ADestinationThatIsTheDataFileIsLeftAlone) {
  MapDrive("E=" + dir.string());
  WriteFile("DATA.CBR", Pattern(250));
  fs::create_hard_link("DATA.CBR", "LINKED.cbr");
  const auto old = fs::last_write_time("DATA.CBR") - std::chrono::hours(24);
  fs::last_write_time("DATA.CBR", old);
  const auto before = Contents(dir);
  for (const char* destination : {"E:\\DATA.CBR", "E:\\data.cbr", "E:\\LINKED.cbr"}) {
    EXPECT_EQ(CopyUnderHandler("DATA.CBR", destination), 0u) << destination;
    EXPECT_EQ(Contents(dir), before) << destination;
    EXPECT_EQ(fs::last_write_time("DATA.CBR"), old) << destination;
    EXPECT_TRUE(NumberFree(11));
    EXPECT_TRUE(NumberFree(12));
    fs::remove("probe.tmp");
  }
}

// A data file that carries the temporary name is no leftover to replace.
TEST_F(CopyTest, ADataFileUnderTheTemporaryNameIsKept) {
  MapDrive("E=" + dir.string());
  WriteFile(ts::kCopyTemporaryName, Pattern(250));
  EXPECT_NE(CopyUnderHandler(ts::kCopyTemporaryName, "E:\\OUT.cbr"), 0u);
  EXPECT_EQ(ReadFile(ts::kCopyTemporaryName), Pattern(250));
  EXPECT_FALSE(fs::exists("OUT.cbr"));
}

// What has no end to copy up to fails as a missing source, at once and
// with nothing on the stick: a FIFO without a writer, a device, a link to
// one. A child process, so that an open that waits ends the test.
TEST_F(CopyTest, ASourceThatIsNoRegularFileIsMissing) {
  fs::create_directory("stick");
  MapDrive("E=" + (dir / "stick").string());
  ASSERT_EQ(mkfifo("FIFO.CBR", 0644), 0);
  fs::create_symlink(dir / "FIFO.CBR", "TOFIFO.CBR");
  fs::create_symlink("/dev/zero", "ZERO.CBR");
  for (const char* source : {"FIFO.CBR", "TOFIFO.CBR", "ZERO.CBR", "/dev/urandom"}) {
    tst::ChildOptions options;
    options.timeoutMs = 5000;
    tst::ChildResult r = tst::RunInChild(options, [&] { return int(CopyUnderHandler(source, "E:\\OUT.cbr")); });
    EXPECT_EQ(r.exitCode, 53) << source;
    EXPECT_TRUE(fs::is_empty(dir / "stick")) << source;
  }
  EXPECT_TRUE(fs::is_fifo("FIFO.CBR"));
}

// A signal from outside during the copy ends the tool as that signal does,
// and takes the temporary file with it; the earlier export stays.
TEST_F(CopyTest, ASignalDuringTheCopyLeavesNothingHalf) {
  fs::create_directory("stick");
  MapDrive("E=" + (dir / "stick").string());
  WriteFile("DATA.CBR", Pattern(250));
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
    for (uint32_t at : {545u, 555u}) {
      SCOPED_TRACE(std::to_string(signal) + " at step " + std::to_string(at));
      WriteFile("stick/OUT.cbr", "earlier export");
      tst::ChildResult r = tst::RunInChild({}, [&] {
        return ts::RunWithoutWindow([&] {
          ts::SetStepHook([&](uint32_t step) {
            if (step != at || !fs::exists(dir / "stick" / ts::kCopyTemporaryName)) return;
            kill(getpid(), signal);
            // The thread that owns the end takes the signal; this step's
            // boundary then stops the copy.
            ts::platform::AwaitReadable(-1, ts::EndRequestDescriptor(), 5000);
          });
          CopyUnderHandler("DATA.CBR", "E:\\OUT.cbr");
        });
      });
      EXPECT_EQ(r.exitCode, -1);
      const std::map<std::string, std::string> after = {{"OUT.cbr", "earlier export"}};
      EXPECT_EQ(Contents(dir / "stick"), after);
    }
  }
}

// A signal while a shell command writes its output: the command is ended
// and its file taken away.
TEST_F(CopyTest, ASignalDuringAShellCommandLeavesNoOutputFile) {
  WriteFile("slow-cmd",
            "#!/bin/sh\n"
            "[ \"$2\" = ver ] && exit 0\n"
            "echo $$ > pid\n"
            "echo 'Volume in drive E' > direct.tmp\n"
            "sleep 5\n"
            "echo late > direct.tmp\n",
            0755);
  tst::ChildResult r = tst::RunInChild({}, [&] {
    return ts::RunWithoutWindow([&] {
      ts::SetInterpreterPath((dir / "slow-cmd").string());
      std::thread([] {
        if (tst::WaitForFile("direct.tmp")) kill(getpid(), SIGTERM);
      }).detach();
      ts::RunHidden("dir E: > direct.tmp");
    });
  });
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_FALSE(fs::exists("direct.tmp"));
  std::ifstream pidFile("pid");
  pid_t command = 0;
  ASSERT_TRUE(pidFile >> command);
  EXPECT_NE(kill(command, 0), 0);  // ended, not left running
}

}  // namespace
