// The error model: the step boundary, delivery to handlers and the box.
#include <fstream>
#include <thread>

#include "export/flow.h"
#include "support/sanitizers.h"
#include "support/scripted.h"
#include "textscreen/errors.h"
#include "textscreen/keyboard.h"
#include "textscreen/next_program.h"
#include "textscreen/program.h"
#include "textscreen/reset.h"
#include "textscreen/screen.h"
#include "textscreen/window.h"

namespace {

using ts::Step;
using tst::LayerTest;

class ErrorModelTest : public LayerTest {};

TEST_F(ErrorModelTest, UncaughtErrorBoxShowsCaptionStepAndText) {
  std::vector<uint32_t> ran;
  RunProgram([&] {
    Step(694, [] { ts::RaiseError(258); });
    ran.push_back(695);
  });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Unhandled Error #258");
  EXPECT_EQ(boxes[0].text, "Line:694\nInvalid handle\nContinue?");
  EXPECT_EQ(boxes[0].kind, ts::platform::BoxKind::YesNo);
  EXPECT_EQ(ran, std::vector<uint32_t>{695}) << "Yes goes on with the next step";
  EXPECT_FALSE(ts::ErrorPending());
}

TEST_F(ErrorModelTest, NoInTheBoxEndsWithoutPrompt) {
  answers.push_back(ts::platform::BoxAnswer::No);
  bool reached = false;
  bool stopped = RunProgram([&] {
    Step(12, [] { ts::RaiseError(53); });
    reached = true;
  });
  EXPECT_TRUE(stopped);
  EXPECT_FALSE(reached);
  EXPECT_TRUE(ts::CloseRequested());
  EXPECT_EQ(tst::RowText(25).find("Press any key"), std::string::npos);
}

TEST_F(ErrorModelTest, BelowOneCountsAsFiveAndTheFirstErrorWins) {
  ts::RaiseError(0);
  EXPECT_EQ(ts::PendingError(), 5u);
  ts::RaiseError(53);
  EXPECT_EQ(ts::PendingError(), 5u);
  RunProgram([] { ts::EndStep(1); });
  EXPECT_EQ(boxes.at(0).text, "Line:1\nIllegal function call\nContinue?");
}

TEST_F(ErrorModelTest, NumbersOutsideTheTableAreUnprintable) {
  EXPECT_STREQ(ts::ErrorText(7777), "Unprintable error");
  EXPECT_STREQ(ts::ErrorText(76), "Path not found");
}

TEST_F(ErrorModelTest, ResumeWithoutRunningHandlerRaises20AtItsOwnStep) {
  Step(344, [] { ts::ResumeAt(345); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Unhandled Error #20");
  EXPECT_EQ(boxes[0].text, "Line:344\nRESUME without error\nContinue?");
}

TEST_F(ErrorModelTest, ResumeWithoutRunningHandlerEntersTheArmedOne) {
  logship::SetHandlerPlan();
  ts::ArmHandler(4);
  try {
    Step(344, [] { ts::ResumeAt(345); });
    FAIL() << "no handler entry";
  } catch (const ts::HandlerEntry& e) {
    EXPECT_EQ(e.firstStep, 342u);
  }
  EXPECT_TRUE(ts::HandlerRunning());
  EXPECT_EQ(ts::CurrentErrorNumber(), 20u);
  Step(344, [] { ts::ResumeAt(345); });
  EXPECT_FALSE(ts::HandlerRunning());
  EXPECT_EQ(ts::CurrentErrorNumber(), 0u);
  EXPECT_EQ(ts::ArmedHandler(), 4) << "stays armed after its resume";
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ErrorModelTest, ErrorWhileHandlerRunsGoesToTheBox) {
  logship::SetHandlerPlan();
  ts::ArmHandler(2);
  EXPECT_THROW(Step(545, [] { ts::RaiseError(75); }), ts::HandlerEntry);
  Step(311, [] { ts::RaiseError(5); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Line:311\nIllegal function call\nContinue?");
}

// A routine three calls deep fails: the innermost step is the failing
// step, and nothing of the abandoned routines runs again.
TEST_F(ErrorModelTest, DeliveryAbandonsNestedRoutinesForGood) {
  logship::SetHandlerPlan();
  std::vector<int> trace;
  auto inner = [&] {
    Step(545, [] { ts::RaiseError(75); });
    trace.push_back(546);
  };
  auto middle = [&] {
    Step(162, inner);
    trace.push_back(163);
  };
  uint32_t entered = 0;
  ts::ArmHandler(2);
  try {
    middle();
  } catch (const ts::HandlerEntry& e) {
    entered = e.firstStep;
  }
  EXPECT_EQ(entered, 307u);
  EXPECT_TRUE(trace.empty());
  EXPECT_EQ(ts::CurrentErrorNumber(), 75u);
}

// The first step that the failing step's error enters, or 0 for none.
uint32_t EnteredAt(uint32_t step) {
  try {
    Step(step, [] { ts::RaiseError(75); });
  } catch (const ts::HandlerEntry& e) {
    return e.firstStep;
  }
  return 0;
}

// The plan is a table of the main routine's own: each handler starts at
// the step of its own row, whatever the rows' order and numbers.
TEST_F(ErrorModelTest, EachHandlerStartsAtTheStepOfItsRowInThePlan) {
  const ts::HandlerStart plan[] = {{3, 30}, {1, 10}, {7, 70}};
  ts::SetHandlerPlan(plan);
  for (const auto& row : plan) {
    SCOPED_TRACE(row.handler);
    ts::DisarmHandlers();
    ts::ArmHandler(row.handler);
    EXPECT_EQ(EnteredAt(545), row.firstStep);
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ErrorModelTest, ArmingWhileAnErrorIsPendingKeepsTheHandlerArmedBefore) {
  const ts::HandlerStart plan[] = {{1, 10}, {2, 20}};
  ts::SetHandlerPlan(plan);
  ts::ArmHandler(1);
  ts::RaiseError(53);
  ts::ArmHandler(2);
  EXPECT_EQ(ts::ArmedHandler(), 1);
  EXPECT_EQ(EnteredAt(44), 10u);
  EXPECT_EQ(ts::CurrentErrorNumber(), 53u) << "the first error of the step wins";
}

using ErrorModelDeathTest = ErrorModelTest;

// A handler outside the plan would enter nowhere: the program stops at the
// slip, whether an error is pending or not, instead of arming it.
TEST_F(ErrorModelDeathTest, AHandlerOutsideThePlanIsASlip) {
  EXPECT_DEATH(ts::ArmHandler(1), "handler 1 is not in the handler plan") << "no plan given";
  const ts::HandlerStart plan[] = {{1, 10}, {2, 20}};
  ts::SetHandlerPlan(plan);
  EXPECT_DEATH(ts::ArmHandler(3), "handler 3 is not in the handler plan");
  EXPECT_DEATH(ts::ArmHandler(0), "handler 0 is not in the handler plan");
  EXPECT_DEATH(
      {
        ts::RaiseError(53);
        ts::ArmHandler(3);
      },
      "handler 3 is not in the handler plan");
  const ts::HandlerStart twice[] = {{1, 10}, {1, 20}}, none[] = {{0, 10}};
  EXPECT_DEATH(ts::SetHandlerPlan(twice), "handler 1 cannot be in the handler plan");
  EXPECT_DEATH(ts::SetHandlerPlan(none), "handler 0 cannot be in the handler plan");
}

TEST_F(ErrorModelTest, StepsStayInertAfterAnErrorInTheSameStep) {
  ts::Locate(3, 3);
  Step(367, [] {
    ts::Locate(1, 81);  // fails
    ts::Locate(10, 10);
    ts::PrintText("x", false);
  });
  EXPECT_EQ(ts::CursorRow(), 3);
  EXPECT_EQ(tst::Ch(10, 10), 0);
  EXPECT_EQ(boxes.at(0).text, "Line:367\nIllegal function call\nContinue?");
}

TEST_F(ErrorModelTest, DecisionCountsAsMetOnError) {
  bool then = ts::Decide(257, [] {
    ts::RaiseError(9);
    return false;
  });
  EXPECT_TRUE(then);
  int passes = 0;
  do {
    ++passes;
  } while (!ts::Decide(641, [&] {
    if (passes == 1) ts::RaiseError(5);
    return false;
  }));
  EXPECT_EQ(passes, 1) << "a loop until its condition holds is left";
}

static long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * 4;
}

// A handler whose own step fails for ever: every delivery goes back to
// the dispatcher, so neither the C++ stack nor memory grows.
TEST_F(ErrorModelTest, AHandlerThatFailsForEverRunsInConstantMemory) {
  logship::SetHandlerPlan();
  ts::ArmHandler(2);
  long before = 0;
  uint32_t at = 0;
  for (int delivery = 0; delivery < 100000; ++delivery) {
    if (delivery == 1000) before = ResidentKb();
    try {
      if (at == 307) Step(308, [] { ts::ResumeAt(309); });
      Step(310, [] { ts::RaiseError(76); });
    } catch (const ts::HandlerEntry& e) {
      at = e.firstStep;
    }
  }
  EXPECT_EQ(at, 307u);
  // AddressSanitizer keeps what is freed in quarantine; the loop still runs
  // there for the memory errors it would show.
  if (!tst::kAddressSanitizer) {
    EXPECT_LT(ResidentKb() - before, 1024);
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ErrorModelTest, ReturnPointsPopInOrderAndAnEmptyStackRaises3) {
  ts::PushReturnPoint(1);
  ts::PushReturnPoint(8);
  EXPECT_EQ(ts::PopReturnPoint(), 8);
  EXPECT_EQ(ts::PopReturnPoint(), 1);
  Step(293, [] { EXPECT_EQ(ts::PopReturnPoint(), 0); });
  EXPECT_EQ(boxes.at(0).text, "Line:293\nRETURN without GOSUB\nContinue?");
}

TEST_F(ErrorModelTest, ResetStateClearsHandlersStackAndGlobalsButNotThePendingError) {
  int globals = 7;
  ts::SetGlobalsReset([&] { globals = 0; });
  logship::SetHandlerPlan();
  ts::ArmHandler(3);
  ts::PushReturnPoint(1);
  ts::Locate(5, 5);
  ts::ResetState();
  EXPECT_EQ(globals, 0);
  EXPECT_EQ(ts::ArmedHandler(), 0);
  EXPECT_EQ(ts::ReturnPointDepth(), 0u);
  EXPECT_EQ(ts::CursorRow(), 5) << "the screen stays";
  ts::SetGlobalsReset(nullptr);
}

TEST_F(ErrorModelTest, FatalClassShowsItsOkBoxAndEnds) {
  struct Case {
    long n;
    const char* caption;
    const char* text;
  } cases[] = {{256, "Critical Error", "Out of stack space"},
               {257, "Critical Error #1", "Out of memory"},
               {504, "Critical Error #4", "Out of memory"}};
  for (const auto& c : cases) {
    boxes.clear();
    EXPECT_TRUE(RunProgram([&] { ts::RaiseError(c.n); })) << c.n;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, c.caption);
    EXPECT_EQ(boxes[0].text, c.text);
    EXPECT_EQ(boxes[0].kind, ts::platform::BoxKind::Ok);
  }
}

TEST_F(ErrorModelTest, StartProgramOfTheEmptyTextRaises53) {
  ts::StartProgram("");
  EXPECT_EQ(ts::PendingError(), 53u);
}

TEST_F(ErrorModelTest, EndProgramDropsWaitingKeysAndEndsOnTheNextKey) {
  Type("ab");
  bool pressedAfterPrompt = false;
  clock.After(500, [&] {
    pressedAfterPrompt = true;
    Type("x");
  });
  EXPECT_TRUE(RunProgram([] { ts::EndProgram(); }));
  EXPECT_TRUE(pressedAfterPrompt);
  EXPECT_EQ(tst::RowText(25, 1, 25), "Press any key to continue");
  EXPECT_EQ(tst::RowText(25, 26, 80), std::string(55, ' '));
}

// The prompt comes with the close trap released: a break key ends the
// tool there, the pause key only swallows the key after it.
TEST_F(ErrorModelTest, EndProgramEndsOnABreakKeyAndAfterAPause) {
  struct Case {
    const char* what;
    unsigned pauseMods;
    double endsAtMs;
  } cases[] = {{"Ctrl+Pause", ts::kModCtrl, 100}, {"Pause", 0, 300}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ts::ResetLayer();
    ts::TrapCloseRequests();
    clock.SetLimit(10);
    clock.After(100, [&] { Press(ts::Key::Pause, c.pauseMods); });
    clock.After(100, [this] { Type("x"); });
    clock.After(100, [this] { Type("y"); });
    uint64_t start = clock.Micros();
    EXPECT_TRUE(RunProgram([] { ts::EndProgram(); }));
    EXPECT_NEAR((clock.Micros() - start) / 1000.0, c.endsAtMs, 1);
    while (clock.ActionsPending()) clock.Advance(100000);
  }
}

TEST_F(ErrorModelTest, EndProgramWithTheWindowHiddenEndsAtOnce) {
  ts::ScreenHide();
  EXPECT_TRUE(RunProgram([] { ts::EndProgram(); }));
  EXPECT_EQ(tst::RowText(25).find("Press"), std::string::npos);
}

// The pause key holds the program thread at its next step boundary; the
// next key lets it go on and reaches no key buffer.
TEST_F(ErrorModelTest, PauseKeyHoldsTheProgramBetweenTwoSteps) {
  ts::InstallClock(nullptr);  // a real thread needs real time
  std::atomic<int> steps{0};
  std::atomic<bool> stop{false};
  std::thread program([&] {
    while (!stop) Step(254, [&] { ++steps; });
  });
  while (steps < 10) std::this_thread::yield();
  Press(ts::Key::Pause);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  int held = steps;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LE(steps - held, 1);
  Press(ts::Key::A, 0, 'a');
  while (steps < held + 10) std::this_thread::yield();
  stop = true;
  program.join();
  EXPECT_EQ(ts::KeysWaiting(), 0);
}

}  // namespace
