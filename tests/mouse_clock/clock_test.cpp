#include <climits>

#include "support/scripted.h"
#include "textscreen/base/bytes.h"
#include "textscreen/clock.h"
#include "textscreen/keyboard.h"

namespace {

using tst::LayerTest;

class ClockTest : public LayerTest {
 protected:
  // Scripted milliseconds that `wait` took.
  template <class F>
  double MsTaken(F&& wait) {
    uint64_t before = clock.Micros();
    wait();
    return (clock.Micros() - before) / 1000.0;
  }
  // The wall clock moved; the counter's base is taken again.
  void SetWallClock(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    clock.SetWallClock(y, mo, d, h, mi, s, ms);
    ts::InstallClock(&clock);
  }
};

TEST_F(ClockTest, TimeAndDateTexts) {
  struct Case {
    int y, mo, d, h, mi, s;
    const char *time, *date;
  } cases[] = {
      {2017, 12, 25, 9, 5, 7, "09:05:07", "12-25-2017"},
      {2024, 1, 5, 23, 59, 59, "23:59:59", "01-05-2024"},
      {1999, 7, 31, 0, 0, 0, "00:00:00", "07-31-1999"},
      {1, 1, 1, 12, 30, 0, "12:30:00", "01-01-0001"},
  };
  for (const Case& c : cases) {
    SetWallClock(c.y, c.mo, c.d, c.h, c.mi, c.s);
    EXPECT_EQ(ts::TimeOfDay(), c.time);
    EXPECT_EQ(ts::TodayText(), c.date);
    ts::Bytes t;
    EXPECT_TRUE(ts::TryTimeOfDay(t));
    EXPECT_EQ(t, c.time);
  }
  EXPECT_FALSE(ts::ErrorPending());
}

TEST_F(ClockTest, AnUnreadableClockGivesEmptyTexts) {
  clock.SetReadable(false);
  ts::Bytes t = "old";
  EXPECT_FALSE(ts::TryTimeOfDay(t));
  EXPECT_EQ(t, "");
  EXPECT_FALSE(ts::ErrorPending());
  EXPECT_EQ(ts::TimeOfDay(), "");
  EXPECT_EQ(ts::PendingError(), 5u);
  ts::ResetErrorModel();
  EXPECT_EQ(ts::TodayText(), "");
  EXPECT_EQ(ts::PendingError(), 5u);
}

TEST_F(ClockTest, SecondsSinceMidnightMovesInStepsOf18Point2PerSecond) {
  SetWallClock(2017, 12, 25, 10, 0, 0);
  EXPECT_EQ(ts::SecondsSinceMidnight(), 36000.0);
  long previous = 36000L * 182 / 10;
  for (int i = 0; i < 300; ++i) {
    clock.Advance(10000);
    double now = 36000 + (clock.Micros() - 1000000) / 1e6;
    double v = ts::SecondsSinceMidnight();
    long k = ts::RoundHalfEven(v * 18.2);
    ASSERT_EQ(v, double(float(k / 18.2))) << i;
    ASSERT_GE(k - previous, 0) << i;
    ASSERT_LE(k - previous, 1) << i;
    ASSERT_NEAR(v, now, 0.5 / 18.2 + 0.01) << i;
    previous = k;
  }
}

TEST_F(ClockTest, SecondsSinceMidnightFallsBackToZeroAtMidnight) {
  SetWallClock(2017, 12, 25, 23, 59, 59, 900);
  double last = 0;
  for (int i = 0; i < 20; ++i) {
    double v = ts::SecondsSinceMidnight();
    EXPECT_LT(v, 86400.0);
    if (i == 0) {
      EXPECT_NEAR(v, 86399.9, 0.06);
    }
    last = v;
    clock.Advance(5000);
  }
  EXPECT_LT(last, 0.06);
}

TEST_F(ClockTest, SecondsSinceMidnightIsZeroWhileAnErrorIsPending) {
  ts::RaiseError(9);
  EXPECT_EQ(ts::SecondsSinceMidnight(), 0.0);
}

TEST_F(ClockTest, LimitRateMarkRules) {
  clock.SetReadCost(0);
  struct Case {
    uint32_t before;  // ms of work before the call
    double slept;
  } passes[] = {
      {0, 0},    // first call: the mark is taken
      {0, 11},   // early: sleeps up to one past the period
      {4, 6},    //
      {9, 0},    // exactly one period after the mark
      {16, 0},   // late by 6: the pace is kept
      {0, 5},    //
      {25, 0},   // late by 16: still kept
      {0, 0},    //   and the next pass is owed nothing
      {0, 5},    //
      {27, 0},   // late by more than 16: the mark starts again
      {0, 11},
  };
  int i = 0;
  for (const Case& c : passes) {
    clock.Advance(uint64_t(c.before) * 1000);
    EXPECT_EQ(MsTaken([] { ts::LimitRate(100); }), c.slept) << "pass " << i++;
  }
  ts::InstallClock(&clock);
  ts::LimitRate(3);
  EXPECT_EQ(MsTaken([] { ts::LimitRate(3); }), 334) << "fraction dropped";
}

TEST_F(ClockTest, LimitRateHoldsALoopToItsRate) {
  double ms = MsTaken([] {
    for (int pass = 0; pass < 100; ++pass) ts::LimitRate(100);
  });
  EXPECT_GE(ms, 985);
  EXPECT_LE(ms, 1000);
}

TEST_F(ClockTest, LimitRateRejectsRatesBelowOnePerMinute) {
  for (double rate : {0.0, -1.0, 1 / 61.0, 0.0001}) {
    ts::ResetErrorModel();
    EXPECT_EQ(MsTaken([&] { ts::LimitRate(rate); }), 0) << rate;
    EXPECT_EQ(ts::PendingError(), 5u) << rate;
  }
  ts::ResetErrorModel();
  ts::LimitRate(1.0f / 60);
  ts::LimitRate(1.0 / 60);
  EXPECT_FALSE(ts::ErrorPending());
}

TEST_F(ClockTest, LimitRateKeepsItsMarkWhenRejectingARate) {
  clock.SetReadCost(0);
  ts::LimitRate(100);
  ts::LimitRate(0);
  ts::ResetErrorModel();
  EXPECT_EQ(MsTaken([] { ts::LimitRate(100); }), 11);
}

TEST_F(ClockTest, WaitsDoNothingWhileAnErrorIsPending) {
  ts::RaiseError(53);
  EXPECT_EQ(MsTaken([] {
              ts::LimitRate(100);
              ts::LimitRate(100);
              ts::SleepOrKey(4);
              ts::Delay(1);
            }),
            0.0);
  EXPECT_EQ(ts::PendingError(), 53u);
}

TEST_F(ClockTest, SleepOrKeyWithoutAKeyWaitsItsSeconds) {
  double ms = MsTaken([] { ts::SleepOrKey(4); });
  EXPECT_GE(ms, 4000);
  EXPECT_LT(ms, 4001);
}

TEST_F(ClockTest, SleepOrKeyEndsAtAKeyAndLeavesItInTheBuffer) {
  clock.After(1500, [this] { Type("x"); });
  double ms = MsTaken([] { ts::SleepOrKey(4); });
  EXPECT_GE(ms, 1500);
  EXPECT_LE(ms, 1533);
  EXPECT_EQ(ts::ReadKey(), "x");
}

TEST_F(ClockTest, SleepOrKeyEndsAtAKeyThatGivesNoEntry) {
  clock.After(1000, [this] { Press(ts::Key::Shift, ts::kModShift); });
  double ms = MsTaken([] { ts::SleepOrKey(4); });
  EXPECT_GE(ms, 1000);
  EXPECT_LE(ms, 1033);
  EXPECT_EQ(ts::KeysWaiting(), 0);
}

TEST_F(ClockTest, SleepOrKeyIgnoresAKeyPressedBeforeTheCall) {
  Type("a");
  EXPECT_GE(MsTaken([] { ts::SleepOrKey(1); }), 1000);
  EXPECT_EQ(ts::KeysWaiting(), 1);
}

TEST_F(ClockTest, SleepOrKeyBelowOneSecondWaitsForAKeyAlone) {
  clock.After(7000, [this] { Type("y"); });
  double ms = MsTaken([] { ts::SleepOrKey(0); });
  EXPECT_GE(ms, 7000);
  EXPECT_LE(ms, 7033);
}

TEST_F(ClockTest, SleepOrKeyEndsWhenTheProgramIsBeingEnded) {
  clock.After(500, [] { ts::SetEndRequest(); });
  double ms = MsTaken([] { ts::SleepOrKey(4); });
  EXPECT_GE(ms, 500);
  EXPECT_LE(ms, 533);
}

TEST_F(ClockTest, SleepOrKeyPastThe32BitTickRangeOverflows) {
  for (long seconds : {4294966L, 4294967L, 4294968L, LONG_MAX}) {
    ts::ResetErrorModel();
    EXPECT_LT(MsTaken([&] { ts::SleepOrKey(seconds); }), 1) << seconds;
    EXPECT_EQ(ts::PendingError(), 6u) << seconds;
  }
}

TEST_F(ClockTest, DelayToTheMillisecond) {
  clock.SetReadCost(0);
  struct Case {
    double seconds, ms;
  } cases[] = {{0.15f, 150}, {0.0, 0}, {0.0015, 1}, {0.7f, 700}, {1.0, 1000}, {2.5, 2500}};
  for (const Case& c : cases) EXPECT_EQ(MsTaken([&] { ts::Delay(c.seconds); }), c.ms) << c.seconds;
  EXPECT_FALSE(ts::ErrorPending());
}

TEST_F(ClockTest, DelayOutOfRange) {
  for (double seconds : {-0.001, -1.0, 2147483.648, 1e12}) {
    ts::ResetErrorModel();
    EXPECT_EQ(MsTaken([&] { ts::Delay(seconds); }), 0) << seconds;
    EXPECT_EQ(ts::PendingError(), 5u) << seconds;
  }
}

TEST_F(ClockTest, KeysAndMouseEventsWaitThroughADelay) {
  clock.After(50, [this] {
    Type("a");
    ts::OnMouseMotion(10, 10, 1, 1);
  });
  ts::Delay(0.15f);
  EXPECT_EQ(ts::KeysWaiting(), 1);
  EXPECT_EQ(ts::MouseEventsWaiting(), 2);
}

}  // namespace
