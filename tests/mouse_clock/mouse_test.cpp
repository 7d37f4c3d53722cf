#include <algorithm>
#include <atomic>
#include <thread>

#include "support/scripted.h"
#include "textscreen/base/bytes.h"
#include "textscreen/mouse.h"

namespace {

using tst::LayerTest;

class MouseTest : public LayerTest {
 protected:
  void SetUp() override {
    LayerTest::SetUp();
    ts::SetMouseCellSizeForTest(9, 16);
  }
  static void Drain() {
    while (ts::NextMouseEvent()) {
    }
  }
};

TEST_F(MouseTest, BeforeTheFirstEventTheStartPositionIsCurrent) {
  ts::SetMouseStartPosition(9 * 30 + 4, 16 * 10 + 3);
  EXPECT_FALSE(ts::NextMouseEvent());
  EXPECT_EQ(ts::RoundHalfEven(ts::MouseColumn()), 31);
  EXPECT_EQ(ts::RoundHalfEven(ts::MouseRow()), 11);
  EXPECT_EQ(ts::MouseButton(1), 0);
  EXPECT_EQ(ts::MouseWheel(), 0);
  EXPECT_EQ(ts::MouseEventsWaiting(), 0);
}

TEST_F(MouseTest, MotionAddsTheMovementAndThenAStillCopy) {
  ts::OnMouseButton(0, 0, ts::kMouseLeft, true);
  ts::OnMouseMotion(90, 32, 5, -2);
  ASSERT_EQ(ts::MouseEventsWaiting(), 3);
  ASSERT_TRUE(ts::NextMouseEvent());
  for (int copy = 0; copy < 2; ++copy) {
    ASSERT_TRUE(ts::NextMouseEvent());
    EXPECT_EQ(ts::RoundHalfEven(ts::MouseColumn()), 11) << copy;
    EXPECT_EQ(ts::RoundHalfEven(ts::MouseRow()), 3) << copy;
    // The motion keeps the button that was down.
    EXPECT_EQ(ts::MouseButton(1), -1) << copy;
  }
  EXPECT_FALSE(ts::NextMouseEvent());
  // The current event stays when nothing is left.
  EXPECT_EQ(ts::MouseButton(1), -1);
}

TEST_F(MouseTest, MotionWithItsOwnButtonState) {
  ts::OnMouseButton(0, 0, ts::kMouseLeft, true);
  ts::OnMouseMotion(10, 10, 1, 1, ts::kMouseRight);
  Drain();
  EXPECT_EQ(ts::MouseButton(1), 0);
  EXPECT_EQ(ts::MouseButton(2), -1);
}

TEST_F(MouseTest, PressAndReleaseChangeOnlyTheirOwnBit) {
  struct Case {
    uint32_t bit;
    bool down;
    int left, right, middle;
  } cases[] = {
      {ts::kMouseLeft, true, -1, 0, 0},     {ts::kMouseRight, true, -1, -1, 0},
      {ts::kMouseMiddle, true, -1, -1, -1}, {ts::kMouseLeft, false, 0, -1, -1},
      {ts::kMouseRight, false, 0, 0, -1},   {ts::kMouseMiddle, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    ts::OnMouseButton(40, 40, c.bit, c.down);
    ASSERT_TRUE(ts::NextMouseEvent());
    EXPECT_EQ(ts::MouseButton(1), c.left) << c.bit << c.down;
    EXPECT_EQ(ts::MouseButton(2), c.right) << c.bit << c.down;
    EXPECT_EQ(ts::MouseButton(3), c.middle) << c.bit << c.down;
    EXPECT_FALSE(ts::NextMouseEvent());
  }
}

TEST_F(MouseTest, ButtonNumbersOutOfRange) {
  ts::OnMouseButton(0, 0, ts::kMouseLeft | ts::kMouseRight | ts::kMouseMiddle, true);
  ts::NextMouseEvent();
  EXPECT_EQ(ts::MouseButton(4), 0);
  EXPECT_EQ(ts::MouseButton(100), 0);
  EXPECT_FALSE(ts::ErrorPending());
  EXPECT_EQ(ts::MouseButton(0), 0);
  EXPECT_EQ(ts::PendingError(), 5u);
}

TEST_F(MouseTest, AWheelStepShowsInOneEvent) {
  ts::OnMouseWheel(5, 5, true);
  ts::OnMouseWheel(5, 5, false);
  int expected[] = {-1, 0, 1, 0};
  for (int wheel : expected) {
    ASSERT_TRUE(ts::NextMouseEvent());
    EXPECT_EQ(ts::MouseWheel(), wheel);
    EXPECT_EQ(ts::MouseButton(1), 0);
  }
  EXPECT_FALSE(ts::NextMouseEvent());
}

TEST_F(MouseTest, AFullQueueLosesTheOldestUnreadEvent) {
  // 65,535 unread events fill the ring (the current event keeps a slot).
  for (uint32_t i = 0; i < ts::kMouseQueueSize - 1; ++i)
    ts::OnMouseButton(int(i % 720), 0, ts::kMouseLeft, i % 2 == 0);
  EXPECT_EQ(ts::MouseEventsWaiting(), int(ts::kMouseQueueSize - 1));
  ts::OnMouseButton(719, 399, ts::kMouseLeft, true);
  EXPECT_EQ(ts::MouseEventsWaiting(), int(ts::kMouseQueueSize - 1));
  // The first event (x 0, left down) is gone; the next one is x 1, up.
  ASSERT_TRUE(ts::NextMouseEvent());
  EXPECT_EQ(ts::RoundHalfEven(ts::MouseColumn()), 1);
  EXPECT_EQ(ts::MouseButton(1), 0);
  ASSERT_TRUE(ts::NextMouseEvent());
  EXPECT_EQ(ts::MouseButton(1), -1);
  int read = 2;
  while (ts::NextMouseEvent()) ++read;
  EXPECT_EQ(read, int(ts::kMouseQueueSize - 1));
  EXPECT_EQ(ts::RoundHalfEven(ts::MouseColumn()), 80);
  EXPECT_EQ(ts::RoundHalfEven(ts::MouseRow()), 25);
}

TEST_F(MouseTest, ColumnAndRowRoundToTheirCell) {
  struct Case {
    int x, y;
    double column, row;
  } cases[] = {
      {0, 0, 0.501, 0.501},              // would round to 0
      {17, 15, 17 / 9.0 + 0.5, 15 / 16.0 + 0.5},
      {18, 16, 2.501, 1.5},              // 2.5 rounds to 2, 1.5 to 2
      {27, 32, 3.5, 2.501},
      {719, 399, 719 / 9.0 + 0.5, 399 / 16.0 + 0.5},
      {5000, 3000, 719 / 9.0 + 0.5, 399 / 16.0 + 0.5},  // limited to the screen
      {-20, -1, 0.501, 0.501},
  };
  for (const Case& c : cases) {
    ts::OnMouseButton(c.x, c.y, ts::kMouseLeft, false);
    ts::NextMouseEvent();
    long wantColumn = std::min(std::max(c.x, 0), 719) / 9 + 1;
    long wantRow = std::min(std::max(c.y, 0), 399) / 16 + 1;
    EXPECT_DOUBLE_EQ(ts::MouseColumn(), c.column) << c.x;
    EXPECT_DOUBLE_EQ(ts::MouseRow(), c.row) << c.y;
    EXPECT_EQ(ts::RoundHalfEven(ts::MouseColumn()), wantColumn) << c.x;
    EXPECT_EQ(ts::RoundHalfEven(ts::MouseRow()), wantRow) << c.y;
    // The tool keeps them as single-precision numbers.
    EXPECT_EQ(ts::RoundHalfEven(float(ts::MouseColumn())), wantColumn) << c.x;
  }
}

TEST_F(MouseTest, EveryPixelOfTheScreenGivesItsCell) {
  for (int x = 0; x < 720; ++x) {
    ts::OnMouseButton(x, x % 400, 0, false);
    ts::NextMouseEvent();
    ASSERT_EQ(ts::RoundHalfEven(ts::MouseColumn()), x / 9 + 1) << x;
    ASSERT_EQ(ts::RoundHalfEven(ts::MouseRow()), x % 400 / 16 + 1) << x;
  }
}

TEST_F(MouseTest, TheReaderKeepsUpWithAWriterThread) {
  constexpr int kMotions = 20000;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < kMotions; ++i) ts::OnMouseMotion(i % 720, i % 400, 1, 0);
    done = true;
  });
  int read = 0;
  while (!done || ts::MouseEventsWaiting() > 0)
    if (ts::NextMouseEvent()) ++read;
  writer.join();
  EXPECT_EQ(read, 2 * kMotions);
}

TEST_F(MouseTest, ResetEmptiesTheQueue) {
  ts::OnMouseMotion(100, 100, 1, 1);
  ts::ResetMouse();
  EXPECT_EQ(ts::MouseEventsWaiting(), 0);
  EXPECT_FALSE(ts::NextMouseEvent());
}

}  // namespace
