// The name field: keys, exit codes, what the field shows, the "ESC"
// mouse target and the clock.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "export/field_editor.h"
#include "support/scripted.h"
#include "textscreen/keyboard.h"
#include "textscreen/mouse.h"
#include "textscreen/screen.h"

namespace {

using ts::Key;

constexpr int kRow = 14, kColumn = 42, kWidth = 8;
const std::string kDots(8, char(250));

// One key for the script: typed text, a key with modifiers, or a raw
// key-buffer entry for codes no key of the table gives.
struct Stroke {
  std::string text;
  Key key = Key::None;
  unsigned mods = 0;
  int ch = -1, scan = 0;
};
Stroke T(std::string s) { return {std::move(s)}; }
Stroke K(Key k, unsigned mods = 0) { return {"", k, mods}; }
Stroke Raw(int ch, int scan = 0) { return {"", Key::None, 0, ch, scan}; }

struct Seen {
  long cursor = -1;  // cell under the editing cursor, sampled while it waits
  int startLine = -1, stopLine = -1;
  std::string field;  // the field's cells while editing
  int fg = -1, bg = -1;
};

class EditorTest : public tst::LayerTest {
 protected:
  void Apply(const Stroke& s) {
    if (!s.text.empty()) Type(s.text);
    else if (s.ch >= 0) ts::PushKeyEntry({uint8_t(s.ch), uint8_t(s.scan)});
    else Press(s.key, s.mods);
  }

  // Queues the strokes, lets the editor take them, samples what it shows
  // once it waits with the cursor visible, then gives the last stroke.
  void Edit(std::string initial, const std::vector<Stroke>& strokes, const Stroke& last) {
    text = std::move(initial);
    ts::Locate(kRow, kColumn);
    for (const Stroke& s : strokes) Apply(s);
    clock.After(400, [this, last] { Sample(last); });
    exitCode = -99;
    logship::EditField(kWidth, exitCode, text, 14, 4);
  }

  void Sample(const Stroke& last) {
    const ts::ScreenState& s = ts::Screen();
    if (!s.cursorVisible || s.row != kRow) {  // between two passes: a little later
      clock.After(1, [this, last] { Sample(last); });
      return;
    }
    seen.cursor = s.column - kColumn;
    seen.startLine = s.startLine;
    seen.stopLine = s.stopLine;
    seen.field = tst::RowText(kRow, kColumn, kColumn + kWidth - 1);
    seen.fg = tst::Fg(kRow, kColumn);
    seen.bg = tst::Bg(kRow, kColumn);
    Apply(last);
  }

  long exitCode = -99;
  std::string text;
  Seen seen;
};

struct Case {
  std::string name;
  std::string initial;
  std::vector<Stroke> strokes;
  Stroke last;
  long exitCode;
  std::string text;
  long cursor;  // before the last stroke
};

const Stroke kEnter = K(Key::Enter);

// The rows of `table`, then a row for each character of the classes the
// field refuses and takes at their edges, and Del and Backspace on every
// cell of a full field.
std::vector<Case> WithEveryCell(std::vector<Case> table) {
  for (unsigned char c : std::string("!\"#$%&'()*+,-./:;<=>?@[\\]^_`"))
    table.push_back({"Refused" + std::to_string(c), "", {T(std::string(1, char(c)))}, kEnter, 0,
                     "", 0});
  for (unsigned char c : std::string("|09azAZ"))
    table.push_back({"Taken" + std::to_string(c), "", {T(std::string(1, char(c)))}, kEnter, 0,
                     std::string(1, char(std::toupper(c))), 1});
  const std::string full = "ABCDEFGH";
  for (int cell = 0; cell < kWidth; ++cell) {
    std::vector<Stroke> toCell(size_t(cell), K(Key::Right));
    std::vector<Stroke> del = toCell, backspace = toCell;
    del.push_back(K(Key::Del));
    backspace.push_back(K(Key::Right));
    backspace.push_back(K(Key::Backspace));
    table.push_back({"DelOnCell" + std::to_string(cell + 1), full, del, kEnter, 0,
                     std::string(full).erase(size_t(cell), 1), cell});
    table.push_back({"BackspaceAfterCell" + std::to_string(cell + 1), full, backspace, kEnter, 0,
                     std::string(full).erase(size_t(cell), 1), cell});
  }
  return table;
}

const std::vector<Case> kKeyTable = WithEveryCell({
    // Keys that end the editing.
    {"Enter", "", {}, kEnter, 0, "", 0},
    {"Esc", "", {}, K(Key::Esc), 1, "", 0},
    {"Up", "", {}, K(Key::Up), 2, "", 0},
    {"Down", "", {}, K(Key::Down), 9, "", 0},
    {"Tab", "", {}, K(Key::Tab), 9, "", 0},
    {"ShiftTab", "", {}, K(Key::Tab, ts::kModShift), 15, "", 0},
    {"PgUp", "", {}, K(Key::PgUp), 73, "", 0},
    {"PgDn", "", {}, K(Key::PgDn), 81, "", 0},
    {"AltX", "", {}, K(Key::X, ts::kModAlt), 45, "", 0},
    {"F1", "", {}, K(Key::F1), 59, "", 0},
    {"F5", "", {}, K(Key::F5), 63, "", 0},
    {"F7", "", {}, K(Key::F7), 65, "", 0},
    {"F10", "", {}, K(Key::F10), 68, "", 0},
    {"CtrlF1", "", {}, K(Key::F1, ts::kModCtrl), 94, "", 0},
    {"CtrlLeft", "", {}, K(Key::Left, ts::kModCtrl), 115, "", 0},
    {"F12", "", {}, K(Key::F12), 134, "", 0},
    {"CtrlM", "", {}, K(Key::M, ts::kModCtrl), 0, "", 0},
    {"CtrlI", "", {}, K(Key::I, ts::kModCtrl), 9, "", 0},
    {"EditsSurviveEsc", "", {T("ab")}, K(Key::Esc), 1, "AB", 2},
    {"EnterAfterEditing", "ab", {K(Key::Right), K(Key::Ins), T("x")}, kEnter, 0, "aXb", 2},
    // Keys that are ignored: nothing changes, the editing goes on.
    {"ShiftF10", "AB", {K(Key::F10, ts::kModShift)}, kEnter, 0, "AB", 0},
    {"Scan135", "AB", {Raw(0, 135)}, kEnter, 0, "AB", 0},
    {"KeypadMiddle", "AB", {Raw(0, 76)}, kEnter, 0, "AB", 0},
    {"CtrlF11", "AB", {K(Key::F11, ts::kModCtrl)}, kEnter, 0, "AB", 0},
    {"AltLeft", "AB", {K(Key::Left, ts::kModAlt)}, kEnter, 0, "AB", 0},
    {"CtrlA", "AB", {K(Key::A, ts::kModCtrl)}, kEnter, 0, "AB", 0},
    {"Punctuation", "", {T("!-./:@[_`")}, kEnter, 0, "", 0},
    // Typed characters.
    {"LowerCaseKept", "abc", {}, kEnter, 0, "abc", 0},
    {"TypedUpperCased", "abc", {T("xy")}, kEnter, 0, "XYc", 2},
    {"LongInitialCut", "ABCDEFGHIJ", {}, kEnter, 0, "ABCDEFGH", 0},
    {"LeadingBlanksKept", "  AB  ", {}, kEnter, 0, "  AB", 0},
    {"NinthLetterRefused", "", {T("abcdefghi")}, kEnter, 0, "ABCDEFGH", 8},
    {"DigitsAndSpace", "", {T("1 2")}, kEnter, 0, "1 2", 3},
    {"BracesAndTilde", "", {T("{}~")}, kEnter, 0, "{}~", 3},
    {"HighCodes", "", {Raw(127), Raw(128), Raw(132), Raw(255)}, kEnter, 0, "\x7f\x80\x84\xff", 4},
    {"InsertOnABC", "ABC", {K(Key::Right), K(Key::Ins), T("x")}, kEnter, 0, "AXBC", 2},
    {"InsertFullRefused", "ABCDEFGH", {K(Key::Ins), T("x")}, kEnter, 0, "ABCDEFGH", 0},
    {"OverwriteFull", "ABCDEFGH", {T("x")}, kEnter, 0, "XBCDEFGH", 1},
    {"InsertTwiceIsOverwrite", "ABC", {K(Key::Ins), K(Key::Ins), T("x")}, kEnter, 0, "XBC", 1},
    // Cursor keys.
    {"RightStopsAtWidth", "AB", std::vector<Stroke>(9, K(Key::Right)), kEnter, 0, "AB", 8},
    {"LeftAtStartIgnored", "AB", {K(Key::Left)}, kEnter, 0, "AB", 0},
    {"LeftBack", "AB", {K(Key::Right), K(Key::Right), K(Key::Left)}, kEnter, 0, "AB", 1},
    {"Home", "ABC", {K(Key::End), K(Key::Home)}, kEnter, 0, "ABC", 0},
    {"EndAfterLastNonBlank", "AB C", {K(Key::End)}, kEnter, 0, "AB C", 4},
    {"EndOnEmpty", "", {K(Key::End)}, kEnter, 0, "", 0},
    {"EndOnFullThenRefused", "ABCDEFGH", {K(Key::End), T("x")}, kEnter, 0, "ABCDEFGH", 8},
    // Deleting.
    {"DelSecondCell", "ABC", {K(Key::Right), K(Key::Del)}, kEnter, 0, "AC", 1},
    {"DelPastLastCell", "ABCDEFGH", {K(Key::End), K(Key::Del)}, kEnter, 0, "ABCDEFGH", 8},
    {"BackspaceAtStartIgnored", "ABC", {K(Key::Backspace)}, kEnter, 0, "ABC", 0},
    {"BackspaceThirdCell", "ABC", {K(Key::Right), K(Key::Right), K(Key::Backspace)}, kEnter, 0,
     "AC", 1},
    {"CtrlHIsBackspace", "ABC", {K(Key::End), K(Key::H, ts::kModCtrl)}, kEnter, 0, "AB", 2},
    {"F6ClearsToEnd", "ABCDEF", {K(Key::Right), K(Key::Right), K(Key::F6)}, kEnter, 0, "AB", 2},
    {"AltYClearsToEnd", "ABCDEF", {K(Key::Right), K(Key::Right), K(Key::Y, ts::kModAlt)}, kEnter,
     0, "AB", 2},
});

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class KeyTable : public EditorTest, public ::testing::WithParamInterface<Case> {};

TEST_P(KeyTable, EndsWithCodeTextAndCursor) {
  const Case& c = GetParam();
  Edit(c.initial, c.strokes, c.last);
  EXPECT_EQ(exitCode, c.exitCode);
  EXPECT_EQ(text, c.text);
  EXPECT_EQ(seen.cursor, c.cursor);
  EXPECT_TRUE(boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyTable, ::testing::ValuesIn(kKeyTable),
                         [](const auto& info) { return info.param.name; });

TEST_F(EditorTest, EmptyFieldShowsDotsAndEndsInColourOneOnRed) {
  ts::Locate(kRow, kColumn + kWidth + 1);
  ts::PrintText("XX", false);  // the cell after the field, and one more
  Edit("", {}, kEnter);
  EXPECT_EQ(seen.field, kDots);
  EXPECT_EQ(seen.cursor, 0);
  EXPECT_EQ(seen.fg, 14);
  EXPECT_EQ(seen.bg, 4);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(text, "");
  EXPECT_EQ(tst::RowText(kRow, kColumn, kColumn + kWidth + 1), std::string(9, ' ') + "X");
  for (int c = kColumn; c <= kColumn + kWidth; ++c) {
    EXPECT_EQ(tst::Fg(kRow, c), 1) << c;
    EXPECT_EQ(tst::Bg(kRow, c), 4) << c;
  }
  EXPECT_FALSE(ts::Screen().cursorVisible);
  EXPECT_EQ(ts::Screen().column, kColumn + kWidth + 1);
}

TEST_F(EditorTest, FinalTextThenSpacesToTheCellAfterTheField) {
  Edit("abc", {}, kEnter);
  EXPECT_EQ(tst::RowText(kRow, kColumn, kColumn + kWidth), "abc      ");
  EXPECT_EQ(tst::Fg(kRow, kColumn), 1);
  EXPECT_EQ(ts::Screen().fg, 1);
  EXPECT_EQ(ts::Screen().bg, 4);
}

TEST_F(EditorTest, LongInitialTextShowsInFullAtTheStart) {
  Edit("ABCDEFGHIJ", {}, kEnter);
  EXPECT_EQ(seen.field, "ABCDEFGH");
  EXPECT_EQ(tst::RowText(kRow, kColumn + 8, kColumn + 9), " J");  // the final print covers 9
}

TEST_F(EditorTest, RedrawShowsCellsThenDots) {
  struct Shown {
    std::string initial;
    std::vector<Stroke> strokes;
    std::string field;
  };
  const std::vector<Shown> shown = {
      // The cell under the cursor shows as stored, blank or not.
      {"", {T("ab")}, "AB " + std::string(5, char(250))},
      {"ABCDEF", {K(Key::Right), K(Key::Right), K(Key::F6)}, "AB " + std::string(5, char(250))},
      // Blank cells up to the last non-blank one show as blanks.
      {"A  D", {K(Key::Right)}, "A  D" + std::string(4, char(250))},
      {"A", {K(Key::Right), K(Key::Right)}, "A  " + std::string(5, char(250))},
      {"ABCDEFGH", {K(Key::End)}, "ABCDEFGH"},
  };
  for (const Shown& s : shown) {
    seen = {};
    Edit(s.initial, s.strokes, kEnter);
    EXPECT_EQ(seen.field, s.field) << s.initial;
  }
}

TEST_F(EditorTest, CursorShapeFollowsInsertMode) {
  Edit("AB", {}, kEnter);
  EXPECT_EQ(seen.startLine, 6);
  EXPECT_EQ(seen.stopLine, 7);
  seen = {};
  Edit("AB", {K(Key::Ins)}, kEnter);
  EXPECT_EQ(seen.startLine, 6);
  EXPECT_EQ(seen.stopLine, 1);
  // A new call starts in overwrite mode again.
  seen = {};
  Edit("AB", {T("x")}, kEnter);
  EXPECT_EQ(seen.stopLine, 7);
  EXPECT_EQ(text, "XB");
}

TEST_F(EditorTest, HotspotLightsUpOverEsc) {
  struct Point {
    int row, column;
    int bg;
  };
  // Columns 53 to 56 of row 25 are the target; 52, 57 and row 24 are not.
  for (Point p : {Point{25, 53, 4}, Point{25, 56, 4}, Point{25, 52, 0}, Point{25, 57, 0},
                  Point{24, 54, 0}}) {
    ts::Locate(25, 53);
    ts::SetColor(3, 1);
    ts::PrintText("ESC", false);
    MoveMouseTo(p.row, p.column);
    Edit("", {}, kEnter);
    EXPECT_EQ(tst::RowText(25, 53, 55), "ESC") << p.row << "," << p.column;
    EXPECT_EQ(tst::Fg(25, 53), 14) << p.row << "," << p.column;
    EXPECT_EQ(tst::Bg(25, 55), p.bg) << p.row << "," << p.column;
    EXPECT_EQ(exitCode, 0);
  }
}

TEST_F(EditorTest, MouseLeavingDimsEscBeforeTheNextKey) {
  MoveMouseTo(25, 54);
  int bgOver = -1, bgAfter = -1;
  ts::Locate(kRow, kColumn);
  clock.After(200, [&] {
    bgOver = tst::Bg(25, 53);
    MoveMouseTo(10, 10);
  });
  clock.After(200, [&] {
    bgAfter = tst::Bg(25, 53);
    Press(Key::Enter);
  });
  logship::EditField(kWidth, exitCode, text, 14, 4);
  EXPECT_EQ(bgOver, 4);
  EXPECT_EQ(bgAfter, 0);
  EXPECT_EQ(tst::Fg(25, 53), 14);
}

TEST_F(EditorTest, DoubleClickOnEscEndsLikeEsc) {
  ts::Locate(kRow, kColumn);
  Type("ab");
  clock.After(300, [this] { DoubleClick(25, 54); });
  text = "";
  logship::EditField(kWidth, exitCode, text, 14, 4);
  EXPECT_EQ(exitCode, 1);
  EXPECT_EQ(text, "AB");
  // The second click's release is left for whoever reads the queue next.
  EXPECT_EQ(ts::MouseEventsWaiting(), 1);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(EditorTest, SingleClickOnEscOnlyHighlights) {
  ts::Locate(kRow, kColumn);
  clock.After(100, [this] { Click(25, 54); });
  clock.After(800, [this] { Type("q\r"); });
  logship::EditField(kWidth, exitCode, text, 14, 4);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(text, "Q");
  EXPECT_EQ(tst::Bg(25, 53), 4);
}

TEST_F(EditorTest, DoubleClickElsewhereDoesNothing) {
  ts::Locate(kRow, kColumn);
  clock.After(100, [this] { DoubleClick(20, 20); });
  clock.After(800, [this] { Press(Key::Enter); });
  logship::EditField(kWidth, exitCode, text, 14, 4);
  EXPECT_EQ(exitCode, 0);
}

TEST_F(EditorTest, ClockRunsAtTopRight) {
  clock.SetWallClock(2017, 12, 25, 9, 5, 37);
  Edit("", {}, kEnter);
  EXPECT_EQ(tst::RowText(1, 71, 78), "09:05:37");
  EXPECT_EQ(tst::Fg(1, 71), 7);
  EXPECT_EQ(tst::Bg(1, 71), 0);
}

TEST_F(EditorTest, ClockWaitsForTheNextSecondAtZero) {
  clock.SetWallClock(2017, 12, 25, 9, 5, 0);
  ts::Locate(kRow, kColumn);
  std::string early;
  clock.After(500, [&] { early = tst::RowText(1, 71, 78); });
  clock.After(1000, [&] { Press(Key::Enter); });
  logship::EditField(kWidth, exitCode, text, 14, 4);
  EXPECT_EQ(early, std::string(8, '\0'));
  EXPECT_EQ(tst::RowText(1, 71, 78), "09:05:01");
}

}  // namespace
