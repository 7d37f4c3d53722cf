#include <string>

#include "support/scripted.h"
#include "textscreen/screen.h"

namespace {

using tst::Bg;
using tst::Ch;
using tst::Fg;
using tst::RowText;

class PrintTest : public tst::LayerTest {};

// Each row of the screen filled with its own letter: row 1 'A', row 25 'Y'.
void FillRowsWithLetters() {
  for (int r = 0; r < ts::kRows; ++r)
    for (auto& cell : ts::Screen().cells[r]) cell = ts::Cell{uint8_t('A' + r), 0x07};
}

struct CursorCase {
  const char* what;
  int row, column;
  std::string text;
  bool lineEnd;
  int endRow, endColumn;
  bool held;
  int cursorRow, cursorColumn;
};

TEST_F(PrintTest, CursorEndsWhereTheRulesSay) {
  const CursorCase cases[] = {
      {"full bottom row, no line end", 25, 1, std::string(80, ' '), false, 25, 80, true, 24, 1},
      {"full row with line end", 1, 1, std::string(80, ' '), true, 2, 1, false, 2, 1},
      {"twelve characters", 14, 30, "abcdefghijkl", false, 14, 42, false, 14, 42},
      {"does not fit at 79", 10, 79, "abc", false, 11, 4, false, 11, 4},
      {"ends exactly in 80", 10, 78, "abc", false, 10, 80, true, 11, 1},
      {"ends in 80 on row 24", 24, 71, "0123456789", false, 24, 80, true, 24, 1},
      {"long text from column 1 runs on", 5, 1, std::string(100, 'x'), false, 6, 21, false, 6,
       21},
      {"empty text with line end", 7, 12, "", true, 8, 1, false, 8, 1},
      {"empty text without line end", 7, 12, "", false, 7, 12, false, 7, 12},
      {"line feed as the last byte takes one new line", 3, 5, "ab\n", true, 4, 1, false, 4, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ts::ResetScreen();
    ts::Locate(c.row, c.column);
    ts::PrintText(c.text, c.lineEnd);
    EXPECT_EQ(ts::Screen().row, c.endRow);
    EXPECT_EQ(ts::Screen().column, c.endColumn);
    EXPECT_EQ(ts::Screen().held, c.held);
    EXPECT_EQ(ts::CursorRow(), c.cursorRow);
    EXPECT_EQ(ts::CursorColumn(), c.cursorColumn);
  }
}

TEST_F(PrintTest, FullBottomRowScrollsNothing) {
  FillRowsWithLetters();
  ts::Locate(25, 1);
  ts::PrintText(std::string(80, '='), false);
  EXPECT_EQ(RowText(25), std::string(80, '='));
  EXPECT_EQ(RowText(24), std::string(80, 'X'));
  EXPECT_EQ(RowText(1), std::string(80, 'A'));
}

TEST_F(PrintTest, LineFitMovesTheWholeTextToTheNextRow) {
  ts::Locate(10, 79);
  ts::PrintText("abc", false);
  EXPECT_EQ(RowText(11, 1, 3), "abc");
  EXPECT_EQ(Ch(10, 79), 0);
}

TEST_F(PrintTest, HeldCursorMovesOnBeforeTheNextText) {
  ts::Locate(10, 78);
  ts::PrintText("abc", false);
  ts::PrintText("de", false);
  EXPECT_EQ(RowText(11, 1, 2), "de");
  EXPECT_EQ(ts::Screen().column, 3);

  ts::Locate(12, 78);
  ts::PrintText("abc", false);
  ts::PrintText("", true);  // down one row only
  EXPECT_EQ(ts::Screen().row, 13);
  EXPECT_EQ(ts::Screen().column, 1);
}

TEST_F(PrintTest, LocateClearsTheHeldFlag) {
  ts::Locate(25, 1);
  ts::PrintText(std::string(80, ' '), false);
  ts::Locate(25, 80);
  EXPECT_FALSE(ts::Screen().held);
  EXPECT_EQ(ts::CursorRow(), 25);
  EXPECT_EQ(ts::CursorColumn(), 80);
}

class ScrollTest : public tst::LayerTest, public ::testing::WithParamInterface<int> {};

TEST_P(ScrollTest, LineEndScrollsRowsOneTo24AndLeavesRow25) {
  FillRowsWithLetters();
  ts::SetColor(14, 1);
  ts::Locate(GetParam(), 1);
  ts::PrintText("", true);
  for (int r = 1; r <= 23; ++r) EXPECT_EQ(RowText(r), std::string(80, char('A' + r))) << r;
  EXPECT_EQ(RowText(24), std::string(80, ' '));
  EXPECT_EQ(Fg(24, 1), 14);
  EXPECT_EQ(Bg(24, 80), 1);
  EXPECT_EQ(RowText(25), std::string(80, 'Y'));
  EXPECT_EQ(ts::Screen().row, 24);
  EXPECT_EQ(ts::Screen().column, 1);
}

INSTANTIATE_TEST_SUITE_P(FromRow, ScrollTest, ::testing::Values(24, 25));

TEST_F(PrintTest, TextRunningOffRow24Scrolls) {
  FillRowsWithLetters();
  ts::Locate(24, 75);
  ts::PrintText("12345678", false);  // does not fit: new line first, which scrolls
  EXPECT_EQ(RowText(24, 1, 8), "12345678");
  EXPECT_EQ(RowText(23), std::string(80, 'X'));
  EXPECT_EQ(RowText(25), std::string(80, 'Y'));
}

struct TabCase {
  int column;
  std::string text;
  int endColumn;
};

TEST_F(PrintTest, TabPrintsSpacesToTheNextStop) {
  const TabCase cases[] = {
      {1, "\t", 9}, {9, "\t", 17}, {5, "\t", 9}, {8, "\t", 9}, {1, "ab\tc", 10}, {65, "\t", 73}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "from column " << c.column << " text " << c.text.size());
    ts::ResetScreen();
    ts::Locate(3, c.column);
    ts::PrintText(c.text, false);
    EXPECT_EQ(ts::Screen().row, 3);
    EXPECT_EQ(ts::Screen().column, c.endColumn);
  }
  ts::ResetScreen();
  ts::Locate(3, 1);
  ts::PrintText("ab\tc", false);
  EXPECT_EQ(RowText(3, 1, 9), "ab      c");
}

TEST_F(PrintTest, TabAtTheEndOfARow) {
  ts::Locate(3, 75);
  ts::PrintText("\t", false);
  EXPECT_TRUE(ts::Screen().held);
  EXPECT_EQ(ts::Screen().column, 80);
  EXPECT_EQ(RowText(3, 75, 80), "      ");

  ts::Locate(5, 75);
  ts::PrintText("\tx", false);
  EXPECT_EQ(ts::Screen().row, 6);
  EXPECT_EQ(RowText(6, 1, 1), "x");
}

TEST_F(PrintTest, FormFeedClearsEveryRowInTheCurrentColours) {
  FillRowsWithLetters();
  ts::SetColor(15, 4);
  ts::Locate(12, 40);
  ts::PrintText("\f", false);
  for (int r = 1; r <= 25; ++r) {
    EXPECT_EQ(RowText(r), std::string(80, ' ')) << r;
    EXPECT_EQ(Fg(r, 1), 15);
    EXPECT_EQ(Bg(r, 80), 4);
  }
  EXPECT_EQ(ts::Screen().row, 1);
  EXPECT_EQ(ts::Screen().column, 1);
}

TEST_F(PrintTest, CursorControlBytes) {
  struct Case {
    int row, column;
    char byte;
    int endRow, endColumn;
  };
  const Case cases[] = {
      {5, 5, 11, 1, 1},   {5, 5, 28, 5, 6},  {5, 80, 28, 6, 1}, {5, 5, 29, 5, 4},
      {5, 1, 29, 4, 80},  {5, 5, 30, 4, 5},  {1, 5, 30, 1, 5},  {25, 5, 30, 24, 5},
      {5, 5, 31, 6, 5},   {24, 5, 31, 24, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "byte " << int(c.byte) << " at " << c.row << ","
                                    << c.column);
    ts::ResetScreen();
    ts::Locate(c.row, c.column);
    ts::PrintText(std::string(1, c.byte), false);
    EXPECT_EQ(ts::Screen().row, c.endRow);
    EXPECT_EQ(ts::Screen().column, c.endColumn);
    EXPECT_EQ(Ch(c.row, c.column), 0) << "a control byte must not be printed";
  }
}

TEST_F(PrintTest, BellBeepsAndPausesWithoutMovingTheCursor) {
  ts::Locate(4, 4);
  uint64_t before = clock.Micros();
  ts::PrintText("\a", false);
  EXPECT_EQ(window.beeps, 1);
  EXPECT_GE(clock.Micros() - before, 250000u);
  EXPECT_EQ(ts::Screen().column, 4);
  EXPECT_EQ(Ch(4, 4), 0);
}

// The port only starts the tone; the layer waits the tone's 0.2 s and
// then its pause of 250 ms on its own clock, beep after beep.
TEST_F(PrintTest, TheBellsToneIsWaitedOnTheLayersClock) {
  const uint64_t before = clock.Micros(), sleptBefore = clock.SleptMicros();
  ts::PrintText("\a\a", false);
  EXPECT_EQ(window.beeps, 2);
  EXPECT_EQ(window.tone.second, 200);
  EXPECT_DOUBLE_EQ(window.tone.first, 783.99);
  EXPECT_EQ(clock.SleptMicros() - sleptBefore, 2 * (200000u + 250000u));
  EXPECT_LT(clock.Micros() - before, 2 * (200000u + 250000u) + 10000u)
      << "a beep takes its tone and its pause, no more";
}

TEST_F(PrintTest, ZeroAnd255AreStoredAsCharacters) {
  ts::Locate(2, 1);
  ts::PrintText(std::string("\0\xFF", 2), false);
  EXPECT_EQ(Ch(2, 1), 0);
  EXPECT_EQ(Ch(2, 2), 255);
  EXPECT_EQ(ts::Screen().column, 3);
}

TEST_F(PrintTest, CellsTakeTheCurrentColoursWithBlink) {
  ts::SetColor(20, 3);
  ts::Locate(1, 1);
  ts::PrintText("x", false);
  EXPECT_EQ(ts::Screen().cells[0][0].attr, 0x80 | 3 << 4 | 4);
}

TEST_F(PrintTest, NothingHappensWhileAnErrorIsPending) {
  ts::Locate(3, 3);
  ts::RaiseError(53);
  ts::PrintText("abc", true);
  ts::Locate(9, 9);
  ts::SetColor(1, 2);
  ts::SetPalette(1, 8);
  EXPECT_EQ(Ch(3, 3), 0);
  EXPECT_EQ(ts::Screen().row, 3);
  EXPECT_EQ(ts::Screen().fg, 7);
  EXPECT_EQ(ts::Screen().palette[1], 0x0000AAu);
  EXPECT_EQ(ts::PendingError(), 53u);
}

}  // namespace
