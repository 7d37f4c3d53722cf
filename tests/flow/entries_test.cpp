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
    SCOPED_TRACE(std::to_string(entry.step) + " " + entry.what);
    ts::ResetErrorModel();
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

TEST_F(EntryTableTest, EveryReturnPointLeadsWhereItsCallGoesOn) {
  const struct {
    int returnPoint;
    Entry goesOn;
  } cases[] = {{1, 91}, {2, 120}, {3, 73}, {4, 325}, {5, 261},
               {6, 266}, {7, 271}, {8, 328}, {9, 311}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.returnPoint);
    ts::PushReturnPoint(c.returnPoint);
    EXPECT_EQ(logship::ReturnFromLocal(216, 0), c.goesOn);
  }
  EXPECT_EQ(logship::ReturnPoints().size(), std::size(cases));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(EntryTableTest, AnEmptyStackGoesOnBehindTheReturnAfterTheBox) {
  EXPECT_EQ(logship::ReturnFromLocal(216, 271), 271u);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Line:216\nRETURN without GOSUB\nContinue?");
}

using EntryTableDeathTest = EntryTableTest;

TEST_F(EntryTableDeathTest, ASlipStopsTheToolLoudly) {
  EXPECT_DEATH(logship::RunFrom(4711), "no stretch holds entry step 4711");
  EXPECT_DEATH(logship::RunFrom(52), "no stretch holds entry step 52") << "a step, not an entry";
  EXPECT_DEATH(logship::RunEndSequence(73), "entry step 73 reached RunEndSequence");
  EXPECT_DEATH(logship::RunMenuWait(292), "entry step 292 reached RunMenuWait");
  ts::PushReturnPoint(12);
  EXPECT_DEATH(logship::ReturnFromLocal(216, 271), "return point 12 leads nowhere");
}

}  // namespace
