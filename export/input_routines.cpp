#include "input_routines.h"

#include "clock_row.h"
#include "textscreen/clock.h"
#include "textscreen/errors.h"
#include "textscreen/keyboard.h"
#include "textscreen/mouse.h"
#include "textscreen/screen.h"

namespace logship {

using ts::Decide;
using ts::Step;

namespace {

// The handlers call WaitKey: an unreadable clock is simply not drawn.
constexpr ClockRow kKeyWaitClock{{391, 393, 394, 395}, ClockReading::Quiet};

constexpr int kSettleTurns = 5;

// Takes events until the current one shows the left button up. While the
// button is held and nothing new is queued, it sleeps until the mouse moves
// or the button comes up.
void AwaitLeftRelease(uint32_t nextStep, uint32_t buttonStep, uint32_t untilStep) {
  int button = 0;
  do {
    Step(nextStep, [] {
      if (ts::MouseEventsWaiting() == 0 && ts::MouseButton(1) != 0)
        ts::AwaitInput(ts::kInputWaitMs);
      ts::NextMouseEvent();
    });
    Step(buttonStep, [&] { button = ts::MouseButton(1); });
  } while (!Decide(untilStep, [&] { return button == 0; }));
}

}  // namespace

void WaitKey(Bytes& key) {
  if (ts::ErrorPending()) return;
  int savedRow = 1, savedColumn = 1;
  float remembered = 0, seconds = 0;
  bool firstPass = true;

  Step(384, [&] { savedRow = ts::CursorRow(); });
  Step(384, [&] { savedColumn = ts::CursorColumn(); });
  Step(385, [] { ts::SetColor(7, 0); });
  while (!Decide(386, [] { return ts::ReadKey().empty(); })) {
  }
  Step(388, [&] { key.clear(); });
  while (Decide(389, [&] { return key.empty(); })) {
    Step(390, [&] {
      // After a pass without a key: sleep until one comes or the clock
      // must be drawn again.
      if (!firstPass) ts::AwaitInput(ts::MsToNextSecond());
      firstPass = false;
      key = ts::ReadKey();
    });
    kKeyWaitClock.ReadSeconds(seconds, remembered);
    kKeyWaitClock.RedrawIfChanged(seconds, remembered);
  }
  Step(398, [] { ts::SetColor(7, 0); });
  Step(398, [&] { ts::Locate(savedRow, savedColumn, 0); });
  Step(399, [&] { key = ts::UpperAZ(key); });
}

void SettleMouse() {
  if (ts::ErrorPending()) return;
  int turn = 1;
  Step(637, [&] { turn = 1; });
  while (Decide(637, [&] { return turn <= kSettleTurns; })) {
    AwaitLeftRelease(639, 640, 641);
    Step(642, [] { ts::Delay(0.15f); });
    Step(637, [&] { ++turn; });
  }
}

void DetectDoubleClick(float& flag) {
  if (ts::ErrorPending()) return;
  float opened = 0, end = 0;

  Step(647, [&] { flag = 0; });
  AwaitLeftRelease(649, 650, 651);
  Step(653, [&] {
    opened = float(ts::SecondsSinceMidnight());
    end = opened + 0.3f;
  });
  // The counter falls back to 0 at midnight, below every end computed in
  // the last 0.3 s of the day: a reading under the opening one closes the
  // window too.
  while (Decide(654, [&] {
    float now = float(ts::SecondsSinceMidnight());
    return now >= opened && now < end;
  })) {
    Step(655, [] {
      // Short pauses: the window must close on the counter's step.
      if (ts::MouseEventsWaiting() == 0) ts::AwaitInput(1);
      ts::NextMouseEvent();
    });
    if (Decide(656, [] { return ts::MouseButton(1) != 0; })) {
      Step(656, [&] { flag = 1; });
      return;
    }
  }
}

}  // namespace logship
