#include <string>
#include <vector>

#include "export/screen_routines.h"
#include "support/scripted.h"

namespace {

using tst::Bg;
using tst::Ch;
using tst::Fg;
using tst::LayerTest;
using tst::RowText;

using RoutinesTest = LayerTest;

std::string Line(int step) { return "Line:" + std::to_string(step) + "\n"; }

std::vector<std::string> BoxLines(const std::vector<tst::Box>& boxes) {
  std::vector<std::string> lines;
  for (const auto& b : boxes) lines.push_back(b.text.substr(0, b.text.find('\n') + 1));
  return lines;
}

// ---- PrintCentered ----

TEST_F(RoutinesTest, PrintCenteredStartColumns) {
  struct Case {
    int length, start;
  } cases[] = {{0, 41},  {1, 40},  {2, 40},  {3, 40},  {17, 32}, {21, 30},
               {33, 24}, {34, 24}, {35, 24}, {36, 23}, {79, 2},  {80, 1}};
  for (const Case& c : cases) {
    ts::ResetScreen();
    ts::SetColor(14, 2);
    std::string text(c.length, 'x');
    logship::PrintCentered(10, text);
    SCOPED_TRACE("length " + std::to_string(c.length));
    if (c.length > 0) {
      EXPECT_EQ(RowText(10, c.start, c.start + c.length - 1), text);
      EXPECT_EQ(Fg(10, c.start), 14);
      EXPECT_EQ(Bg(10, c.start + c.length - 1), 2);
    }
    if (c.start > 1) {
      EXPECT_EQ(Ch(10, c.start - 1), 0);
    }
    int after = c.start + c.length;
    if (after <= 80) {
      EXPECT_EQ(Ch(10, after), 0);
      EXPECT_EQ(ts::CursorColumn(), after);
      EXPECT_EQ(ts::CursorRow(), 10);
    } else {
      EXPECT_TRUE(ts::Screen().held);
      EXPECT_EQ(ts::Screen().column, 80);
    }
    EXPECT_EQ(ts::Screen().fg, 14);
    EXPECT_EQ(ts::Screen().bg, 2);
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(RoutinesTest, PrintCenteredOf81CharactersFailsAtItsLocate) {
  answers.push_back(ts::platform::BoxAnswer::No);
  ts::Locate(7, 5);
  EXPECT_TRUE(RunProgram([] { logship::PrintCentered(10, std::string(81, 'x')); }));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Line:367\nIllegal function call\nContinue?");
  EXPECT_EQ(ts::CursorRow(), 7);
  EXPECT_EQ(ts::CursorColumn(), 5);
}

TEST_F(RoutinesTest, PrintCenteredRoundsTheRowHalvesToEven) {
  logship::PrintCentered(2.5f, "ab");
  EXPECT_EQ(RowText(2, 40, 41), "ab");
  logship::PrintCentered(3.5f, "cd");
  EXPECT_EQ(RowText(4, 40, 41), "cd");
  EXPECT_EQ(Ch(3, 40), 0);
}

// ---- DrawFrame ----

TEST_F(RoutinesTest, DrawFrameCellByCell) {
  ts::SetColor(4, 0);
  logship::DrawFrame(3, 3, 23, 78);
  std::string edge(74, char(196)), inside(74, ' ');
  EXPECT_EQ(RowText(3, 3, 78), "\xDA" + edge + "\xBF");
  for (int row = 4; row <= 22; ++row)
    ASSERT_EQ(RowText(row, 3, 78), "\xB3" + inside + "\xB3") << row;
  EXPECT_EQ(RowText(23, 3, 78), "\xC0" + edge + "\xD9");
  for (int row = 1; row <= 25; ++row) {
    ASSERT_EQ(Ch(row, 2), 0) << row;
    ASSERT_EQ(Ch(row, 79), 0) << row;
    if (row >= 3 && row <= 23)
      for (int col = 3; col <= 78; ++col) {
        ASSERT_EQ(Fg(row, col), 4) << row << "," << col;
        ASSERT_EQ(Bg(row, col), 0) << row << "," << col;
      }
  }
  EXPECT_EQ(RowText(2), std::string(80, '\0'));
  EXPECT_EQ(RowText(24), std::string(80, '\0'));
  EXPECT_EQ(ts::CursorRow(), 23);
  EXPECT_EQ(ts::CursorColumn(), 79);
  EXPECT_FALSE(ts::Screen().held);
  EXPECT_EQ(ts::Screen().fg, 4);
}

TEST_F(RoutinesTest, DrawFrameEdgeToEdgeHoldsTheCursor) {
  ts::Locate(1, 1);
  ts::PrintText("row one", false);
  logship::DrawFrame(2, 1, 24, 80);
  EXPECT_EQ(RowText(1, 1, 7), "row one");
  EXPECT_EQ(Ch(2, 1), 218);
  EXPECT_EQ(Ch(2, 80), 191);
  EXPECT_EQ(Ch(24, 1), 192);
  EXPECT_EQ(Ch(24, 80), 217);
  EXPECT_EQ(RowText(25), std::string(80, '\0'));
  EXPECT_TRUE(ts::Screen().held);
  EXPECT_EQ(ts::Screen().row, 24);
  EXPECT_EQ(ts::Screen().column, 80);
}

TEST_F(RoutinesTest, DegenerateFrames) {
  const std::string top = "\xDA\xBF", side = "\xB3\xB3", bottom = "\xC0\xD9";
  const std::string none(2, '\0');
  struct Case {
    const char* name;
    int16_t top, left, bottom, right;
    std::vector<std::string> rows5to9;  // columns 10 and 11
  } cases[] = {
      {"two wide", 5, 10, 8, 11, {top, side, side, bottom, none}},
      {"right = left", 5, 10, 8, 10, {top, side, side, bottom, none}},
      {"right < left", 5, 10, 8, 7, {top, side, side, bottom, none}},
      {"bottom = top + 1", 5, 10, 6, 11, {top, bottom, none, none, none}},
      {"bottom = top", 5, 10, 5, 11, {bottom, none, none, none, none}},
      {"bottom < top", 8, 10, 5, 11, {bottom, none, none, top, none}},
  };
  for (const Case& c : cases) {
    ts::ResetScreen();
    logship::DrawFrame(c.top, c.left, c.bottom, c.right);
    for (int row = 5; row <= 9; ++row)
      EXPECT_EQ(RowText(row, 10, 11), c.rows5to9[row - 5]) << c.name << " row " << row;
    EXPECT_EQ(Ch(5, 12), 0) << c.name;
    EXPECT_EQ(ts::CursorRow(), c.bottom) << c.name;
    EXPECT_EQ(ts::CursorColumn(), 12) << c.name;
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(RoutinesTest, DrawFrameOutsideTheScreenFailsAtEachLocate) {
  logship::DrawFrame(5, 0, 7, 10);
  EXPECT_EQ(BoxLines(boxes), (std::vector<std::string>{Line(352), Line(356), Line(360)}));
}

// ---- DrawBanner ----

TEST_F(RoutinesTest, DrawBannerPaintsPanelFrameAndFlag) {
  ts::Locate(1, 1);
  ts::PrintText("date and title", false);
  ts::Locate(25, 1);
  ts::PrintText("status", false);
  logship::DrawBanner();

  EXPECT_EQ(RowText(1, 1, 14), "date and title");
  EXPECT_EQ(RowText(25, 1, 6), "status");
  for (int row = 2; row <= 24; ++row)
    for (int col = 1; col <= 80; ++col) {
      bool panel = row == 2 || row == 24 || col <= 2 || col >= 79;
      if (!panel) continue;
      ASSERT_EQ(Fg(row, col), 1) << row << "," << col;
      ASSERT_EQ(Bg(row, col), 1) << row << "," << col;
    }
  EXPECT_EQ(Ch(3, 3), 218);
  EXPECT_EQ(Fg(3, 3), 4);
  EXPECT_EQ(Bg(3, 3), 0);
  EXPECT_EQ(Ch(23, 78), 217);
  EXPECT_EQ(Ch(12, 40), ' ');
  EXPECT_EQ(Bg(12, 40), 0);

  for (int col = 8; col <= 14; ++col) {
    EXPECT_EQ(Ch(5, col), ' ') << col;
    EXPECT_EQ(Bg(5, col), 4) << col;
    EXPECT_EQ(Bg(6, col), 7) << col;
    EXPECT_EQ(Ch(7, col), 219) << col;
    EXPECT_EQ(Fg(7, col), 9) << col;
    EXPECT_EQ(Bg(7, col), 0) << col;
  }
  EXPECT_EQ(RowText(6, 8, 14), " ZEPRA ");
  for (int col = 9; col <= 13; ++col) EXPECT_EQ(Fg(6, col), 6) << col;
  EXPECT_EQ(Ch(5, 15), ' ');
  EXPECT_EQ(Bg(5, 15), 0);

  EXPECT_EQ(ts::Screen().fg, 9);
  EXPECT_EQ(ts::Screen().bg, 0);
  EXPECT_EQ(ts::CursorRow(), 7);
  EXPECT_EQ(ts::CursorColumn(), 15);
  EXPECT_TRUE(boxes.empty());
}

// ---- ShowStatusLine ----

struct StatusCase {
  std::string text;
  std::string shown;
  int start;
  std::vector<std::pair<int, int>> cyan;  // column ranges
  int fgAfter;
};

// Checks row 25 against a case: the shown text at its start column,
// spaces elsewhere, cyan exactly in the given columns, black behind.
void ExpectStatus(const StatusCase& c) {
  SCOPED_TRACE("status \"" + c.text + "\"");
  int end = c.start + int(c.shown.size());
  for (int col = 1; col <= 80; ++col) {
    bool inText = col >= c.start && col < end;
    char want = inText ? c.shown[col - c.start] : ' ';
    bool cyan = false;
    for (auto [from, to] : c.cyan) cyan = cyan || (col >= from && col <= to);
    ASSERT_EQ(char(Ch(25, col)), want) << "column " << col;
    ASSERT_EQ(Fg(25, col), cyan ? 3 : 7) << "column " << col;
    ASSERT_EQ(Bg(25, col), 0) << "column " << col;
  }
  if (end <= 80) {
    EXPECT_FALSE(ts::Screen().held);
    EXPECT_EQ(ts::Screen().column, end);
  } else {
    EXPECT_TRUE(ts::Screen().held);
    EXPECT_EQ(ts::Screen().column, 80);
  }
  EXPECT_EQ(ts::Screen().row, 25);
  EXPECT_EQ(ts::Screen().fg, c.fgAfter);
  EXPECT_EQ(ts::Screen().bg, 0);
}

TEST_F(RoutinesTest, StatusTextsOfTheTool) {
  const StatusCase cases[] = {
      {" Kies drive/stick letter [ESC]terug.", " Kies drive/stick letter ESCterug.", 24,
       {{49, 51}}, 7},
      {" Geef filenaam. Extensie is .cbr [ESC]Terug", " Geef filenaam. Extensie is .cbr ESCTerug",
       20, {{53, 55}}, 7},
      {"Moment [geduld]. ", "Moment geduld. ", 34, {{41, 46}}, 7},
      {" Geen externe drive gevonden ", " Geen externe drive gevonden ", 26, {}, 7},
      {" Verkeerde ingave. Elke toets ", " Verkeerde ingave. Elke toets ", 26, {}, 7},
      {"Foutmelding. 53", "Foutmelding. 53", 34, {}, 7},
      {" ", " ", 40, {}, 7},
      {"", "", 41, {}, 7},
  };
  for (const StatusCase& c : cases) {
    ts::ResetScreen();
    ts::SetColor(14, 1);
    logship::ShowStatusLine(c.text);
    ExpectStatus(c);
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(RoutinesTest, TheFileNameStatusPutsEscInTheSameColumnsForEveryExtension) {
  for (std::string ext : {".cbr", ".csv", ".pcn", ".etk", ".txt"}) {
    logship::ShowStatusLine(" Geef filenaam. Extensie is " + ext + " [ESC]Terug");
    EXPECT_EQ(RowText(25, 53, 55), "ESC") << ext;
    EXPECT_EQ(Fg(25, 53), 3) << ext;
    EXPECT_EQ(Fg(25, 56), 7) << ext;
    EXPECT_EQ(RowText(25, 56, 60), "Terug") << ext;
  }
}

TEST_F(RoutinesTest, StatusBracketsOutOfPairs) {
  const StatusCase cases[] = {
      // never closed: the rest is cyan, counted as two hidden characters
      {"ab[cd", "abcd", 40, {{42, 43}}, 3},
      {"abc[", "abc", 40, {}, 3},
      // a close without an open: hidden, grey again
      {"ab]cd", "abcd", 38, {}, 7},
      {"a[]b", "ab", 40, {}, 7},
      // a bracket right after a hidden one is shown
      {"a[[b]c", "a[bc", 40, {{41, 42}}, 7},
      {"a][b", "a[b", 40, {}, 7},
      {"a]]b", "a]b", 39, {}, 7},
      {"x[]]y", "x]y", 40, {}, 7},
  };
  for (const StatusCase& c : cases) {
    ts::ResetScreen();
    logship::ShowStatusLine(c.text);
    ExpectStatus(c);
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(RoutinesTest, AStatusTextTooWideFailsAfterTheRowIsCleared) {
  ts::Locate(25, 1);
  ts::PrintText("old status", false);
  answers.push_back(ts::platform::BoxAnswer::No);
  EXPECT_TRUE(RunProgram([] { logship::ShowStatusLine("[" + std::string(81, 'x') + "]"); }));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Line:570\nIllegal function call\nContinue?");
  EXPECT_EQ(RowText(25), std::string(80, ' '));
}

TEST_F(RoutinesTest, AnUnclosedBracketCanRunPastColumn80) {
  ts::Locate(2, 1);
  ts::PrintText("second row", false);
  // 81 characters, one "[" counted as two hidden: laid out as 79 from
  // column 2, though 80 are shown.
  std::string text = "[" + std::string(79, 'a') + "z";
  logship::ShowStatusLine(text);
  EXPECT_EQ(RowText(25, 2, 80), std::string(79, 'a'));
  EXPECT_EQ(Ch(25, 1), ' ');
  EXPECT_EQ(RowText(1, 1, 10), "second row");
  EXPECT_EQ(Ch(24, 1), 'z');
  EXPECT_EQ(Fg(24, 1), 3);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(RoutinesTest, RoutinesDoNothingWhileAnErrorIsPending) {
  ts::RaiseError(53);
  logship::DrawBanner();
  logship::DrawFrame(3, 3, 5, 5);
  logship::PrintCentered(3, "abc");
  logship::ShowStatusLine("abc");
  EXPECT_EQ(ts::PendingError(), 53u);
  EXPECT_TRUE(boxes.empty());
  for (int row = 1; row <= 25; ++row) ASSERT_EQ(RowText(row), std::string(80, '\0')) << row;
}

}  // namespace
