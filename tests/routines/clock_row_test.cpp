// The clock at row 1: the seconds it reads from a time of day, and the
// steps of each wait that draws it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "export/clock_row.h"
#include "export/field_editor.h"
#include "export/flow.h"
#include "export/globals.h"
#include "export/input_routines.h"
#include "support/scripted.h"
#include "textscreen/clock.h"
#include "textscreen/keyboard.h"
#include "textscreen/program.h"
#include "textscreen/screen.h"

namespace {

TEST(ClockSeconds, AreCharactersSevenAndEightReadAsANumber) {
  const struct {
    std::string time;
    float seconds;
  } cases[] = {
      {"09:05:07", 7},     {"23:59:59", 59}, {"10:00:00", 0},
      {"12:34:56.78", 56},  // only characters 7 and 8 count
      {"12:34:5", 0},       // shorter than a time: no seconds
      {"", 0},              // the clock could not be read
  };
  for (const auto& c : cases)
    EXPECT_EQ(logship::SecondsOf(c.time), c.seconds) << '"' << c.time << '"';
}

// A wait that draws the clock, run once it has drawn "10:00:37" and the
// clock can then no longer be read.
struct ClockWait {
  const char* name;
  std::function<void(tst::ScriptedClock&)> run;
  std::vector<uint32_t> failingSteps;  // each once, in the order they came
};

void PrintTo(const ClockWait& wait, std::ostream* os) { *os << wait.name; }

class ClockRowTest : public tst::LayerTest, public ::testing::WithParamInterface<ClockWait> {
 protected:
  std::vector<uint32_t> BoxSteps() const {
    std::vector<uint32_t> steps;
    for (const auto& box : boxes) {
      uint32_t step = uint32_t(std::stoul(box.text.substr(box.text.find(':') + 1)));
      if (std::find(steps.begin(), steps.end(), step) == steps.end()) steps.push_back(step);
    }
    return steps;
  }
};

// The drive menu and the field editor fail at steps of their own, WaitKey
// says nothing; what was drawn stays.
TEST_P(ClockRowTest, AClockThatCannotBeReadFailsAtTheStepsOfItsWait) {
  clock.SetWallClock(2017, 12, 25, 10, 0, 37);
  ts::InstallClock(&clock);
  GetParam().run(clock);
  EXPECT_EQ(BoxSteps(), GetParam().failingSteps);
  for (const auto& box : boxes)
    EXPECT_NE(box.text.find("\nIllegal function call\n"), std::string::npos) << box.text;
  EXPECT_EQ(tst::RowText(1, 71, 78), "10:00:37");
  EXPECT_EQ(tst::Fg(1, 71) * 10 + tst::Bg(1, 71), 70);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, ClockRowTest,
    ::testing::Values(
        ClockWait{"DriveMenu",
                  [](tst::ScriptedClock& clock) {
                    auto pass = [] {
                      ts::PushReturnPoint(int(logship::ReturnPoint::ToMouseEvents));
                      EXPECT_EQ(logship::RunFrom(logship::Entry::PollKeyAndClock),
                                logship::Entry::MouseEvents);
                    };
                    pass();
                    clock.SetReadable(false);
                    pass();
                  },
                  {220, 223, 224}},
        ClockWait{"FieldEditor",
                  [](tst::ScriptedClock& clock) {
                    clock.After(300, [&clock] { clock.SetReadable(false); });
                    clock.After(300, [] { ts::PushKeyEntry({13, 28}); });
                    long exitCode = -1;
                    ts::Bytes text;
                    ts::Locate(14, 42);
                    logship::EditField(8, exitCode, text, 14, 4);
                    EXPECT_EQ(exitCode, 0);
                  },
                  {515, 518, 519}},
        ClockWait{"KeyWait",
                  [](tst::ScriptedClock& clock) {
                    clock.After(300, [&clock] { clock.SetReadable(false); });
                    clock.After(300, [] { ts::PushKeyEntry({'x', 45}); });
                    ts::Bytes key;
                    logship::WaitKey(key);
                    EXPECT_EQ(key, "X");
                  },
                  {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
