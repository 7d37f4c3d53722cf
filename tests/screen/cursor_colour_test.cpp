#include "support/scripted.h"
#include "textscreen/reset.h"
#include "textscreen/screen.h"

namespace {

class CursorColourTest : public tst::LayerTest {};

TEST_F(CursorColourTest, StartState) {
  const ts::ScreenState& s = ts::Screen();
  EXPECT_EQ(s.row, 1);
  EXPECT_EQ(s.column, 1);
  EXPECT_FALSE(s.cursorVisible);
  EXPECT_EQ(s.startLine, 4);
  EXPECT_EQ(s.stopLine, 4);
  EXPECT_EQ(s.fg, 7);
  EXPECT_EQ(s.bg, 0);
  for (const auto& row : s.cells)
    for (const auto& cell : row) ASSERT_TRUE(cell.ch == 0 && cell.attr == 0);
  EXPECT_EQ(s.palette[0], 0x000000u);
  EXPECT_EQ(s.palette[6], 0xAA5500u);
  EXPECT_EQ(s.palette[8], 0x555555u);
  EXPECT_EQ(s.palette[15], 0xFFFFFFu);
}

TEST_F(CursorColourTest, LocateSetsWhatIsGiven) {
  ts::Locate(25, 49);
  EXPECT_FALSE(ts::ErrorPending());
  ts::Locate(10, 20, 1, 6, 7);
  EXPECT_EQ(ts::Screen().row, 10);
  EXPECT_EQ(ts::Screen().column, 20);
  EXPECT_TRUE(ts::Screen().cursorVisible);
  EXPECT_EQ(ts::Screen().startLine, 6);
  EXPECT_EQ(ts::Screen().stopLine, 7);

  ts::LocateGiven(ts::kGivenColumn | ts::kGivenVisible, 0, 5, 0, 0, 0);
  EXPECT_EQ(ts::Screen().row, 10);
  EXPECT_EQ(ts::Screen().column, 5);
  EXPECT_FALSE(ts::Screen().cursorVisible);
  EXPECT_EQ(ts::Screen().startLine, 6);
}

TEST_F(CursorColourTest, LocateRefusesBadArgumentsAndChangesNothing) {
  struct Case {
    const char* what;
    unsigned given;
    long row, column, visible, start, stop;
  };
  const unsigned all = ts::kGivenRow | ts::kGivenColumn | ts::kGivenVisible |
                       ts::kGivenStartLine | ts::kGivenStopLine;
  const Case cases[] = {
      {"column 81", ts::kGivenRow | ts::kGivenColumn, 1, 81, 0, 0, 0},
      {"row 0", ts::kGivenRow | ts::kGivenColumn, 0, 5, 0, 0, 0},
      {"row 26", ts::kGivenRow, 26, 0, 0, 0, 0},
      {"good row, bad column", ts::kGivenRow | ts::kGivenColumn, 5, 0, 0, 0, 0},
      {"visible 2", all, 5, 5, 2, 4, 4},
      {"stop line 32", all, 5, 5, 1, 4, 32},
      {"start line -1", all, 5, 5, 1, -1, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ts::ResetLayer();
    ts::Locate(12, 30, 1, 2, 3);
    ts::LocateGiven(c.given, c.row, c.column, c.visible, c.start, c.stop);
    EXPECT_EQ(ts::PendingError(), 5u);
    EXPECT_EQ(ts::Screen().row, 12);
    EXPECT_EQ(ts::Screen().column, 30);
    EXPECT_TRUE(ts::Screen().cursorVisible);
    EXPECT_EQ(ts::Screen().startLine, 2);
    EXPECT_EQ(ts::Screen().stopLine, 3);
  }
}

TEST_F(CursorColourTest, SetColor) {
  ts::SetColor(14, 12);
  EXPECT_EQ(ts::Screen().fg, 14);
  EXPECT_EQ(ts::Screen().bg, 4);
  ts::SetColor(31);
  EXPECT_EQ(ts::Screen().fg, 31);
  EXPECT_EQ(ts::Screen().bg, 4);
  ts::SetColorGiven(0, 99, 99);
  EXPECT_FALSE(ts::ErrorPending());
  EXPECT_EQ(ts::Screen().fg, 31);
}

TEST_F(CursorColourTest, SetColorRefusesBadColours) {
  struct Case {
    long fg, bg;
  };
  for (Case c : {Case{32, 0}, Case{-1, 0}, Case{1, 16}, Case{1, -1}}) {
    SCOPED_TRACE(testing::Message() << c.fg << "," << c.bg);
    ts::ResetLayer();
    ts::SetColor(3, 2);
    ts::SetColor(c.fg, c.bg);
    EXPECT_EQ(ts::PendingError(), 5u);
    EXPECT_EQ(ts::Screen().fg, 3);
    EXPECT_EQ(ts::Screen().bg, 2);
  }
}

TEST_F(CursorColourTest, EgaColours) {
  const std::pair<int, uint32_t> cases[] = {{0, 0x000000}, {8, 0x000055}, {20, 0xAA5500},
                                            {7, 0xAAAAAA}, {56, 0x555555}, {63, 0xFFFFFF}};
  for (auto [n, rgb] : cases) EXPECT_EQ(ts::EgaColour(n), rgb) << n;
}

TEST_F(CursorColourTest, SetPalette) {
  ts::SetPalette(1, 8);
  EXPECT_EQ(ts::Screen().palette[1], 0x000055u);
  EXPECT_EQ(ts::SnapshotScreen().palette[1], 0x000055u);

  for (auto [attribute, colour] : {std::pair{16L, 0L}, {-1L, 0L}, {2L, 64L}, {2L, -1L}}) {
    ts::ResetLayer();
    ts::SetPalette(attribute, colour);
    EXPECT_EQ(ts::PendingError(), 5u);
    EXPECT_EQ(ts::Screen().palette[2], 0x00AA00u);
  }
}

TEST_F(CursorColourTest, SnapshotCopiesTheScreen) {
  ts::Locate(3, 4);
  ts::PrintText("hi", false);
  ts::ScreenState copy = ts::SnapshotScreen();
  ts::PrintText("!", false);
  EXPECT_EQ(copy.cells[2][3].ch, 'h');
  EXPECT_EQ(copy.cells[2][5].ch, 0);
  EXPECT_EQ(copy.column, 6);
}

}  // namespace
