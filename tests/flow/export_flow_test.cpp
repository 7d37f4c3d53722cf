// Whole runs of the export tool's main routine on the scripted back end,
// with the real file services, the real command interpreter and drives
// mapped to temporary folders.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "export/export_main.h"
#include "export/globals.h"
#include "support/child_process.h"
#include "support/installed_font.h"
#include "support/scripted.h"
#include "support/tool_folder.h"
#include "textscreen/platform/paths.h"
#include "textscreen/program.h"
#include "textscreen/screen.h"
#include "textscreen/shell_runner.h"

namespace fs = std::filesystem;

namespace {

using ts::Key;

class ExportFlowTest : public tst::ToolFolderTest {
 protected:
  ExportFlowTest() : ToolFolderTest("logship-flow") {}

  void SetUp() override {
    ToolFolderTest::SetUp();
    driveC = root / "c";
    driveE = root / "e";
    for (auto& d : {driveC, driveE, tool / "Fonts", tool / "inifiles"}) fs::create_directories(d);
    tst::WriteFile(driveC / "autoexec.bat", "rem\r\n");
    fs::create_symlink(tst::kInstalledFace, tool / "Fonts" / tst::kInstalledFaceName);
    tst::WriteFile(tool / "inifiles" / "fontkeus.ini", tst::kInstalledFaceName + "\r\n");
    MapDrives("C=" + driveC.string() + ";E=" + driveE.string());
    data = std::string("QSO: 14000 CW 2017-12-25 0001 PA0XYZ\r\n") + std::string(130, 'x');
    tst::WriteFile(tool / "contest.cbr", data);
  }

  void MapDrives(const std::string& map) {
    setenv("LOGSHIP_DRIVES", map.c_str(), 1);
    ts::platform::ReloadDrives();
  }

  // A next program that records that it ran; the mark appears whole, so
  // that a test waiting for it never reads it half written.
  std::string NextProgram() {
    fs::path script = tool / "next.sh";
    const std::string ran = (root / "ran").string();
    tst::WriteFile(script, "#!/bin/sh\npwd > '" + ran + ".tmp' && mv '" + ran + ".tmp' '" + ran + "'\n",
                   0755);
    return "next.sh";
  }

  bool NextProgramRan() { return tst::WaitForFile(root / "ran", 2000); }

  // Keys that arrive one after another while the tool waits.
  void Later(uint32_t ms, std::function<void()> action) { clock.After(ms, std::move(action)); }
  void LaterPress(uint32_t ms, Key key, unsigned mods = 0, uint32_t unicode = 0) {
    Later(ms, [=, this] { Press(key, mods, unicode); });
  }
  void LaterType(uint32_t ms, const std::string& text) {
    Later(ms, [=, this] { Type(text); });
  }

  bool Run() { return RunProgram(logship::ExportMain); }

  static std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename());
    return names;
  }

  bool PromptShown() { return tst::RowText(25, 1, 25) == "Press any key to continue"; }

  fs::path driveC, driveE;
  std::string data;
};

TEST_F(ExportFlowTest, WholeExportCopiesTheDataFileAndStartsTheNextProgram) {
  tst::WriteFile(tool / "Intern.int", "contest.cbr\r\n" + NextProgram() + "\r\n");
  LaterPress(1000, Key::Down);
  LaterPress(500, Key::Enter, 0, 13);
  LaterType(1000, "abc");
  LaterPress(500, Key::Enter, 0, 13);
  EXPECT_TRUE(Run());
  EXPECT_EQ(tst::ReadFile(driveE / "ABC.cbr").value_or(""), data);
  EXPECT_TRUE(NextProgramRan());
  EXPECT_EQ(tst::ReadFile(root / "ran").value_or(""), tool.string() + "\n")
      << "the tool's folder is inherited";
  EXPECT_FALSE(PromptShown());
  EXPECT_TRUE(boxes.empty()) << boxes[0].caption << " " << boxes[0].text;
  EXPECT_FALSE(fs::exists(tool / "hulp.hlp"));
  EXPECT_FALSE(fs::exists(tool / "direct.tmp"));
  EXPECT_EQ(window.caption_, "Tarnvale programma Wendor Exporteren datafile");
  EXPECT_EQ(tst::RowText(25), std::string(80, ' ')) << "the end sequence clears row 25";
}

TEST_F(ExportFlowTest, ExportScreenShowsTheDriveAndTheContestCallNotice) {
  tst::WriteFile(tool / "Intern.int", "contest.cbr\r\n" + NextProgram() + "\r\n");
  LaterPress(1000, Key::Down);
  LaterPress(500, Key::Enter, 0, 13);
  std::string row6, row12, row19, row25;
  Later(1000, [&] {
    row6 = tst::RowText(6);
    row12 = tst::RowText(12, 40, 41);
    row19 = tst::RowText(19, 29, 51);
    row25 = tst::RowText(25, 20, 60);
    Press(Key::Esc, 0, 27);
  });
  LaterPress(1000, Key::Esc, 0, 27);  // then Esc in the new menu
  EXPECT_TRUE(Run());
  EXPECT_NE(row6.find("Bestand contest exporteren"), std::string::npos);
  EXPECT_EQ(row12, "E:");
  EXPECT_EQ(row19, "Het file wat gestuurd  ");
  EXPECT_EQ(row25, " Geef filenaam. Extensie is .cbr ESCTerug");
  EXPECT_TRUE(fs::is_empty(driveE)) << "Esc in the name field copies nothing";
  EXPECT_TRUE(NextProgramRan()) << "Esc in the menu still starts the next program";
}

TEST_F(ExportFlowTest, EscInTheNameFieldScansAgainAndASecondChoiceExports) {
  tst::WriteFile(tool / "Intern.int", "contest.cbr," + NextProgram() + "\r\n");
  LaterPress(1000, Key::Enter, 0, 13);  // C
  LaterPress(1000, Key::Esc, 0, 27);    // back to the header and a new scan
  LaterPress(1000, Key::Down);          // E
  LaterPress(500, Key::Enter, 0, 13);
  LaterType(1000, "x1");
  LaterPress(500, Key::Enter, 0, 13);
  EXPECT_TRUE(Run());
  EXPECT_FALSE(fs::exists(driveC / "X1.cbr"));
  EXPECT_EQ(tst::ReadFile(driveE / "X1.cbr").value_or(""), data);
  EXPECT_TRUE(NextProgramRan());
}

TEST_F(ExportFlowTest, WithoutInternIntNoBoxComesAndTheEndWaitsForAKey) {
  LaterPress(1000, Key::Esc, 0, 27);
  bool promptSeen = false;
  Later(1000, [&] {
    promptSeen = PromptShown();
    Press(Key::A, 0, 'a');
  });
  EXPECT_TRUE(Run());
  EXPECT_TRUE(promptSeen);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(fs::exists(root / "ran"));
}

TEST_F(ExportFlowTest, OneLineInternIntExportsButStartsNothing) {
  tst::WriteFile(tool / "Intern.int", "contest.cbr\r\n");
  LaterPress(1000, Key::Enter, 0, 13);
  LaterType(1000, "one");
  LaterPress(500, Key::Enter, 0, 13);
  LaterPress(1000, Key::Space, 0, ' ');
  EXPECT_TRUE(Run());
  EXPECT_EQ(tst::ReadFile(driveC / "ONE.cbr").value_or(""), data);
  EXPECT_TRUE(PromptShown());
  EXPECT_TRUE(boxes.empty());
}

// The hand-over was read, but the program it names does not start: no box,
// the prompt, a key.
TEST_F(ExportFlowTest, ANextProgramThatDoesNotStartEndsWithThePrompt) {
  for (const char* internInt : {"contest.cbr\r\nmissing.exe\r\n", "contest.cbr\r\n\r\n"}) {
    SCOPED_TRACE(internInt);
    boxes.clear();
    ts::Screen().cells = {};
    tst::WriteFile(tool / "Intern.int", internInt);
    LaterPress(1000, Key::Esc, 0, 27);
    LaterPress(1000, Key::Space, 0, ' ');
    EXPECT_TRUE(Run());
    EXPECT_EQ(logship::G().handOverFlag, 1);
    EXPECT_TRUE(PromptShown());
    EXPECT_TRUE(boxes.empty());
  }
}

TEST_F(ExportFlowTest, NoDriveShowsTheNoticeForFourSecondsThenEnds) {
  tst::WriteFile(tool / "Intern.int", "contest.cbr\r\n" + NextProgram() + "\r\n");
  MapDrives("");
  std::string notice;
  uint64_t shownAt = 0;
  Later(500, [&] {
    notice = tst::RowText(25, 26, 54);
    shownAt = clock.Micros();
  });
  EXPECT_TRUE(Run());
  EXPECT_EQ(notice, " Geen externe drive gevonden ");
  EXPECT_GE(clock.Micros() - shownAt, 3000000u);
  EXPECT_TRUE(NextProgramRan());
}

TEST_F(ExportFlowTest, ScanListsDrivesInProbeOrderAndNeverB) {
  fs::path b = root / "b", z = root / "z";
  fs::create_directories(b);
  fs::create_directories(z);
  tst::WriteFile(b / "f", "x");
  tst::WriteFile(z / "f", "x");
  MapDrives("B=" + b.string() + ";Z=" + z.string() + ";C=" + driveC.string() + ";E=" +
            driveE.string());
  std::vector<std::string> entries;
  Later(1000, [&] {
    for (int row = 8; row <= 11; ++row) entries.push_back(tst::RowText(row, 38, 42));
    Press(Key::Esc, 0, 27);
  });
  LaterPress(1000, Key::Space, 0, ' ');
  EXPECT_TRUE(Run());
  EXPECT_EQ(entries[0], "  C  ");
  EXPECT_EQ(entries[1], "  E  ");
  EXPECT_EQ(entries[2], "  Z  ");
  EXPECT_EQ(logship::G().driveCount, 3);
}

// A copy that fails (the stick went away after the scan): the status
// line says so, a key restarts the tool, and the new scan finds only C.
TEST_F(ExportFlowTest, AFailingCopyRestartsTheTool) {
  tst::WriteFile(tool / "Intern.int", "contest.cbr\r\n" + NextProgram() + "\r\n");
  LaterPress(1000, Key::Down);
  LaterPress(500, Key::Enter, 0, 13);
  Later(1000, [&] {
    fs::remove_all(driveE);
    Type("abc\r");
  });
  std::string status;
  Later(1000, [&] {
    status = tst::RowText(25, 26, 55);
    Press(Key::Space, 0, ' ');
  });
  std::string firstEntry, secondEntry;
  Later(3000, [&] {
    firstEntry = tst::RowText(8, 38, 42);
    secondEntry = tst::RowText(9, 38, 42);
    Press(Key::Esc, 0, 27);
  });
  EXPECT_TRUE(Run());
  EXPECT_EQ(status, " Verkeerde ingave. Elke toets ");
  EXPECT_EQ(firstEntry, "  C  ");
  EXPECT_NE(secondEntry, "  E  ");
  EXPECT_TRUE(NextProgramRan());
}

// A start directory that cannot be made current again (here: its folder
// was renamed away) does not trap the user: Esc still ends, an export
// still copies.
TEST_F(ExportFlowTest, AStartDirectoryThatCannotBeRestoredDoesNotTrapTheUser) {
  tst::WriteFile(tool / "Intern.int", "contest.cbr\r\n" + NextProgram() + "\r\n");
  Later(1000, [&] {
    logship::G().startDirectory = "\\no\\such\\folder";
    Press(Key::Enter, 0, 13);
  });
  LaterType(1000, "ok\r");
  EXPECT_TRUE(Run());
  EXPECT_EQ(tst::ReadFile(driveC / "OK.cbr").value_or(""), data);
  EXPECT_TRUE(NextProgramRan());
  EXPECT_EQ(ts::ReturnPointDepth(), 0u);
}

// Without the command interpreter no hulp.hlp is written: the start
// directory cannot be read, and the tool goes on past it instead of
// reading it again and again or showing boxes (no drive answers either).
TEST_F(ExportFlowTest, AStartDirectoryThatCannotBeReadDoesNotStopTheTool) {
  ts::SetInterpreterPath((root / "no-interpreter").string());
  tst::WriteFile(tool / "Intern.int", "contest.cbr\r\n" + NextProgram() + "\r\n");
  clock.SetLimit(60);
  EXPECT_TRUE(Run());
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(NextProgramRan());
}

TEST_F(ExportFlowTest, WithoutInternIntAStartDirectoryThatCannotBeReadEndsWithThePrompt) {
  ts::SetInterpreterPath((root / "no-interpreter").string());
  clock.SetLimit(60);
  LaterPress(6000, Key::Space, 0, ' ');
  EXPECT_TRUE(Run());
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(PromptShown());
}

// Intern.int may name, as the data file, a file that the tool's shell
// commands would write and its scan would delete: the tool's temporary
// files take other names then, and the log stays whole.
TEST_F(ExportFlowTest, ADataFileNamedLikeATemporaryFileStaysWhole) {
  struct {
    const char* dataName;  // as Intern.int gives it
    const char* onDisk;    // below the tool's folder
    const char* alsoNamed; // a hard link to it there, or nullptr
  } cases[] = {
      {"hulp.hlp", "hulp.hlp", nullptr},
      {"HULP.HLP", "HULP.HLP", nullptr},
      {"direct.tmp", "direct.tmp", nullptr},
      {"Direct.TMP", "DIRECT.TMP", nullptr},
      {"..\\tool\\Hulp.hlp", "hulp.hlp", nullptr},
      {"logs\\contest.txt", "logs/contest.txt", "direct.tmp"},
      {"logs\\contest.txt", "logs/contest.txt", "HULP.hlp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dataName);
    fs::remove_all(driveE);
    fs::create_directories(driveE);
    fs::remove(root / "ran");
    tst::WriteFile(tool / c.onDisk, data);
    if (c.alsoNamed) fs::create_hard_link(tool / c.onDisk, tool / c.alsoNamed);
    tst::WriteFile(tool / "Intern.int", std::string(c.dataName) + "\r\n" + NextProgram() + "\r\n");
    const auto before = Names(tool);
    LaterPress(1000, Key::Down);
    LaterPress(500, Key::Enter, 0, 13);
    LaterType(1000, "abc\r");
    EXPECT_TRUE(Run());
    EXPECT_EQ(tst::ReadFile(tool / c.onDisk), data);
    EXPECT_EQ(tst::ReadFile(driveE / "ABC.txt"), data);
    EXPECT_TRUE(NextProgramRan());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Names(tool), before) << "no temporary file left, none of the data file's names gone";
    fs::remove(tool / c.onDisk);
    if (c.alsoNamed) fs::remove(tool / c.alsoNamed);
  }
}

// When the start directory cannot be read from hulp.hlp (here the shell
// leaves it empty), the tool goes on without it and leaves no hulp.hlp.
TEST_F(ExportFlowTest, AStartDirectoryThatCannotBeReadLeavesNoTemporaryFile) {
  fs::path script = root / "cmd.sh";
  tst::WriteFile(script,
                 "#!/bin/sh\ncase \"$2\" in cd*) : > hulp.hlp; exit 0;; esac\nexec '" +
                     (fs::path(ts::platform::ExecutableFolder()) / "logship-cmd").string() + "' \"$@\"\n",
                 0755);
  ts::SetInterpreterPath(script.string());
  for (bool handedOver : {true, false}) {
    SCOPED_TRACE(handedOver ? "Intern.int read" : "no Intern.int");
    fs::remove(tool / "Intern.int");
    if (handedOver) tst::WriteFile(tool / "Intern.int", "contest.cbr\r\n" + NextProgram() + "\r\n");
    LaterPress(1000, Key::Esc, 0, 27);
    if (!handedOver) LaterPress(1000, Key::Space, 0, ' ');
    EXPECT_TRUE(Run());
    EXPECT_EQ(logship::G().startDirectory, "");
    EXPECT_FALSE(fs::exists(tool / "hulp.hlp"));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(PromptShown(), !handedOver);
  }
}

// A system clock that cannot be read: the header goes on without its
// date, the menu's clock reports error 5 once, and the run ends.
TEST_F(ExportFlowTest, AClockThatCannotBeReadEndsTheRunInsteadOfLooping) {
  tst::WriteFile(tool / "Intern.int", "contest.cbr\r\n" + NextProgram() + "\r\n");
  clock.SetReadable(false);
  clock.SetLimit(60);
  std::string status;
  Later(1000, [&] {
    status = tst::RowText(25, 34, 47);
    Press(Key::Space, 0, ' ');
  });
  EXPECT_TRUE(Run());
  EXPECT_EQ(status, "Foutmelding. 5");
  EXPECT_EQ(tst::RowText(1, 1, 14), std::string(14, ' '));
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(NextProgramRan());
}


// --- Every screen's texts, as the user reads them -------------------------

struct ScreenText {
  const char* screen;
  int row, column;
  std::string text;  // code page 437
  int fg, bg;
};

std::string Blanks(int count) { return std::string(size_t(count), ' '); }

// Rows 1 and 25 are given whole; the clock (row 1, columns 71 to 78) runs
// with the scripted time and is left out.
const std::vector<ScreenText> kScreenTexts = {
    // The header over the banner, while the drives are probed.
    {"scan", 1, 1, "Ma 25 Dec 2017", 7, 0},
    {"scan", 1, 15, Blanks(9), 7, 0},
    {"scan", 1, 24, "Exporteren naar externe drive/stick", 10, 0},
    {"scan", 1, 59, Blanks(22), 7, 0},
    {"scan", 25, 1, Blanks(33), 7, 0},
    {"scan", 25, 34, "Moment ", 7, 0},
    {"scan", 25, 41, "geduld", 3, 0},
    {"scan", 25, 47, ". " + Blanks(32), 7, 0},
    // The drive menu with C and E, entry 1 highlighted.
    {"menu", 1, 1, "Ma 25 Dec 2017" + Blanks(9), 7, 0},
    {"menu", 1, 24, "Exporteren naar externe drive/stick", 10, 0},
    {"menu", 5, 30, " Beschikbare drive's ", 14, 4},
    {"menu", 8, 38, "  C  ", 4, 7},
    {"menu", 9, 38, "  E  ", 7, 0},
    {"menu", 25, 1, Blanks(23), 7, 0},
    {"menu", 25, 24, " Kies drive/stick letter ", 7, 0},
    {"menu", 25, 49, "ESC", 3, 0},
    {"menu", 25, 52, "terug." + Blanks(23), 7, 0},
    // The export screen of contest.cbr to E: the contest-call notice.
    {"export, notice", 1, 1, "Ma 25 Dec 2017" + Blanks(9), 7, 0},
    {"export, notice", 1, 24, "Exporteren naar externe drive/stick", 10, 0},
    {"export, notice", 6, 28, "Bestand contest exporteren", 15, 0},
    {"export, notice", 10, 32, " Exporteer naar: ", 14, 4},
    {"export, notice", 12, 40, "E:", 15, 0},
    {"export, notice", 14, 30, " Filenaam : ", 7, 0},
    {"export, notice", 14, 42, std::string(8, char(250)), 14, 4},
    {"export, notice", 19, 29, "Het file wat gestuurd  ", 3, 1},
    {"export, notice", 20, 29, "wordt naar de contest- ", 3, 1},
    {"export, notice", 21, 29, "manager moet als naam  ", 3, 1},
    {"export, notice", 22, 29, "hebben de contestcall!!", 3, 1},
    {"export, notice", 25, 1, Blanks(19), 7, 0},
    {"export, notice", 25, 20, " Geef filenaam. Extensie is .cbr ", 7, 0},
    {"export, notice", 25, 53, "ESC", 3, 0},
    {"export, notice", 25, 56, "Terug" + Blanks(20), 7, 0},
    // Contest.Pcn: no notice, and the field starts with the base name.
    {"export, no notice", 6, 28, "Bestand Contest exporteren", 15, 0},
    {"export, no notice", 10, 32, " Exporteer naar: ", 14, 4},
    {"export, no notice", 12, 40, "E:", 15, 0},
    {"export, no notice", 14, 30, " Filenaam : ", 7, 0},
    {"export, no notice", 14, 42, "Contest" + std::string(1, char(250)), 14, 4},
    {"export, no notice", 19, 29, Blanks(23), 4, 0},
    {"export, no notice", 20, 29, Blanks(23), 4, 0},
    {"export, no notice", 21, 29, Blanks(23), 4, 0},
    {"export, no notice", 22, 29, Blanks(23), 4, 0},
    {"export, no notice", 25, 1, Blanks(19), 7, 0},
    {"export, no notice", 25, 20, " Geef filenaam. Extensie is .pcn ", 7, 0},
    {"export, no notice", 25, 53, "ESC", 3, 0},
    {"export, no notice", 25, 56, "Terug" + Blanks(20), 7, 0},
    // The copy ABC.cbr made, the next program started: the typed name
    // stays in the field, the bottom row is cleared.
    {"after the copy", 6, 28, "Bestand contest exporteren", 15, 0},
    {"after the copy", 14, 30, " Filenaam : ", 7, 0},
    {"after the copy", 14, 42, "ABC" + Blanks(6), 1, 4},
    {"after the copy", 19, 29, "Het file wat gestuurd  ", 3, 1},
    {"after the copy", 25, 1, Blanks(80), 7, 0},
    // The copy to E failed: the export screen stays.
    {"copy failed", 14, 42, "ABC" + Blanks(6), 1, 4},
    {"copy failed", 25, 1, Blanks(25), 7, 0},
    {"copy failed", 25, 26, " Verkeerde ingave. Elke toets ", 7, 0},
    {"copy failed", 25, 56, Blanks(25), 7, 0},
    {"no drive", 1, 24, "Exporteren naar externe drive/stick", 10, 0},
    {"no drive", 25, 1, Blanks(25), 7, 0},
    {"no drive", 25, 26, " Geen externe drive gevonden ", 7, 0},
    {"no drive", 25, 55, Blanks(26), 7, 0},
    // Error 9 in the menu (wheel steps up past the only entry).
    {"error in the menu", 25, 1, Blanks(33), 7, 0},
    {"error in the menu", 25, 34, "Foutmelding. 9", 7, 0},
    {"error in the menu", 25, 48, Blanks(33), 7, 0},
    // The export of Contest.Pcn done, no next program named.
    {"end prompt", 14, 42, "Contest" + Blanks(2), 1, 4},
    {"end prompt", 25, 1, "Press any key to continue" + Blanks(55), 7, 0},
};

// The runs that bring each screen of the table, on the screen as it was.
class ScreenTextsTest : public ExportFlowTest {
 protected:
  void Shoot(const std::string& screen) { shots[screen] = ts::Screen(); }
  void LaterShoot(uint32_t ms, const std::string& screen, std::function<void()> then) {
    Later(ms, [=, this] {
      Shoot(screen);
      then();
    });
  }
  void NextRun(const std::string& internInt) {
    ts::Screen().cells = {};
    fs::remove(root / "ran");
    tst::WriteFile(tool / "Intern.int", internInt);
    clock.SetLimit(3600);
  }
  // A run that waits past its scripted hour did not come to its end.
  void RunFor(const std::string& screens) {
    bool ended = false;
    try {
      ended = Run();
    } catch (const tst::TimeRanOut&) {
    }
    EXPECT_TRUE(ended) << "the run for " << screens << " did not end";
  }

  std::map<std::string, ts::ScreenState> shots;
};

TEST_F(ScreenTextsTest, EveryScreenShowsItsTextsAtTheirCells) {
  // The header and scan, the menu, the export screen with the notice, the
  // screen after the copy.
  NextRun("contest.cbr\r\n" + NextProgram() + "\r\n");
  window.atHiddenCommand = [this] {
    if (!shots.count("menu")) Shoot("scan");  // the last is the probe of Z
  };
  LaterShoot(1000, "menu", [this] { Press(Key::Down); });
  LaterPress(500, Key::Enter, 0, 13);
  LaterShoot(1000, "export, notice", [this] { Type("abc\r"); });
  RunFor("the scan, the menu and the export screen");
  window.atHiddenCommand = nullptr;
  EXPECT_TRUE(NextProgramRan());
  Shoot("after the copy");

  // A data file with a name to start from, and no next program.
  tst::WriteFile(tool / "Contest.Pcn", data);
  NextRun("Contest.Pcn\r\n");
  LaterPress(1000, Key::Down);
  LaterPress(500, Key::Enter, 0, 13);
  LaterShoot(1000, "export, no notice", [this] { Press(Key::Enter, 0, 13); });
  LaterShoot(1000, "end prompt", [this] { Press(Key::Space, 0, ' '); });
  RunFor("the export screen without the notice and the end prompt");
  EXPECT_EQ(tst::ReadFile(driveE / "Contest.pcn"), data);

  // The stick is gone by the time of the copy.
  NextRun("contest.cbr\r\n" + NextProgram() + "\r\n");
  LaterPress(1000, Key::Down);
  LaterPress(500, Key::Enter, 0, 13);
  Later(1000, [&] {
    fs::remove_all(driveE);
    Type("abc\r");
  });
  LaterShoot(1000, "copy failed", [this] { Press(Key::Space, 0, ' '); });
  LaterPress(3000, Key::Esc, 0, 27);
  RunFor("the failed copy");
  EXPECT_TRUE(NextProgramRan());

  NextRun("contest.cbr\r\n" + NextProgram() + "\r\n");
  MapDrives("");
  LaterShoot(500, "no drive", [] {});
  RunFor("no drive");
  EXPECT_TRUE(NextProgramRan());

  NextRun("contest.cbr\r\n" + NextProgram() + "\r\n");
  MapDrives("C=" + driveC.string());
  for (uint32_t ms : {1000, 300}) {
    Later(ms, [this] {
      WheelStep(10, 40, true);
      WheelStep(10, 40, true);
    });
  }
  LaterShoot(500, "error in the menu", [this] { Press(Key::A, 0, 'a'); });
  RunFor("the error in the menu");
  EXPECT_TRUE(NextProgramRan());

  for (const ScreenText& t : kScreenTexts) {
    SCOPED_TRACE(std::string(t.screen) + ", row " + std::to_string(t.row) + ", column " +
                 std::to_string(t.column));
    auto shot = shots.find(t.screen);
    ASSERT_NE(shot, shots.end()) << "this screen did not come";
    std::string shown;
    std::vector<int> colours;
    for (size_t i = 0; i < t.text.size(); ++i) {
      const ts::Cell& cell = shot->second.cells[t.row - 1][t.column - 1 + i];
      shown += char(cell.ch);
      colours.push_back((cell.attr & 15) * 10 + (cell.attr >> 4 & 7));
    }
    EXPECT_EQ(shown, t.text);
    EXPECT_EQ(colours, std::vector<int>(t.text.size(), t.fg * 10 + t.bg))
        << "foreground and background of each cell, as fg * 10 + bg";
  }
}

}  // namespace
