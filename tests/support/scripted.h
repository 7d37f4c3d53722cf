// The scripted back end: a clock that only moves when the program waits,
// actions fired at scripted times, a window port that records what it is
// told, and a message-box answerer. Tests drive the real logic through it.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "textscreen/clock.h"
#include "textscreen/errors.h"
#include "textscreen/font.h"
#include "textscreen/keyboard.h"
#include "textscreen/mouse.h"
#include "textscreen/platform/message_box.h"
#include "textscreen/screen.h"
#include "textscreen/window.h"

namespace tst {

class ScriptedClock : public ts::ClockSource {
 public:
  // Starts at 10:00:00.000 on 25 December 2017 with tick count 1000.
  ScriptedClock();
  uint32_t Ticks() override;
  bool Now(ts::LocalTime& out) override;
  void SleepMs(uint32_t ms) override;
  void Yield() override;
  // Every input of a test comes from an action: the sleep ends at the
  // next one when that comes first.
  void SleepUntilInput(uint32_t ms) override;

  // Runs `action` once the scripted time has passed `ms` after the
  // previous action (or after the start, for the first).
  void After(uint32_t ms, std::function<void()> action);
  // Moves the clock (and fires due actions).
  void Advance(uint64_t micros);
  uint64_t Micros() const { return micros_; }
  // Scripted time spent asleep (SleepMs, SleepUntilInput): a wait that
  // sleeps rather than spins spends nearly all its time here.
  uint64_t SleptMicros() const { return slept_; }
  void SetWallClock(int year, int month, int day, int h, int m, int s, int ms = 0);
  void SetReadable(bool readable) { readable_ = readable; }
  // Each Ticks() read moves time by this much (a spinning loop must end).
  void SetReadCost(uint64_t micros) { readCost_ = micros; }
  bool ActionsPending() const { return !actions_.empty(); }
  // A program that waits longer than this (scripted) throws TimeRanOut,
  // so a test that would hang fails instead.
  void SetLimit(uint64_t seconds) { limitMicros_ = micros_ + seconds * 1000000; }

 private:
  void Fire();
  uint64_t micros_ = 1000000;  // scripted time since layer start
  uint64_t wallBaseMs_ = 0;    // ms since midnight at micros_ == 0
  int year_ = 2017, month_ = 12, day_ = 25;
  bool readable_ = true;
  uint64_t readCost_ = 20;
  uint64_t slept_ = 0;
  uint64_t lastActionAt_ = 1000000;
  uint64_t limitMicros_ = 1000000 + 3600ULL * 1000000;
  struct Action {
    uint32_t after;
    std::function<void()> run;
  };
  std::deque<Action> actions_;
};

struct TimeRanOut {};

class ScriptedWindow : public ts::WindowPort {
 public:
  void SetCaption(const ts::Bytes& caption) override { caption_ = caption; }
  void SetVisible(bool visible) override { visible_ = visible; }
  void MoveTo(int x, int y, uint32_t pauseMs) override {
    ts::Clock().SleepMs(pauseMs);
    moves.push_back({x, y});
  }
  void Centre() override { centred = true; }
  void ShowPointer() override { pointerShown = true; }
  void FontChanged() override { ++fontChanges; }
  void BetweenRedraws(void (*change)(void*), void* arg) override { change(arg); }
  void HiddenCommand(bool running) override {
    if (!running) return;
    ++hiddenCommands;
    if (atHiddenCommand) atHiddenCommand();
  }
  void Beep(double hz, int ms) override {
    ++beeps;
    tone = {hz, ms};
  }

  ts::Bytes caption_ = "Untitled";
  bool visible_ = true;
  std::vector<std::pair<int, int>> moves;
  bool centred = false, pointerShown = false;
  int fontChanges = 0, hiddenCommands = 0, beeps = 0;
  std::pair<double, int> tone;  // the last beep's pitch and length
  // Runs on the program thread as each hidden command starts.
  std::function<void()> atHiddenCommand;
};

// Font files as faces, without a font library: a file opens when it begins
// as a TrueType file does and is of fixed width when its 'post' table says
// so; lines are 1.164 and spaces 0.602 times the point size (DejaVu Sans
// Mono's), and every glyph is blank.
class ScriptedFaces : public ts::FaceLoader {
 public:
  std::unique_ptr<ts::Face> Open(const std::string& nativePath, long pointSize) override;
};

struct Box {
  std::string caption, text;
  ts::platform::BoxKind kind;
};

// Base fixture: every room reset, the scripted clock, window and faces
// installed, boxes answered from a queue (Yes when it is empty) and recorded.
class LayerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs `body` as the program thread would; true when it ended the
  // program (ProgramStop).
  bool RunProgram(const std::function<void()>& body);

  // Key presses and mouse actions as the window thread delivers them.
  void Press(ts::Key key, unsigned mods = 0, uint32_t unicode = 0);
  void Type(const std::string& text);  // plain characters, one press each
  // Mouse at the centre of cell (row, col) in the current cell size.
  void MoveMouseTo(int row, int column);
  void WheelStep(int row, int column, bool up);
  void Click(int row, int column);        // press and release
  void DoubleClick(int row, int column);  // two clicks, 100 ms apart

  ScriptedClock clock;
  ScriptedWindow window;
  ScriptedFaces faces;
  std::deque<ts::platform::BoxAnswer> answers;
  std::vector<Box> boxes;
};

// The characters of a row (1-based) as text, code page 437 bytes.
std::string RowText(int row);
std::string RowText(int row, int fromColumn, int toColumn);
int Fg(int row, int column);  // foreground 0..15
int Bg(int row, int column);  // background 0..7
uint8_t Ch(int row, int column);

// A fresh folder under /tmp, made the current directory while it lives;
// then the previous directory comes back and the folder goes.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_, previous_;
};

}  // namespace tst
