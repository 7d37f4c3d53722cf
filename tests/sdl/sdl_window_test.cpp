// The window thread for real under SDL's dummy video driver: the end of
// the process, the mouse, the redraw's pixels, the window's size and the
// pauses around hidden commands.
#include <gtest/gtest.h>

#include <time.h>

#include <cstdio>
#include <set>
#include <thread>

#include "export/input_routines.h"
#include "textscreen/clock.h"
#include "textscreen/errors.h"
#include "textscreen/font.h"
#include "textscreen/keyboard.h"
#include "textscreen/mouse.h"
#include "textscreen/program.h"
#include "textscreen/screen.h"
#include "textscreen/window.h"
#include "windowed_child.h"

namespace {

using sdltest::BetweenRedraws;
using sdltest::ChildRun;
using sdltest::Hex;
using sdltest::PixelAt;
using sdltest::PushEvent;
using sdltest::Report;
using sdltest::RunWindowedInChild;
using sdltest::SurfaceSize;
using sdltest::WaitRedraws;
using sdltest::WaitUntil;

using sdltest::kDejaVu;

SDL_Event QuitEvent() {
  SDL_Event e{};
  e.type = SDL_QUIT;
  return e;
}

// "80x25 cells" when the surface is 80 x 25 cells of the current font.
std::string SizeInCells() {
  const std::string size = SurfaceSize();
  if (size == std::to_string(80 * ts::CellWidth()) + "x" + std::to_string(25 * ts::CellHeight()))
    return "80x25 cells";
  return size;
}

// --- The end of the process -------------------------------------------

struct EndCase {
  const char* name;
  void (*push)();
};

const EndCase kUntrappedEnds[] = {
    {"close control", [] { PushEvent(QuitEvent()); }},
    {"Break", [] { sdltest::PushKey(SDLK_BREAK, KMOD_NONE, 0); }},
    {"Ctrl+Scroll Lock", [] { sdltest::PushKey(SDLK_SCROLLOCK, KMOD_LCTRL, 0); }},
    // X11 gives the Break key as Pause with Ctrl.
    {"Ctrl+Pause", [] { sdltest::PushKey(SDLK_PAUSE, KMOD_RCTRL, 0); }},
};

TEST(SdlEnd, WithoutTrapCloseControlAndBreakStopTheProgramThenTheProcess) {
  for (const EndCase& c : kUntrappedEnds) {
    SCOPED_TRACE(c.name);
    ChildRun run = RunWindowedInChild([&](Report& report) {
      c.push();
      try {
        WaitUntil([] {
          ts::Step(1, [] {});
          return false;
        });
        report.Line("still running");
      } catch (const ts::ProgramStop&) {
        report.Line("stopped at a step boundary");
        throw;
      }
    });
    ASSERT_TRUE(run.exited) << run.Text();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.Text(), "stopped at a step boundary\nreturned 0\n");
  }
}

TEST(SdlEnd, TrappedCloseControlAndBreakOnlySetTheirBits) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    ts::TrapCloseRequests();
    int bits = 0;
    PushEvent(QuitEvent());
    WaitUntil([&] { return ((bits |= ts::TrapCloseRequests()) & 1) != 0; });
    sdltest::PushKey(SDLK_BREAK, KMOD_NONE, 0);
    WaitUntil([&] { return ((bits |= ts::TrapCloseRequests()) & 2) != 0; });
    report.Line("bits " + std::to_string(bits));
    sdltest::PushKey(SDLK_PAUSE, KMOD_LCTRL, 0);
    bits = 0;
    WaitUntil([&] { return ((bits |= ts::TrapCloseRequests()) & 2) != 0; });
    report.Line("Ctrl+Pause bits " + std::to_string(bits) +
                (ts::PauseRequested() ? ", paused" : ", not paused"));
    report.Line(ts::EndRequested() ? "ending" : "not ending");
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.Text(), "bits 3\nCtrl+Pause bits 2, not paused\nnot ending\nreturned 0\n");
}

// --- The CPU of a wait ---------------------------------------------------

// A wait that sleeps costs the process next to nothing; one that spins
// costs about a core for as long as it lasts, also on a busy machine,
// where it still gets a good share of one. Measured from the moment the
// window is up, over a stretch long enough not to hang on one wake-up,
// against a tenth of the stretch.
constexpr auto kIdleStretch = std::chrono::seconds(2);
constexpr double kIdleShare = 0.1;

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Both threads of the child, from its construction to Line().
class CpuStretch {
 public:
  CpuStretch() : cpu_(ProcessCpuSeconds()), wall_(std::chrono::steady_clock::now()) {}
  std::string Line() const {
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wall_;
    return "cpu " + std::to_string(ProcessCpuSeconds() - cpu_) + " over " +
           std::to_string(wall.count());
  }

 private:
  double cpu_;
  std::chrono::steady_clock::time_point wall_;
};

// The first redraw has been drawn: the window's start is over.
void WaitForTheWindow() { WaitUntil([] { return ts::sdl::RedrawCount() > 0; }); }

// The "cpu ... over ..." line among the child's report, held to its bound.
void ExpectIdle(const ChildRun& run, const char* what) {
  double cpu = -1, wall = 0;
  for (const std::string& line : run.lines)
    if (std::sscanf(line.c_str(), "cpu %lf over %lf", &cpu, &wall) == 2) break;
  ASSERT_GE(cpu, 0) << "no figures in the report:\n" << run.Text();
  EXPECT_GE(wall, 0.9 * std::chrono::duration<double>(kIdleStretch).count());
  EXPECT_LT(cpu, kIdleShare * wall) << "CPU seconds over " << wall << " s of waiting";
  std::printf("CPU of %s: %.3f s over %.2f s, bound %.3f s\n", what, cpu, wall, kIdleShare * wall);
}

TEST(SdlEnd, AnIdleWindowCostsAlmostNothing) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    WaitForTheWindow();
    CpuStretch stretch;
    std::this_thread::sleep_for(kIdleStretch);
    report.Line(stretch.Line());
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.exitCode, 0);
  ExpectIdle(run, "an idle window");
}

// --- The mouse ----------------------------------------------------------

SDL_Event Motion(int x, int y, int dx, int dy) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = Uint16(x);
  e.motion.y = Uint16(y);
  e.motion.xrel = Sint16(dx);
  e.motion.yrel = Sint16(dy);
  return e;
}

SDL_Event Button(Uint8 button, bool down, int x, int y) {
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.button = button;
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.button.x = Uint16(x);
  e.button.y = Uint16(y);
  return e;
}

TEST(SdlMouse, MotionButtonsAndWheelStepsReachTheQueue) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    PushEvent(Motion(100, 40, 3, -2));
    PushEvent(Button(SDL_BUTTON_LEFT, true, 100, 40));
    PushEvent(Button(SDL_BUTTON_LEFT, false, 100, 40));
    PushEvent(Button(SDL_BUTTON_RIGHT, true, 9, 399));
    PushEvent(Button(SDL_BUTTON_RIGHT, false, 9, 399));
    PushEvent(Button(SDL_BUTTON_WHEELUP, true, 9, 399));
    PushEvent(Button(SDL_BUTTON_WHEELUP, false, 9, 399));
    PushEvent(Button(SDL_BUTTON_WHEELDOWN, true, 9, 399));
    PushEvent(Button(SDL_BUTTON_WHEELDOWN, false, 9, 399));
    // The window thread takes events in order: once the key behind them
    // is in, every mouse event they bring is queued.
    sdltest::PushKey(SDLK_x, KMOD_NONE, 'x');
    WaitUntil([] { return ts::KeysWaiting() > 0; });
    while (ts::NextMouseEvent()) {
      report.Line(std::to_string(ts::RoundHalfEven(ts::MouseColumn())) + "," +
                  std::to_string(ts::RoundHalfEven(ts::MouseRow())) + " left " +
                  std::to_string(ts::MouseButton(1)) + " right " +
                  std::to_string(ts::MouseButton(2)) + " wheel " + std::to_string(ts::MouseWheel()));
    }
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.Text(),
            "13,3 left 0 right 0 wheel 0\n"  // the motion and its copy
            "13,3 left 0 right 0 wheel 0\n"
            "13,3 left -1 right 0 wheel 0\n"
            "13,3 left 0 right 0 wheel 0\n"
            "2,25 left 0 right -1 wheel 0\n"
            "2,25 left 0 right 0 wheel 0\n"
            "2,25 left 0 right 0 wheel -1\n"  // a step is a press and a release
            "2,25 left 0 right 0 wheel 0\n"
            "2,25 left 0 right 0 wheel 1\n"
            "2,25 left 0 right 0 wheel 0\n"
            "returned 0\n");
}

// --- The waits -----------------------------------------------------------

struct IdleWait {
  const char* name;
  void (*prepare)();
  void (*wait)();
  void (*input)();  // what ends the wait, a second after it began
};

void PressLeft() {
  PushEvent(Button(SDL_BUTTON_LEFT, true, 10, 10));
  WaitUntil([] { return ts::NextMouseEvent(); });
}

const IdleWait kIdleWaits[] = {
    {"end prompt", [] {}, [] { ts::EndProgram(); },
     [] { sdltest::PushKey(SDLK_x, KMOD_NONE, 'x'); }},
    {"WaitKey", [] {}, [] {
       ts::Bytes key;
       logship::WaitKey(key);
     }, [] { sdltest::PushKey(SDLK_x, KMOD_NONE, 'x'); }},
    {"release wait of SettleMouse", PressLeft, [] { logship::SettleMouse(); },
     [] { PushEvent(Button(SDL_BUTTON_LEFT, false, 10, 10)); }},
    {"release wait of DetectDoubleClick", PressLeft, [] {
       float flag = 0;
       logship::DetectDoubleClick(flag);
     }, [] { PushEvent(Button(SDL_BUTTON_LEFT, false, 10, 10)); }},
};

TEST(SdlWaits, AWaitForTheUserCostsAlmostNothing) {
  for (const IdleWait& c : kIdleWaits) {
    SCOPED_TRACE(c.name);
    ChildRun run = RunWindowedInChild([&](Report& report) {
      c.prepare();
      WaitForTheWindow();
      std::string figures;
      CpuStretch stretch;
      // The user, idle for the stretch: what it costs is the wait's.
      std::thread user([&] {
        std::this_thread::sleep_for(kIdleStretch);
        figures = stretch.Line();
        c.input();
      });
      try {
        c.wait();
      } catch (const ts::ProgramStop&) {
        user.join();
        report.Line("ended");
        report.Line(figures);
        throw;
      }
      user.join();
      report.Line("ended");
      report.Line(figures);
    });
    ASSERT_TRUE(run.exited) << run.Text();
    ASSERT_EQ(run.lines.size(), 3u) << run.Text();
    EXPECT_EQ(run.lines[0], "ended");
    EXPECT_EQ(run.lines[2], "returned 0");
    ExpectIdle(run, c.name);
  }
}

// --- The redraw ----------------------------------------------------------

TEST(SdlRedraw, CellsShowTheirPaletteColoursAndChangesAreDrawn) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    ts::SetPalette(1, 8);
    ts::Locate(1, 1);
    ts::SetColor(1, 1);
    ts::PrintText("A", false);
    ts::SetColor(15, 0);
    ts::PrintText("\xDB", false);  // the full block
    WaitRedraws(2);
    BetweenRedraws([&] {
      report.Line("blue " + Hex(PixelAt(3, 5)) + " block " + Hex(PixelAt(8 + 3, 5)) +
                  " untouched " + Hex(PixelAt(16 + 3, 5)) + " bottom right " +
                  Hex(PixelAt(639, 399)));
    });
    ts::Locate(1, 1);
    ts::SetColor(4, 4);
    ts::PrintText("A", false);
    ts::SetPalette(15, 14);  // every white cell turns yellow
    WaitRedraws(2);
    BetweenRedraws([&] {
      report.Line("red " + Hex(PixelAt(0, 0)) + " block " + Hex(PixelAt(8 + 3, 5)));
    });
    report.Line("size " + SurfaceSize());
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.Text(),
            "blue 000055 block FFFFFF untouched 000000 bottom right 000000\n"
            "red AA0000 block AAAA55\n"
            "size 640x400\n"
            "returned 0\n");
}

struct Point {
  int x, y;
};

// The colours that pixels show while a bit of the redraw count is set and
// while it is clear, as "set <colours>, clear <colours>". The surface
// shows the redraw drawn last, whose count is RedrawCount() - 1.
std::vector<std::string> ColoursByPhase(uint32_t bit, const std::vector<Point>& points) {
  std::vector<std::set<long>> set(points.size()), clear(points.size());
  bool seenSet = false, seenClear = false;
  WaitRedraws(2);
  for (int i = 0; i < 40 && !(seenSet && seenClear); ++i) {
    WaitRedraws(1);
    BetweenRedraws([&] {
      const bool on = ((ts::sdl::RedrawCount() - 1) & bit) != 0;
      (on ? seenSet : seenClear) = true;
      for (size_t p = 0; p < points.size(); ++p)
        (on ? set : clear)[p].insert(PixelAt(points[p].x, points[p].y));
    });
  }
  auto join = [](const std::set<long>& colours) {
    std::string text;
    for (long c : colours) text += (text.empty() ? "" : "+") + Hex(c);
    return text;
  };
  std::vector<std::string> out;
  for (size_t p = 0; p < points.size(); ++p)
    out.push_back("set " + join(set[p]) + ", clear " + join(clear[p]));
  return out;
}

TEST(SdlRedraw, CursorAndBlinkingCellsTakeTurns) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    ts::Locate(5, 10);
    ts::SetColor(14, 1);
    ts::PrintText(" ", false);
    ts::Locate(5, 20);
    ts::SetColor(30, 1);  // blinking yellow on blue
    ts::PrintText("\xDB", false);
    const int x = 9 * 8 + 4, top = 4 * 16;

    // Overwrite shape: the cell's two bottom rows, 14 and 15 of 16.
    ts::Locate(5, 10, 1, 6, 7);
    auto rows = ColoursByPhase(4, {{x, top + 13}, {x, top + 14}, {x, top + 15}});
    report.Line("overwrite row 13: " + rows[0]);
    report.Line("overwrite row 14: " + rows[1]);
    report.Line("overwrite row 15: " + rows[2]);

    // Insert shape: rows 1 to 15.
    ts::Locate(5, 10, 1, 6, 1);
    rows = ColoursByPhase(4, {{x, top}, {x, top + 1}, {x, top + 15}});
    report.Line("insert row 0: " + rows[0]);
    report.Line("insert row 1: " + rows[1]);
    report.Line("insert row 15: " + rows[2]);

    report.Line("blinking cell: " + ColoursByPhase(8, {{19 * 8 + 4, top + 8}})[0]);

    // The cursor held after a full row stands in column 80.
    ts::Locate(7, 1, 1, 6, 7);
    ts::SetColor(14, 1);
    ts::PrintText(std::string(80, ' '), false);
    report.Line("held: " + ColoursByPhase(4, {{79 * 8 + 4, 6 * 16 + 15}})[0]);
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.Text(),
            "overwrite row 13: set 0000AA, clear 0000AA\n"
            "overwrite row 14: set FFFF55, clear 0000AA\n"
            "overwrite row 15: set FFFF55, clear 0000AA\n"
            "insert row 0: set 0000AA, clear 0000AA\n"
            "insert row 1: set FFFF55, clear 0000AA\n"
            "insert row 15: set FFFF55, clear 0000AA\n"
            "blinking cell: set 0000AA, clear FFFF55\n"
            "held: set FFFF55, clear 0000AA\n"
            "returned 0\n");
}

TEST(SdlRedraw, WindowTakesTheSizeOfTheLoadedFont) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    WaitRedraws(1);
    report.Line("built-in " + SurfaceSize());
    long handle = ts::LoadFont(kDejaVu, 15, "monospace");
    ts::UseFont(handle);
    WaitRedraws(2);
    report.Line("cell height " + std::to_string(ts::CellHeight()) + ", " + SizeInCells());
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.Text(), "built-in 640x400\ncell height 15, 80x25 cells\nreturned 0\n");
}

// --- Hidden, shown, hidden commands --------------------------------------

TEST(SdlWindow, HiddenFromTheStartNoWindowIsMadeBeforeItIsShown) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    ts::ScreenHide();
    ts::ShowMousePointer();
    ts::TrapCloseRequests();
    ts::SetPalette(1, 8);
    ts::UseFont(ts::LoadFont(kDejaVu, 15, "monospace"));
    const auto moved = std::chrono::steady_clock::now();
    ts::ScreenMove(10, 10, 2);
    ts::SetTitle("Tarnvale");
    // Past the move's pause, and a key taken after it: the window thread
    // has placed the window by then.
    WaitUntil([&] { return std::chrono::steady_clock::now() - moved > std::chrono::milliseconds(100); });
    sdltest::PushKey(SDLK_x, KMOD_NONE, 'x');
    WaitUntil([] { return ts::KeysWaiting() > 0; });
    report.Line("hidden: " + SurfaceSize() + ", " + std::to_string(ts::sdl::RedrawCount()) +
                " redraws");
    ts::ScreenShow();
    WaitRedraws(1);
    report.Line("shown: cell height " + std::to_string(ts::CellHeight()) + ", " + SizeInCells());
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.Text(), "hidden: none, 0 redraws\nshown: cell height 15, 80x25 cells\nreturned 0\n");
}

// How soon ScreenMove returns is the benchmark's: the start to the menu.
TEST(SdlWindow, SetUpOverlapsSdlsStartAndTheMovedWindowComesUpOnlyOncePlaced) {
  using Clock = std::chrono::steady_clock;
  const auto pause = std::chrono::milliseconds(100);
  ChildRun run = RunWindowedInChild(
      [&](Report& report) {
        ts::ScreenHide();
        ts::UseFont(ts::LoadFont(kDejaVu, 15, "monospace"));
        const auto called = Clock::now();
        ts::ScreenMove(10, 10, 2);
        ts::SetTitle("Tarnvale");
        ts::ScreenShow();
        WaitUntil([] { return SurfaceSize() != "none"; });
        // A machine under load only makes the window later.
        const bool placed = Clock::now() - called >= pause;
        report.Line(placed ? "made once placed" : "made before the pause ended");
        report.Line(SizeInCells());
      },
      sdltest::ProgramStart::WithSdl);
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.Text(), "made once placed\n80x25 cells\nreturned 0\n");
}

TEST(SdlWindow, WithoutAVideoDriverTheProgramEndsAtItsFirstShow) {
  ChildRun run = RunWindowedInChild(
      [](Report& report) {
        ts::ScreenHide();
        report.Line("set up while SDL starts");
        ts::Step(37, [] { ts::ScreenShow(); });
        report.Line("went on past the show");
      },
      sdltest::ProgramStart::WithSdl, "no-such-driver");
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.Text(), "set up while SDL starts\nreturned 1\n");
}

TEST(SdlWindow, HiddenCommandStopsRedrawsEventsAndKeyRepeat) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    auto repeat = [] {
      int delay = -1, interval = -1;
      SDL_GetKeyRepeat(&delay, &interval);
      return std::to_string(delay) + "/" + std::to_string(interval);
    };
    WaitRedraws(1);
    report.Line("repeat " + repeat());
    ts::Window().HiddenCommand(true);
    // The window thread turns the repeat off after its last redraw.
    WaitUntil([&] { return repeat() == "0/0"; });
    const uint32_t before = ts::sdl::RedrawCount();
    sdltest::PushKey(SDLK_a, KMOD_NONE, 'a');
    // Time enough for several redraws and the key, were they not held back.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    report.Line("during: " + std::to_string(ts::sdl::RedrawCount() - before) + " redraws, " +
                std::to_string(ts::KeysWaiting()) + " keys, repeat " + repeat());
    ts::Window().HiddenCommand(false);
    WaitUntil([] { return ts::KeysWaiting() > 0; });
    report.Line("after: " + std::string(WaitRedraws(2) ? "redraws" : "no redraws") + ", " +
                std::to_string(ts::KeysWaiting()) + " key, repeat " + repeat());

    SDL_Event focus{};
    focus.type = SDL_ACTIVEEVENT;
    focus.active.state = SDL_APPINPUTFOCUS;
    focus.active.gain = 0;
    PushEvent(focus);
    WaitUntil([&] { return repeat() == "0/0"; });
    report.Line("without focus repeat " + repeat());
    focus.active.gain = 1;
    PushEvent(focus);
    WaitUntil([&] { return repeat() == "500/30"; });
    report.Line("with focus repeat " + repeat());
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.Text(),
            "repeat 500/30\n"
            "during: 0 redraws, 0 keys, repeat 0/0\n"
            "after: redraws, 1 key, repeat 500/30\n"
            "without focus repeat 0/0\n"
            "with focus repeat 500/30\n"
            "returned 0\n");
}

TEST(SdlWindow, CaptionAndPointerReachTheWindow) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    auto caption = [] {
      char* title = nullptr;
      char* icon = nullptr;
      SDL_WM_GetCaption(&title, &icon);
      return std::string(title ? title : "") + "|" + (icon ? icon : "");
    };
    report.Line(caption());
    ts::SetTitle("Caf\x82 \xDB");
    // The window thread sets the caption between two redraws, outside the
    // drawing lock: after a redraw that began later, under that lock, the
    // caption holds still.
    WaitRedraws(3);
    BetweenRedraws([&] { report.Line(caption()); });
    SDL_ShowCursor(SDL_DISABLE);
    ts::ShowMousePointer();
    WaitUntil([] { return SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE; });
    report.Line(SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE ? "pointer shown" : "pointer hidden");
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.Text(),
            "Untitled|Untitled\n"
            "Caf\xC3\xA9 \xE2\x96\x88|Caf\xC3\xA9 \xE2\x96\x88\n"
            "pointer shown\n"
            "returned 0\n");
}

// The real clock, counting what the thread that made it sleeps.
class CountingClock : public ts::ClockSource {
 public:
  uint32_t Ticks() override { return ts::RealClock().Ticks(); }
  bool Now(ts::LocalTime& out) override { return ts::RealClock().Now(out); }
  void SleepMs(uint32_t ms) override {
    if (std::this_thread::get_id() == counted_) slept += ms;
    ts::RealClock().SleepMs(ms);
  }
  void Yield() override { ts::RealClock().Yield(); }
  void SleepUntilInput(uint32_t ms) override {
    if (std::this_thread::get_id() == counted_) slept += ms;
    ts::RealClock().SleepUntilInput(ms);
  }
  uint32_t slept = 0;

 private:
  const std::thread::id counted_ = std::this_thread::get_id();
};

// The port rings the display's bell and returns without waiting for the
// tone; the layer waits the tone's 200 ms and its pause of 250 ms on the
// layer's clock.
TEST(SdlWindow, TheBellReturnsAtOnceAndTheLayerWaitsTheTone) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    CountingClock clock;
    ts::InstallClock(&clock);
    ts::Window().Beep(783.99, 200);
    report.Line("the port slept " + std::to_string(clock.slept) + " ms");
    ts::PrintText("\a", false);
    report.Line("the bell slept " + std::to_string(clock.slept) + " ms");
    ts::InstallClock(nullptr);
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.Text(),
            "the port slept 0 ms\n"
            "the bell slept 450 ms\n"
            "returned 0\n");
}

}  // namespace
