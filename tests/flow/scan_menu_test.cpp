// The header, the drive scan and the drive menu, run from their entry
// steps with the real interpreter (or a stand-in that records and bends
// what the probes see) and scripted keys and mouse.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "export/flow.h"
#include "export/globals.h"
#include "support/child_process.h"
#include "support/scripted.h"
#include "support/tool_folder.h"
#include "textscreen/errors.h"
#include "textscreen/keyboard.h"
#include "textscreen/mouse.h"
#include "textscreen/platform/paths.h"
#include "textscreen/program.h"
#include "textscreen/shell_runner.h"

namespace fs = std::filesystem;

namespace logship {

void PrintTo(Entry entry, std::ostream* os) { *os << "entry step " << StepOf(entry); }

}  // namespace logship

namespace {

using logship::Entry;
using logship::G;
using ts::Key;

std::vector<std::string> Lines(const fs::path& p) {
  std::ifstream in(p);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ScanMenuTest : public tst::ToolFolderTest {
 protected:
  ScanMenuTest() : ToolFolderTest("logship-scan") {}

  void SetUp() override {
    ToolFolderTest::SetUp();
    logship::SetHandlerPlan();
  }

  void TearDown() override {
    system(("chattr -R -i '" + root.string() + "' 2>/dev/null").c_str());
    ToolFolderTest::TearDown();
  }

  // Drives as folders holding one file each.
  void MapDrives(const std::string& letters) {
    std::string map;
    for (char letter : letters) {
      fs::path d = root / std::string(1, letter);
      fs::create_directories(d);
      tst::WriteFile(d / "f.txt", "x");
      map += std::string(map.empty() ? "" : ";") + letter + "=" + d.string();
    }
    setenv("LOGSHIP_DRIVES", map.c_str(), 1);
    ts::platform::ReloadDrives();
  }

  // An interpreter that logs each command line, runs `shell` (which sees
  // the probe's letter as $L, empty for other commands), then the real one.
  void StandInInterpreter(const std::string& shell) {
    fs::path script = root / "cmd.sh";
    tst::WriteFile(script, "#!/bin/sh\necho \"$2\" >> '" + (root / "log").string() +
                     "'\nL=$(echo \"$2\" | sed -n 's/^dir \\(.\\): .*/\\1/p')\n" + shell +
                     "\nexec '" + (fs::path(ts::platform::ExecutableFolder()) / "logship-cmd").string() +
                     "' \"$@\"\n",
                   0755);
    ts::SetInterpreterPath(script.string());
  }

  // The drive scan, until the menu or the end sequence.
  static Entry Scan() {
    return logship::RunFlow(Entry::ScanDrives, {Entry::ChooseDrive, Entry::EndSequence});
  }

  // The menu on the given drive list, entered as the scan enters it.
  Entry RunMenu(const std::string& letters) {
    G().driveCount = int16_t(letters.size());
    for (size_t i = 0; i < letters.size(); ++i) G().driveList[i + 1] = std::string(1, letters[i]);
    logship::ArmHandler(logship::Handler::Scan);
    ts::PushReturnPoint(int(logship::ReturnPoint::ToExportScreen));
    return logship::RunFlow(Entry::ChooseDrive, {Entry::ExportScreen, Entry::RestoreStartDirectory,
                                                 Entry::EndSequence});
  }

  int Highlighted() {  // the entry shown red on grey, 0 for none
    for (int row = 8; row <= 20; ++row)
      if (tst::Bg(row, 40) == 7 && tst::Fg(row, 40) == 4) return row - 7;
    return 0;
  }

  void Later(uint32_t ms, std::function<void()> action) { clock.After(ms, std::move(action)); }

  // After `ms`, notes the highlighted entry in `seen`, then presses `key`.
  void LaterNoteAndPress(uint32_t ms, int& seen, Key key, uint32_t unicode) {
    Later(ms, [&seen, key, unicode, this] {
      seen = Highlighted();
      Press(key, 0, unicode);
    });
  }
};

TEST_F(ScanMenuTest, HeaderRowShowsDateAndTitle) {
  G().dataFileName = "Contest.pcn";
  MapDrives("C");
  logship::RunFlow(Entry::Header, {Entry::ScanDrives});
  EXPECT_EQ(tst::RowText(1), "Ma 25 Dec 2017         Exporteren naar externe drive/stick" +
                                 std::string(22, ' '));
  for (int col : {1, 14, 20}) EXPECT_EQ(tst::Fg(1, col) * 10 + tst::Bg(1, col), 70) << col;
  for (int col : {24, 58}) EXPECT_EQ(tst::Fg(1, col) * 10 + tst::Bg(1, col), 100) << col;
  EXPECT_EQ(G().baseName, "Contest");
  EXPECT_EQ(tst::Bg(2, 1), 1) << "the banner follows";
  EXPECT_EQ(ts::ReturnPointDepth(), 1u) << "ScanDrives called with return point 1";
}

TEST_F(ScanMenuTest, ScanProbesAThenCToZInOrderAndListsWhatAnswers) {
  MapDrives("BCE");
  StandInInterpreter("");
  EXPECT_EQ(Scan(), Entry::ChooseDrive);
  std::vector<std::string> probes;
  for (const auto& line : Lines(root / "log"))
    if (line.rfind("dir ", 0) == 0) probes.push_back(line);
  ASSERT_EQ(probes.size(), 25u);
  EXPECT_EQ(probes.front(), "dir A: > direct.tmp");
  EXPECT_EQ(probes[1], "dir C: > direct.tmp");
  EXPECT_EQ(probes.back(), "dir Z: > direct.tmp");
  for (const auto& p : probes) EXPECT_NE(p, "dir B: > direct.tmp");
  EXPECT_EQ(G().driveCount, 2);
  EXPECT_EQ(G().driveList[1], "C");
  EXPECT_EQ(G().driveList[2], "E");
  EXPECT_FALSE(fs::exists(tool / "direct.tmp"));
  EXPECT_EQ(tst::RowText(25, 34, 48), "Moment geduld. ");
  EXPECT_EQ(tst::Fg(25, 41), 3);
}

// An error after the hand-over enters HandOverHandler, which goes on behind
// what failed instead of going back to it: the start directory, the
// header's date, the first probe (letter A).
TEST_F(ScanMenuTest, HandOverHandlerGoesOnBehindAFailureLaterInThePass) {
  MapDrives("C");
  const struct {
    uint32_t failing;
    std::vector<uint32_t> thenSteps;  // the handler's, and the first behind it
  } cases[] = {{68, {52, 52, 53, 585}},  // the header, at the first step of its date
               {74, {52, 53, 75}},
               {177, {52, 53, 171}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failing);
    logship::ResetGlobals();
    ts::ResetState();
    std::vector<uint32_t> steps;
    ts::SetStepHook([&](uint32_t step) {
      if (step == c.failing && std::count(steps.begin(), steps.end(), step) == 0)
        ts::RaiseError(75);
      steps.push_back(step);
    });
    EXPECT_EQ(logship::RunFlow(Entry::HandOver, {Entry::ChooseDrive, Entry::EndSequence}),
              Entry::ChooseDrive);
    ts::SetStepHook(nullptr);
    auto failed = std::find(steps.begin(), steps.end(), c.failing);
    ASSERT_NE(failed, steps.end());
    std::vector<uint32_t> then(failed + 1, failed + 1 + std::min<long>(c.thenSteps.size(),
                                                                       steps.end() - failed - 1));
    EXPECT_EQ(then, c.thenSteps);
    EXPECT_EQ(G().driveList[1], "C");
    EXPECT_FALSE(fs::exists(tool / "hulp.hlp"));
    EXPECT_TRUE(boxes.empty());
  }
}

// Slots 0 to 40 are read and written; any other index raises 9 at the
// step that uses it and leaves the list as it was.
TEST_F(ScanMenuTest, TheDriveListHoldsSlotsZeroToForty) {
  const struct {
    long index;
    bool held;
  } cases[] = {{-1, false}, {0, true}, {1, true}, {40, true}, {41, false}, {1000, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    logship::ResetGlobals();
    boxes.clear();
    ts::Step(190, [&] { logship::SetDriveSlot(c.index, "Q"); });
    ts::Bytes read = "unread";
    ts::Step(293, [&] { read = logship::DriveSlot(c.index); });
    EXPECT_EQ(read, c.held ? "Q" : "");
    if (c.held) {
      EXPECT_TRUE(boxes.empty());
    } else {
      ASSERT_EQ(boxes.size(), 2u);
      EXPECT_EQ(boxes[0].text, "Line:190\nSubscript out of range\nContinue?");
      EXPECT_EQ(boxes[1].text, "Line:293\nSubscript out of range\nContinue?");
      for (const auto& slot : G().driveList) EXPECT_EQ(slot, "");
    }
  }
}

TEST_F(ScanMenuTest, AListingOfOneByteDoesNotCountTwoBytesDo) {
  MapDrives("");
  StandInInterpreter(
      "case \"$L\" in D) printf x > direct.tmp; exit 0;; F) printf xy > direct.tmp; exit 0;; esac");
  Scan();
  EXPECT_EQ(G().driveCount, 1);
  EXPECT_EQ(G().driveList[1], "F");
}

TEST_F(ScanMenuTest, NoDriveShowsTheNoticeForFourSecondsThenEnds) {
  MapDrives("");
  uint64_t start = clock.Micros();
  EXPECT_EQ(Scan(), Entry::EndSequence);
  EXPECT_EQ(tst::RowText(25, 26, 54), " Geen externe drive gevonden ");
  EXPECT_GE(clock.Micros() - start, 4000000u);
}

TEST_F(ScanMenuTest, AKeyCutsTheNoDriveWaitShortAndStaysInTheBuffer) {
  MapDrives("");
  uint64_t start = clock.Micros();
  Later(1000, [this] { Press(Key::A, 0, 'a'); });
  EXPECT_EQ(Scan(), Entry::EndSequence);
  EXPECT_LT(clock.Micros() - start, 2000000u);
  EXPECT_EQ(ts::ReadKey(), "a");
}

// A probe that fails with one of the five numbers drops its letter and
// the scan goes on; here the listing is a symbolic link to itself.
TEST_F(ScanMenuTest, AProbeFailingWithFileNotFoundIsSkipped) {
  MapDrives("CDE");
  StandInInterpreter("[ \"$L\" = D ] && { ln -sf direct.tmp direct.tmp; exit 0; }; rm -f direct.tmp");
  EXPECT_EQ(Scan(), Entry::ChooseDrive);
  EXPECT_EQ(G().driveCount, 2);
  EXPECT_EQ(G().driveList[1], "C");
  EXPECT_EQ(G().driveList[2], "E");
  EXPECT_TRUE(boxes.empty());
}

// Any other number ends the scan: the number on the status line, a key,
// the end sequence; the letters after it are not probed.
TEST_F(ScanMenuTest, PermissionDeniedWhileProbingDEndsTheScan) {
  tst::WriteFile(root / "probe", "");
  if (system(("chattr +i '" + (root / "probe").string() + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "this file system cannot make a folder refuse new files";
  MapDrives("CDE");
  StandInInterpreter("[ \"$L\" = D ] && chattr +i .");
  Later(1000, [this] { Press(Key::A, 0, 'a'); });
  EXPECT_EQ(Scan(), Entry::EndSequence);
  system(("chattr -i '" + tool.string() + "'").c_str());
  EXPECT_EQ(tst::RowText(25, 34, 48), "Foutmelding. 70");
  for (const auto& line : Lines(root / "log")) EXPECT_EQ(line.find("dir E:"), std::string::npos);
}

TEST_F(ScanMenuTest, OneDriveMenuLayout) {
  Later(1000, [this] { Press(Key::Down); });
  std::string entry;
  int highlighted = 0;
  Later(500, [&] {
    entry = tst::RowText(8, 38, 42);
    highlighted = Highlighted();
    Press(Key::Enter, 0, 13);
  });
  EXPECT_EQ(RunMenu("C"), Entry::ExportScreen);
  EXPECT_EQ(G().chosenDrive, "C");
  EXPECT_EQ(entry, "  C  ");
  EXPECT_EQ(highlighted, 1) << "any key but Enter and Esc keeps the only entry highlighted";
  EXPECT_EQ(tst::Bg(4, 19), 1);
  EXPECT_EQ(tst::Bg(12, 62), 1);
  EXPECT_EQ(tst::Bg(13, 30), 0) << "below the menu, the banner stays black";
  EXPECT_EQ(tst::Ch(5, 21), 218);
  EXPECT_EQ(tst::Ch(11, 60), 217);
  EXPECT_EQ(tst::Fg(5, 21), 4);
  EXPECT_EQ(tst::RowText(5, 30, 50), " Beschikbare drive's ");
  EXPECT_EQ(tst::Fg(5, 30) * 10 + tst::Bg(5, 30), 144);
  EXPECT_EQ(ts::ReturnPointDepth(), 0u);
}

TEST_F(ScanMenuTest, FourteenDrivesShowThirteen) {
  Later(1000, [this] { Press(Key::Enter, 0, 13); });
  RunMenu("CDEFGHIJKLMNOP");
  EXPECT_EQ(G().driveCount, 13);
  EXPECT_EQ(tst::RowText(20, 38, 42), "  O  ");
  EXPECT_EQ(tst::Ch(23, 21), 192) << "inner frame to row 23";
  EXPECT_EQ(tst::Bg(24, 19), 1) << "outer frame to row 24";
}

TEST_F(ScanMenuTest, EveryKeyButEnterAndEscMovesToTheNextEntry) {
  std::vector<int> seen;
  uint32_t gap = 1000;
  for (auto press : std::vector<ts::KeyPress>{{Key::Down},
                                               {Key::Up},
                                               {Key::Right},
                                               {Key::F, 0, 'f'},
                                               {Key::Tab, 0, 9},
                                               {Key::F1}}) {
    Later(gap, [&, press] {
      ts::OnKeyPress(press);
    });
    Later(300, [&] { seen.push_back(Highlighted()); });
    gap = 300;
  }
  Later(300, [this] { Press(Key::Enter, 0, 13); });
  RunMenu("CEF");
  EXPECT_EQ(seen, (std::vector<int>{2, 3, 1, 2, 3, 1}));
  EXPECT_EQ(G().chosenDrive, "C");
}

TEST_F(ScanMenuTest, WheelUpOverTheListGoesBackFromFirstToLast) {
  Later(1000, [this] { ts::OnMouseWheel(40 * 8 - 4, 10 * 16 - 8, true); });
  int seen = 0;
  LaterNoteAndPress(300, seen, Key::Enter, 13);
  RunMenu("CEF");
  EXPECT_EQ(seen, 3);
  EXPECT_EQ(G().chosenDrive, "F");
}

TEST_F(ScanMenuTest, TwoWheelStepsUpInOnePassCountOnce) {
  Later(1000, [this] { Press(Key::Down); });
  Later(300, [this] { Press(Key::Down); });
  Later(300, [this] { Press(Key::Down); });  // entry 4
  Later(300, [this] {
    ts::OnMouseWheel(316, 152, true);
    ts::OnMouseWheel(316, 152, true);
  });
  int seen = 0;
  LaterNoteAndPress(300, seen, Key::Enter, 13);
  RunMenu("CDEFG");
  EXPECT_EQ(seen, 1);
}

TEST_F(ScanMenuTest, DoubleClickOnTheListChoosesTheHighlightedEntry) {
  Later(1000, [this] { Press(Key::Down); });
  Later(300, [this] { Press(Key::Down); });
  Later(300, [this] { DoubleClick(8, 40); });
  EXPECT_EQ(RunMenu("CEF"), Entry::ExportScreen);
  EXPECT_EQ(G().chosenDrive, "F");
}

TEST_F(ScanMenuTest, ClicksOutsideTheListAreaDoNothing) {
  // One past each edge of the list area and of the "ESC" target.
  std::vector<std::pair<int, int>> outside = {{17, 40}, {10, 21}, {10, 60}, {14, 40}, {4, 40},
                                              {25, 48}, {25, 52}, {24, 50}};
  for (auto [row, col] : outside) {
    // Both clicks in the queue's order (DoubleClick would put the second
    // after the whole script).
    Later(500, [=, this] { Click(row, col); });
    Later(100, [=, this] { Click(row, col); });
    Later(300, [=, this] { ts::OnMouseWheel((col - 1) * 8 + 4, (row - 1) * 16 + 8, false); });
  }
  int seen = 0;
  LaterNoteAndPress(500, seen, Key::Esc, 27);
  EXPECT_EQ(RunMenu("CDEFGHIJKLMNO"), Entry::RestoreStartDirectory);
  EXPECT_EQ(seen, 1);
}

// The list area's corners, rows 5 and 13, columns 22 and 59: a wheel step
// down moves the highlight, a double click takes it (else Esc leaves).
class ListAreaCorner : public ScanMenuTest,
                       public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(ListAreaCorner, TakesTheWheelAndTheDoubleClick) {
  const auto [row, col] = GetParam();
  Later(1000, [=, this] { WheelStep(row, col, false); });
  Later(300, [=, this] {
    DoubleClick(row, col);  // its second click comes before the Esc
    Later(500, [this] { Press(Key::Esc, 0, 27); });
  });
  EXPECT_EQ(RunMenu("CEF"), Entry::ExportScreen);
  EXPECT_EQ(G().chosenDrive, "E");
}

INSTANTIATE_TEST_SUITE_P(Corners, ListAreaCorner,
                         ::testing::Values(std::pair{5, 22}, std::pair{5, 59}, std::pair{13, 22},
                                           std::pair{13, 59}),
                         [](const auto& info) {
                           return "Row" + std::to_string(info.param.first) + "Column" +
                                  std::to_string(info.param.second);
                         });

// "ESC" lights up from column 49 to 51 of row 25, and nowhere around.
TEST_F(ScanMenuTest, EscHotspotEdges) {
  const std::vector<std::pair<int, int>> points = {{25, 49}, {25, 48}, {25, 51}, {25, 52},
                                                   {24, 50}};
  std::vector<int> colours;
  Later(1000, [] {});
  for (auto [row, col] : points) {
    Later(0, [=, this] { MoveMouseTo(row, col); });
    Later(300, [&] { colours.push_back(tst::Fg(25, 49) * 10 + tst::Bg(25, 49)); });
  }
  Later(0, [this] { DoubleClick(25, 51); });
  EXPECT_EQ(RunMenu("CE"), Entry::RestoreStartDirectory);
  EXPECT_EQ(colours, (std::vector<int>{144, 140, 144, 140, 140}));
}

TEST_F(ScanMenuTest, EscHotspotLightsUpAndItsDoubleClickLeaves) {
  std::vector<int> colours;
  auto colour = [&] { colours.push_back(tst::Fg(25, 49) * 10 + tst::Bg(25, 49)); };
  Later(1000, colour);
  Later(0, [this] { MoveMouseTo(25, 50); });
  Later(300, colour);
  Later(0, [this] { MoveMouseTo(25, 52); });
  Later(300, colour);
  Later(0, [this] { DoubleClick(25, 49); });
  EXPECT_EQ(RunMenu("CE"), Entry::RestoreStartDirectory);
  EXPECT_EQ(colours, (std::vector<int>{30, 144, 140}));
  EXPECT_EQ(ts::PopReturnPoint(), 8) << "Esc calls RestoreStartDirectory with return point 8";
}

TEST_F(ScanMenuTest, ADoubleClickQueuedBeforeTheMenuActsInItsFirstPass) {
  Click(8, 40);
  Click(8, 40);
  EXPECT_EQ(RunMenu("CE"), Entry::ExportScreen);
  EXPECT_EQ(G().chosenDrive, "C");
}

TEST_F(ScanMenuTest, ANegativeEntryIndexEndsTheMenuWithError9) {
  for (int pass = 0; pass < 2; ++pass) {
    Later(pass == 0 ? 1000 : 300, [this] {
      ts::OnMouseWheel(316, 152, true);
      ts::OnMouseWheel(316, 152, true);
    });
  }
  Later(500, [this] { Press(Key::A, 0, 'a'); });
  EXPECT_EQ(RunMenu("C"), Entry::EndSequence);
  EXPECT_EQ(tst::RowText(25, 34, 47), "Foutmelding. 9");
}

TEST_F(ScanMenuTest, TheClockRunsWhileTheMenuWaits) {
  std::vector<std::string> clocks;
  Later(1500, [&] { clocks.push_back(tst::RowText(1, 71, 78)); });
  Later(1000, [&] {
    clocks.push_back(tst::RowText(1, 71, 78));
    Press(Key::Esc, 0, 27);
  });
  RunMenu("C");
  ASSERT_EQ(clocks.size(), 2u);
  EXPECT_EQ(clocks[0].substr(0, 6), "10:00:");
  EXPECT_NE(clocks[0], clocks[1]);
  EXPECT_EQ(tst::Fg(1, 71) * 10 + tst::Bg(1, 71), 70);
}

}  // namespace
