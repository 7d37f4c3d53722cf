#include <functional>
#include <string>

#include "export/input_routines.h"
#include "support/scripted.h"
#include "textscreen/program.h"
#include "textscreen/reset.h"

namespace {

using tst::Bg;
using tst::Ch;
using tst::Fg;
using tst::LayerTest;
using tst::RowText;

class InputTest : public LayerTest {
 protected:
  // The wall clock moved; the seconds counter takes its base again.
  void SetTime(int h, int m, int s, int ms = 0) {
    clock.SetWallClock(2017, 12, 25, h, m, s, ms);
    ts::InstallClock(&clock);
  }
  void KeyAfter(uint32_t ms, ts::KeyEntry e) {
    clock.After(ms, [e] { ts::PushKeyEntry(e); });
  }
  ts::Bytes WaitForKey() {
    ts::Bytes key = "junk";
    logship::WaitKey(key);
    return key;
  }
  template <class F>
  double MsTaken(F&& wait) {
    uint64_t before = clock.Micros();
    wait();
    return (clock.Micros() - before) / 1000.0;
  }
  // The left button down in the current event, its release queued.
  static void LeftPressedReleaseQueued() {
    ts::OnMouseButton(50, 50, ts::kMouseLeft, true);
    ts::NextMouseEvent();
    ts::OnMouseButton(50, 50, ts::kMouseLeft, false);
  }
  static void LeftClick() {
    ts::OnMouseButton(50, 50, ts::kMouseLeft, true);
    ts::OnMouseButton(50, 50, ts::kMouseLeft, false);
  }
};

// ---- WaitKey ----

TEST_F(InputTest, WaitKeyDropsTheKeysAlreadyWaiting) {
  Type("ab");
  KeyAfter(100, {'q', 16});
  EXPECT_EQ(WaitForKey(), "Q");
  EXPECT_EQ(ts::KeysWaiting(), 0);
}

TEST_F(InputTest, WaitKeyUpperCasesLettersOnly) {
  struct Case {
    ts::KeyEntry entry;
    std::string key;
  } cases[] = {
      {{'q', 16}, "Q"},
      {{'Z', 44}, "Z"},
      {{'1', 2}, "1"},
      {{'`', 41}, "`"},
      {{'{', 26}, "{"},
      {{132, 0}, "\x84"},
      {{13, 28}, "\r"},
      {{0, 119}, std::string("\0W", 2)},  // Ctrl+Home: the scan code too
      {{0, 80}, std::string("\0P", 2)},
      {{0, 97}, std::string("\0A", 2)},
      {{0, 122}, std::string("\0Z", 2)},
      {{0, 123}, std::string("\0{", 2)},
  };
  for (const Case& c : cases) {
    KeyAfter(50, c.entry);
    EXPECT_EQ(WaitForKey(), c.key) << int(c.entry.ch) << "+" << int(c.entry.scan);
  }
}

TEST_F(InputTest, WaitKeyDrawsTheClockOnItsFirstPass) {
  SetTime(10, 0, 37);
  ts::SetColor(14, 1);
  KeyAfter(100, {'x', 45});
  WaitForKey();
  EXPECT_EQ(RowText(1, 71, 78), "10:00:37");
  for (int col = 71; col <= 78; ++col) {
    EXPECT_EQ(Fg(1, col), 7) << col;
    EXPECT_EQ(Bg(1, col), 0) << col;
  }
  EXPECT_EQ(Ch(1, 70), 0);
  EXPECT_EQ(Ch(1, 79), 0);
}

TEST_F(InputTest, WaitKeyAtSecondZeroDrawsWithTheNextSecond) {
  SetTime(10, 0, 0);
  KeyAfter(500, {'x', 45});
  WaitForKey();
  EXPECT_EQ(RowText(1, 71, 78), std::string(8, '\0'));

  SetTime(10, 5, 0);
  KeyAfter(1500, {'x', 45});
  WaitForKey();
  EXPECT_EQ(RowText(1, 71, 78), "10:05:01");
}

TEST_F(InputTest, WaitKeyRedrawsTheClockAsItsSecondsChange) {
  SetTime(23, 59, 58, 500);
  KeyAfter(2000, {'x', 45});
  WaitForKey();
  EXPECT_EQ(RowText(1, 71, 78), "00:00:00");
}

TEST_F(InputTest, WaitKeyPutsTheCursorBackHidden) {
  ts::Locate(10, 20, 1);
  ts::SetColor(14, 1);
  KeyAfter(100, {'x', 45});
  WaitForKey();
  EXPECT_EQ(ts::CursorRow(), 10);
  EXPECT_EQ(ts::CursorColumn(), 20);
  EXPECT_FALSE(ts::Screen().cursorVisible);
  EXPECT_EQ(ts::Screen().fg, 7);
  EXPECT_EQ(ts::Screen().bg, 0);
}

TEST_F(InputTest, WaitKeyWithTheCursorHeldInColumn80) {
  ts::Locate(5, 75);
  ts::PrintText("123456", false);
  ASSERT_TRUE(ts::Screen().held);
  KeyAfter(100, {'x', 45});
  WaitForKey();
  EXPECT_FALSE(ts::Screen().held);
  EXPECT_EQ(ts::Screen().row, 6);
  EXPECT_EQ(ts::Screen().column, 1);
}

TEST_F(InputTest, WaitKeyWithAnUnreadableClockRaisesNothing) {
  clock.SetReadable(false);
  KeyAfter(1500, {'y', 21});
  EXPECT_EQ(WaitForKey(), "Y");
  EXPECT_FALSE(ts::ErrorPending());
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(RowText(1, 71, 78), std::string(8, '\0'));
}

TEST_F(InputTest, WaitKeyWhileAnErrorIsPendingDoesNothing) {
  ts::RaiseError(53);
  Type("a");
  EXPECT_EQ(WaitForKey(), "junk");
  EXPECT_EQ(ts::KeysWaiting(), 1);
  EXPECT_EQ(ts::PendingError(), 53u);
}

// ---- SettleMouse ----

TEST_F(InputTest, SettleMouseWithNothingQueuedTakesFiveDelays) {
  double ms = MsTaken([] { logship::SettleMouse(); });
  EXPECT_GE(ms, 750);
  EXPECT_LT(ms, 752);
}

TEST_F(InputTest, SettleMouseTakesOneReleasedEventPerTurn) {
  for (int i = 0; i < 10; ++i) ts::OnMouseMotion(10 + i, 10, 1, 0);
  ASSERT_EQ(ts::MouseEventsWaiting(), 20);
  logship::SettleMouse();
  EXPECT_EQ(ts::MouseEventsWaiting(), 15);
}

TEST_F(InputTest, SettleMouseTakesEveryEventWithTheButtonDown) {
  ts::OnMouseButton(10, 10, ts::kMouseLeft, true);
  ts::OnMouseMotion(11, 10, 1, 0);
  ts::OnMouseMotion(12, 10, 1, 0);
  ts::OnMouseButton(12, 10, ts::kMouseLeft, false);
  for (int i = 0; i < 3; ++i) ts::OnMouseMotion(13 + i, 10, 1, 0);
  ASSERT_EQ(ts::MouseEventsWaiting(), 12);
  // Turn 1 takes the six events up to the release, turns 2 to 5 one each.
  double ms = MsTaken([] { logship::SettleMouse(); });
  EXPECT_EQ(ts::MouseEventsWaiting(), 2);
  EXPECT_EQ(ts::MouseButton(1), 0);
  EXPECT_GE(ms, 750);
}

// ---- DetectDoubleClick ----

TEST_F(InputTest, ASecondPressWithinTheWindowIsADoubleClick) {
  LeftPressedReleaseQueued();
  clock.After(200, [] { LeftClick(); });
  float flag = 7;
  double ms = MsTaken([&] { logship::DetectDoubleClick(flag); });
  EXPECT_EQ(flag, 1.0f);
  EXPECT_GE(ms, 200);
  EXPECT_LT(ms, 201);
  EXPECT_EQ(ts::MouseButton(1), -1);
  // The second click's release is left for the caller.
  EXPECT_EQ(ts::MouseEventsWaiting(), 1);
}

TEST_F(InputTest, TheWindowLastsFiveToSixCounterSteps) {
  // Every phase of the counter's 55 ms step at the opening.
  for (int offset = 0; offset < 60; offset += 3) {
    clock.Advance(3000);
    LeftPressedReleaseQueued();
    float flag = 7;
    double ms = MsTaken([&] { logship::DetectDoubleClick(flag); });
    EXPECT_EQ(flag, 0.0f) << offset;
    EXPECT_GE(ms, 274.0) << offset;
    EXPECT_LE(ms, 331.0) << offset;
  }
}

TEST_F(InputTest, APressAfterTheWindowStaysQueued) {
  LeftPressedReleaseQueued();
  clock.After(350, [] { LeftClick(); });
  float flag = 7;
  logship::DetectDoubleClick(flag);
  EXPECT_EQ(flag, 0.0f);
  EXPECT_EQ(ts::MouseButton(1), 0);
  clock.Advance(100000);
  EXPECT_EQ(ts::MouseEventsWaiting(), 2);
}

TEST_F(InputTest, TheWindowClosesAtMidnight) {
  SetTime(23, 59, 59, 850);
  LeftPressedReleaseQueued();
  float flag = 7;
  double ms = MsTaken([&] { logship::DetectDoubleClick(flag); });
  EXPECT_EQ(flag, 0.0f);
  EXPECT_GE(ms, 120);
  EXPECT_LE(ms, 180);
}

TEST_F(InputTest, TheReleaseWaitTakesEveryHeldEvent) {
  ts::OnMouseButton(50, 50, ts::kMouseLeft, true);
  ts::NextMouseEvent();
  for (int i = 0; i < 5; ++i) ts::OnMouseMotion(51 + i, 50, 1, 0);
  ts::OnMouseButton(56, 50, ts::kMouseLeft, false);
  clock.After(100, [] { LeftClick(); });
  float flag = 0;
  logship::DetectDoubleClick(flag);
  EXPECT_EQ(flag, 1.0f);
  EXPECT_EQ(ts::MouseEventsWaiting(), 1);
}

TEST_F(InputTest, DetectDoubleClickWhileAnErrorIsPendingLeavesTheFlag) {
  ts::RaiseError(5);
  LeftPressedReleaseQueued();
  float flag = 3;
  logship::DetectDoubleClick(flag);
  EXPECT_EQ(flag, 3.0f);
  EXPECT_EQ(ts::MouseEventsWaiting(), 1);
}

// ---- Every wait of the tool sleeps until its input comes ----

TEST_F(InputTest, EveryWaitSleepsUntilItsInputAndEndsRightAfterIt) {
  auto held = [] {
    ts::OnMouseButton(50, 50, ts::kMouseLeft, true);
    ts::NextMouseEvent();
    ts::OnMouseMotion(51, 50, 1, 0);
  };
  auto release = [] { ts::OnMouseButton(51, 50, ts::kMouseLeft, false); };
  auto key = [this] { Type("x"); };
  auto shift = [this] { Press(ts::Key::Shift, ts::kModShift); };
  auto keyWaiting = [this] { Type("a"); };
  struct Case {
    const char* what;
    std::function<void()> before, wait, input;
    double fromMs, toMs;  // how long the wait goes on after its input
  } cases[] = {
      {"end prompt", keyWaiting, [] { ts::EndProgram(); }, key, 0, 1},
      {"WaitKey", keyWaiting, [this] { WaitForKey(); }, key, 0, 1},
      {"SleepOrKey(0)", keyWaiting, [] { ts::SleepOrKey(0); }, shift, 0, 1},
      {"SleepOrKey(9)", keyWaiting, [] { ts::SleepOrKey(9); }, shift, 0, 1},
      {"SettleMouse, button held", held, [] { logship::SettleMouse(); }, release, 750, 752},
      {"DetectDoubleClick, button held", held, [] {
         float flag = 7;
         logship::DetectDoubleClick(flag);
       }, release, 274, 331},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ts::ResetLayer();
    c.before();
    clock.After(3000, c.input);
    uint64_t start = clock.Micros(), sleptBefore = clock.SleptMicros();
    RunProgram(c.wait);
    double ms = (clock.Micros() - start) / 1000.0;
    EXPECT_GE(ms - 3000, c.fromMs);
    EXPECT_LE(ms - 3000, c.toMs);
    EXPECT_GE((clock.SleptMicros() - sleptBefore) / 1000.0, 0.99 * ms) << "it spins";
  }
}

}  // namespace
