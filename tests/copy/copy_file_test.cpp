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
#include "export/copy_policy.h"
#include "export/flow.h"
#include "export/globals.h"
#include "support/child_process.h"
#include "support/scripted.h"
#include "textscreen/errors.h"
#include "textscreen/fatal_end.h"
#include "textscreen/platform/paths.h"
#include "textscreen/platform/wait.h"
#include "textscreen/program.h"
#include "textscreen/program_thread.h"
#include "textscreen/shell_runner.h"
#include "copy/fixture.h"

namespace {

namespace fs = std::filesystem;
using logship::CopyFile;
using logship::G;
using tst::Contents;
using tst::CopyTest;
using tst::Pattern;
using tst::TemporaryFiles;
using tst::WriteFile;

std::string ReadFile(const fs::path& p) { return tst::ReadBytes(p); }

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

// A replacement keeps the permission bits of the file it replaces, never
// its set-user-id, set-group-id or sticky bit: the copy is a log, not the
// program that had them.
TEST_F(CopyTest, TheReplacementKeepsThePermissionsButNoSetIdBits) {
  fs::create_directory("stick");
  MapDrive("E=" + (dir / "stick").string());
  WriteFile("DATA.CBR", Pattern(250));
  for (mode_t old : {0644, 0600, 0640, 0755, 04755, 02755, 06711, 01666, 07777}) {
    WriteFile("stick/OUT.cbr", "earlier export", old);
    struct stat st;
    ASSERT_EQ(::stat("stick/OUT.cbr", &st), 0);
    const mode_t had = st.st_mode & 07777;  // what the system let the old file have
    EXPECT_EQ(CopyUnderHandler("DATA.CBR", "E:\\OUT.cbr"), 0u) << std::oct << old;
    ASSERT_EQ(::stat("stick/OUT.cbr", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, had & 0777) << std::oct << old;
    EXPECT_EQ(ReadFile("stick/OUT.cbr"), Pattern(250));
  }
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
    std::map<std::string, std::string> left = {{"OTHER.cbr", "other"}};
    if (c.before) left["OUT.cbr"] = *c.before;
    EXPECT_EQ(Contents(dir / "stick"), left);
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
  WriteFile("stick/LOGSHIP-0123ABCD.part", "left by a copy cut short");
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
  const fs::path stick = dir / "stick";
  fs::path temporary;  // the copy's, once it is there
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
    temporary.clear();
    ts::SetStepHook([&](uint32_t step) {
      if (step != 547 || !temporary.empty()) return;
      std::vector<std::string> names = TemporaryFiles(stick);
      if (names.size() != 1) return;
      temporary = stick / names[0];
      c.change();
    });
    EXPECT_EQ(CopyUnderHandler("DATA.CBR", "E:\\OUT.cbr"), c.error);
    ts::SetStepHook(nullptr);
    EXPECT_FALSE(temporary.empty()) << "no temporary file of the copy between the passes";
    if (fs::exists(stick / "OUT.cbr")) {
      EXPECT_EQ(ReadFile(stick / "OUT.cbr"), "earlier export");
    }
    if (std::string(c.what) == "source removed") {
      EXPECT_FALSE(fs::exists("DATA.CBR"));
    }
    for (const std::string& name : TemporaryFiles(stick)) EXPECT_EQ(ReadFile(stick / name), "x");
    ts::ResetState();
  }
}

// The data file rewritten where it is, at its own length: its first and
// last 32 bytes. Its times are set back a day first: kernels before 6.13
// keep a file's times in clock ticks of a few milliseconds, so that a
// rewrite in the tick in which the test wrote the file would show none.
void WriteAged(const std::string& path, const std::string& bytes) {
  WriteFile(path, bytes);
  fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(24));
}
std::string WithNewEnds(std::string bytes) {
  bytes.replace(0, 32, std::string(32, '#'));
  bytes.replace(bytes.size() - 32, 32, std::string(32, '#'));
  return bytes;
}
void RewriteInPlace(const std::string& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), ssize_t(bytes.size()));
  ::close(fd);
}

// A data file rewritten in place while it is copied, at the same length,
// fails the copy as a changed length does, wherever the rewrite falls,
// and the earlier export stays. A rewrite before the copy opens the file
// is no change to the copy: it takes the new bytes.
TEST_F(CopyTest, ADataFileRewrittenInPlaceFailsTheCopy) {
  fs::create_directory("stick");
  MapDrive("E=" + (dir / "stick").string());
  const std::string data = Pattern(1050), rewritten = WithNewEnds(data);
  struct {
    const char* when;
    uint32_t step;
    uint32_t error;
  } cases[] = {
      {"before the copy opens it", 535, 0},  // the hook runs at the end of the step
      {"before the first pass", 536, 75},
      {"between the passes", 547, 75},
      {"after the last pass", 557, 75},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.when);
    WriteFile("stick/OUT.cbr", "earlier export");
    WriteAged("DATA.CBR", data);
    bool rewrote = false;
    ts::SetStepHook([&](uint32_t step) {
      if (step != c.step || rewrote) return;
      rewrote = true;
      RewriteInPlace("DATA.CBR", rewritten);
    });
    EXPECT_EQ(CopyUnderHandler("DATA.CBR", "E:\\OUT.cbr"), c.error);
    ts::SetStepHook(nullptr);
    EXPECT_TRUE(rewrote);
    const std::map<std::string, std::string> after = {
        {"OUT.cbr", c.error ? "earlier export" : rewritten}};
    EXPECT_EQ(Contents(dir / "stick"), after);
    EXPECT_EQ(ReadFile("DATA.CBR"), rewritten);
    ts::ResetState();
  }

  WriteAged("DATA.CBR", data);
  ts::SetStepHook([&](uint32_t step) {
    if (step == 547) RewriteInPlace("DATA.CBR", rewritten);
  });
  EXPECT_EQ(UnhandledBoxText("DATA.CBR", "E:\\OUT.cbr"),
            "Line:558\nPath/File access error\nContinue?");
  ts::SetStepHook(nullptr);
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

// A data file in the stick's root that carries the old temporary name,
// or has the shape of a temporary file that a copy cut off left, is no
// leftover to take away: it is exported and kept.
TEST_F(CopyTest, ADataFileUnderATemporaryNameIsKept) {
  MapDrive("E=" + dir.string());
  for (const char* name : {"LOGSHIP.$$$", "LOGSHIP-0123ABCD.part"}) {
    WriteFile(name, Pattern(250));
    EXPECT_EQ(CopyUnderHandler(name, "E:\\OUT.cbr"), 0u) << name;
    EXPECT_EQ(ReadFile(name), Pattern(250)) << name;
    EXPECT_EQ(ReadFile("OUT.cbr"), Pattern(250)) << name;
    fs::remove("OUT.cbr");
  }
  EXPECT_TRUE(logship::IsCopyTemporaryName("LOGSHIP-0123ABCD.part"));
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
            if (step != at || TemporaryFiles(dir / "stick").empty()) return;
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
