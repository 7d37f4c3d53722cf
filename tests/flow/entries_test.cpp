// The table of the main routine's entry steps and return points: every
// entry reaches a stretch that holds it, every return point leads where
// its call goes on, and a slip stops the tool loudly instead of sending
// the flow somewhere else.
#include <memory>

#include "export/entries.h"
#include "export/globals.h"
#include "support/scripted.h"
#include "textscreen/errors.h"
#include "textscreen/program.h"

namespace {

using logship::Entry;
using logship::ReturnPoint;
using logship::StepOf;

class EntryTableTest : public tst::LayerTest {
 protected:
  void SetUp() override {
    LayerTest::SetUp();
    scratch = std::make_unique<tst::ScratchFolder>("logship-entries");
  }
  void TearDown() override {
    scratch.reset();
    LayerTest::TearDown();
  }
  std::unique_ptr<tst::ScratchFolder> scratch;
};

// With an error pending every operation of the layer does nothing, and the
// end request stops the flow at the first step boundary: a stretch that
// holds the entry stops there, one that does not aborts the test program.
TEST_F(EntryTableTest, EveryEntryReachesAStretchThatHoldsIt) {
  for (const auto& entry : logship::EntrySteps()) {
    SCOPED_TRACE(std::to_string(StepOf(entry.step)) + " " + entry.what);
    ts::ResetErrorModel();
    logship::SetHandlerPlan();
    logship::ResetGlobals();
    ts::RaiseError(5);
    ts::SetEndRequest();
    bool stopped = false;
    try {
      entry.stretch(entry.step);
    } catch (const ts::ProgramStop&) {
      stopped = true;
    }
    EXPECT_TRUE(stopped) << "the stretch ran no step from this entry";
  }
}

// A call pushes its return point's number, and a return with that number on
// top goes on at the step behind the call.
TEST_F(EntryTableTest, EveryReturnPointLeadsWhereItsCallGoesOn) {
  const struct {
    ReturnPoint point;
    int number;
    uint32_t goesOn;
  } cases[] = {{ReturnPoint::ToExportScreen, 1, 91}, {ReturnPoint::ToExtensionRule, 2, 120},
               {ReturnPoint::ToHeader, 3, 73},       {ReturnPoint::ToExportDone, 4, 325},
               {ReturnPoint::ToMenuWait, 5, 261},    {ReturnPoint::ToMouseEvents, 6, 266},
               {ReturnPoint::ToMouseEvent, 7, 271},  {ReturnPoint::ToEndSequence, 8, 328},
               {ReturnPoint::ToHandlerNotice, 9, 311}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(logship::CallLocal(263, c.point, Entry::PollKeyAndClock), Entry::PollKeyAndClock);
    EXPECT_EQ(ts::PopReturnPoint(), c.number);
    ts::PushReturnPoint(c.number);
    EXPECT_EQ(StepOf(logship::ReturnFromLocal(216, Entry::MouseEvent)), c.goesOn);
  }
  EXPECT_EQ(logship::ReturnPoints().size(), std::size(cases));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(EntryTableTest, AnEmptyStackGoesOnBehindTheReturnAfterTheBox) {
  EXPECT_EQ(StepOf(logship::ReturnFromLocal(216, Entry::MouseEvent)), 271u);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Line:216\nRETURN without GOSUB\nContinue?");
}

// The runner looks at its stops before each stretch, so that a start at a
// stop runs nothing, and takes a handler entry at the handler's first step.
TEST_F(EntryTableTest, TheRunnerStopsWhereToldAndGoesOnAtAHandlersFirstStep) {
  logship::SetHandlerPlan();
  logship::ArmHandler(logship::Handler::Export);
  ts::RaiseError(75);
  EXPECT_EQ(StepOf(logship::RunFlow(Entry::ExportScreen, {Entry::ExportScreen})), 91u);
  EXPECT_EQ(ts::PendingError(), 75u) << "no step ran";
  EXPECT_EQ(StepOf(logship::RunFlow(Entry::ExportScreen,
                                    {Entry::RestoreStartDirectory, Entry::ExportHandler})),
            307u);
  EXPECT_TRUE(ts::HandlerRunning());
  EXPECT_EQ(ts::CurrentErrorNumber(), 75u);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(EntryTableTest, EveryHandlerStartsAtItsEntry) {
  const struct {
    logship::Handler handler;
    uint32_t firstStep;
  } cases[] = {{logship::Handler::HandOver, 51},
               {logship::Handler::Export, 307},
               {logship::Handler::Scan, 194},
               {logship::Handler::End, 342}};
  logship::SetHandlerPlan();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.firstStep);
    ts::DisarmHandlers();
    logship::ArmHandler(c.handler);
    uint32_t entered = 0;
    try {
      ts::Step(545, [] { ts::RaiseError(75); });
    } catch (const ts::HandlerEntry& e) {
      entered = e.firstStep;
    }
    EXPECT_EQ(entered, c.firstStep);
  }
}

using EntryTableDeathTest = EntryTableTest;

TEST_F(EntryTableDeathTest, ASlipStopsTheToolLoudly) {
  // A number made an entry by force: the only way past the compiler.
  EXPECT_DEATH(logship::RunFrom(Entry{4711}), "no stretch holds entry step 4711");
  EXPECT_DEATH(logship::RunFrom(Entry{52}), "no stretch holds entry step 52")
      << "a step, not an entry";
  EXPECT_DEATH(logship::RunEndSequence(Entry::Header), "entry step 73 reached RunEndSequence");
  EXPECT_DEATH(logship::RunMenuWait(Entry::LastKey), "entry step 292 reached RunMenuWait");
  ts::PushReturnPoint(12);
  EXPECT_DEATH(logship::ReturnFromLocal(216, Entry::MouseEvent), "return point 12 leads nowhere");
}

}  // namespace
