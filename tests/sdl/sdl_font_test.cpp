// TrueType fonts on the window for real, under SDL's dummy video driver:
// how the glyphs sit in their cells, and faces too large for a window.
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <fstream>
#include <map>

#include "textscreen/errors.h"
#include "textscreen/font.h"
#include "textscreen/screen.h"
#include "windowed_child.h"

namespace {

using sdltest::BetweenRedraws;
using sdltest::ChildRun;
using sdltest::PixelAt;
using sdltest::Report;
using sdltest::RunWindowedInChild;
using sdltest::SurfaceSize;
using sdltest::WaitRedraws;
using sdltest::WaitUntil;

using sdltest::kDejaVu;
constexpr long kWhite = 0xFFFFFF;

// The pixels of one line through the cell at row, column that are white:
// along pixel row `at` (as columns from the cell's left edge) or down pixel
// column `at` (as rows from its top). "3" or "3,4"; "" for none.
std::string White(int row, int column, bool alongRow, int at) {
  const int w = ts::CellWidth(), h = ts::CellHeight();
  std::string white;
  for (int i = 0; i < (alongRow ? w : h); ++i) {
    const int x = (column - 1) * w + (alongRow ? i : at);
    const int y = (row - 1) * h + (alongRow ? at : i);
    if (PixelAt(x, y) == kWhite) white += (white.empty() ? "" : ",") + std::to_string(i);
  }
  return white;
}

std::string Columns(int row, int column, int pixelRow) { return White(row, column, true, pixelRow); }
std::string Rows(int row, int column, int pixelColumn) {
  return White(row, column, false, pixelColumn);
}

// How many pixel rows (or columns) of the cell are white from edge to edge.
int FullLines(int row, int column, bool rows) {
  const int length = rows ? ts::CellWidth() : ts::CellHeight();
  std::string full;
  for (int i = 0; i < length; ++i) full += (i ? "," : "") + std::to_string(i);
  int count = 0;
  for (int at = 0; at < (rows ? ts::CellHeight() : ts::CellWidth()); ++at)
    count += White(row, column, rows, at) == full;
  return count;
}

// A frame of one cell inside, white on black, and a run of full blocks:
//   row 1  218 196 191     row 3  192 196 217
//   row 2  179  32 179     row 4  219 219 219
// Each line the child reports is "<what> <value>".
std::map<std::string, std::string> DrawFrame(double size) {
  ChildRun run = RunWindowedInChild([size](Report& report) {
    ts::UseFont(ts::LoadFont(kDejaVu, size, "monospace"));
    ts::SetColor(15, 0);
    const char* rows[] = {"\xDA\xC4\xBF", "\xB3 \xB3", "\xC0\xC4\xD9", "\xDB\xDB\xDB"};
    for (int r = 0; r < 4; ++r) {
      ts::Locate(r + 1, 1);
      ts::PrintText(rows[r], false);
    }
    WaitRedraws(2);
    BetweenRedraws([&] {
      const int right = ts::CellWidth() - 1, bottom = ts::CellHeight() - 1;
      const std::pair<std::string, std::string> seen[] = {
          {"width", std::to_string(ts::CellWidth())},
          {"height", std::to_string(ts::CellHeight())},
          {"179-top", Columns(2, 1, 0)},
          {"179-bottom", Columns(2, 1, bottom)},
          {"218-bottom", Columns(1, 1, bottom)},
          {"191-bottom", Columns(1, 3, bottom)},
          {"192-top", Columns(3, 1, 0)},
          {"217-top", Columns(3, 3, 0)},
          {"196-left", Rows(1, 2, 0)},
          {"196-right", Rows(1, 2, right)},
          {"191-left", Rows(1, 3, 0)},
          {"217-left", Rows(3, 3, 0)},
          {"218-right", Rows(1, 1, right)},
          {"192-right", Rows(3, 1, right)},
          {"179-full-columns", std::to_string(FullLines(2, 1, false))},
          {"196-full-rows", std::to_string(FullLines(1, 2, true))},
          {"219-full-rows", std::to_string(FullLines(4, 2, true))},
      };
      for (const auto& [what, value] : seen) report.Line(what + " " + value);
    });
  });
  std::map<std::string, std::string> seen;
  EXPECT_TRUE(run.exited) << run.Text();
  for (const std::string& line : run.lines) {
    const size_t blank = line.find(' ');
    if (blank != std::string::npos) seen[line.substr(0, blank)] = line.substr(blank + 1);
  }
  return seen;
}

// The corners' strokes continue the lines beside, above and below them,
// right corners and left ones alike, at sizes where the face's rounded
// bearings fall on either side of the pixel its strokes are drawn at.
TEST(SdlGlyphs, FrameCornersMeetTheirLinesAndLinesFillTheirCells) {
  struct Case {
    double size;
    const char *width, *height;
  };
  for (const Case& c : {Case{15, "8", "15"}, Case{17, "10", "17"}, Case{24, "13", "24"}}) {
    SCOPED_TRACE(c.size);
    auto seen = DrawFrame(c.size);
    ASSERT_EQ(seen["width"], c.width);
    ASSERT_EQ(seen["height"], c.height);
    ASSERT_NE(seen["179-top"], "");
    ASSERT_NE(seen["196-left"], "");
    EXPECT_EQ(seen["179-top"], seen["179-bottom"]);
    EXPECT_EQ(seen["218-bottom"], seen["179-bottom"]);
    EXPECT_EQ(seen["191-bottom"], seen["179-bottom"]);
    EXPECT_EQ(seen["192-top"], seen["179-top"]);
    EXPECT_EQ(seen["217-top"], seen["179-top"]);
    EXPECT_EQ(seen["196-right"], seen["196-left"]);
    EXPECT_EQ(seen["191-left"], seen["196-left"]);
    EXPECT_EQ(seen["217-left"], seen["196-left"]);
    EXPECT_EQ(seen["218-right"], seen["196-right"]);
    EXPECT_EQ(seen["192-right"], seen["196-right"]);
    // The side line runs unbroken from top to bottom, the horizontal line
    // from edge to edge, and the full block fills its cell.
    EXPECT_GE(std::stoi(seen["179-full-columns"]), 1);
    EXPECT_GE(std::stoi(seen["196-full-rows"]), 1);
    EXPECT_EQ(seen["219-full-rows"], c.height);
  }
}

// --- Faces too large for a window -----------------------------------------

// The widest window is 16383 pixels: 80 cells of 204 (DejaVu Sans Mono at
// 393 pixels) fit, 80 of 205 (at 394) do not.
TEST(SdlHugeFont, AFaceWhoseScreenNoWindowCanHoldLoadsNothing) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    WaitRedraws(1);
    for (double size : {393.0, 394.0, 500.0, 1000.0}) {
      const long handle = ts::LoadFont(kDejaVu, size, "monospace");
      report.Line(std::to_string(int(size)) + ": " +
                  (handle >= 32 ? std::string("a handle") : std::to_string(handle)));
    }
    ts::UseFont(ts::LoadFont(kDejaVu, 500, "monospace"));
    report.Line("error " + std::to_string(ts::PendingError()));
    report.Line(std::string(WaitRedraws(3) ? "redraws" : "no redraws") + ", " + SurfaceSize() +
                ", cell height " + std::to_string(ts::CellHeight()));
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.Text(),
            "393: a handle\n394: 0\n500: 0\n1000: 0\n"
            "error 258\n"
            "redraws, 640x400, cell height 16\n"
            "returned 0\n");
}

// The virtual memory the child uses now, in bytes.
rlim_t AddressSpaceInUse() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmSize:", 0) == 0) return rlim_t(std::stoull(line.substr(7))) * 1024;
  return 0;
}

// A window SDL cannot make (here for want of memory) is asked for once;
// the screen goes back to the built-in font and its window, and the tool
// goes on.
TEST(SdlHugeFont, AWindowThatCannotBeMadeGivesWayToTheBuiltInFont) {
  const std::string errors =
      ::testing::TempDir() + "sdl_font_stderr_" + std::to_string(getpid()) + ".txt";
  ChildRun run = RunWindowedInChild([&](Report& report) {
    if (!std::freopen(errors.c_str(), "w", stderr)) return;
    WaitRedraws(1);
    const long handle = ts::LoadFont(kDejaVu, 200, "monospace");  // 166 MB of window
    rlimit before{};
    getrlimit(RLIMIT_AS, &before);
    rlimit tight = before;
    tight.rlim_cur = AddressSpaceInUse() + (64u << 20);
    setrlimit(RLIMIT_AS, &tight);
    for (int use = 1; use <= 2; ++use) {
      ts::UseFont(handle);
      WaitUntil([] { return ts::CellHeight() == 16; });
      WaitRedraws(3);
      report.Line("use " + std::to_string(use) + ": " + SurfaceSize() + ", cell height " +
                  std::to_string(ts::CellHeight()));
    }
    setrlimit(RLIMIT_AS, &before);
    std::fflush(stderr);
    // Each line as far as SDL's reason, which differs from one build of
    // it to another.
    const std::string self = std::string(program_invocation_short_name) + ": ";
    std::ifstream written(errors);
    for (std::string line; std::getline(written, line);)
      report.Line(line.substr(0, line.find(':', self.size())));
  });
  std::remove(errors.c_str());
  ASSERT_TRUE(run.exited) << run.Text();
  const std::string self = std::string(program_invocation_short_name) + ": ";
  EXPECT_EQ(run.Text(),
            "use 1: 640x400, cell height 16\n"
            "use 2: 640x400, cell height 16\n" +
                self + "no window of 8320 x 5000\n" +
                self + "the screen shows the built-in font\n" +
                self + "the screen shows the built-in font\n"
            "returned 0\n");
}

}  // namespace
