#include "support/scripted.h"
#include "textscreen/reset.h"
#include "textscreen/window.h"

namespace {

class WindowTest : public tst::LayerTest {};

TEST_F(WindowTest, TitleIsUntitledUntilSet) {
  EXPECT_EQ(ts::WindowInfo().caption, "Untitled");
  ts::SetTitle("Export \x82");
  EXPECT_EQ(ts::WindowInfo().caption, "Export \x82");
  EXPECT_EQ(window.caption_, "Export \x82");
}

TEST_F(WindowTest, HideAndShowInAnyOrder) {
  ts::ScreenShow();
  ts::ScreenHide();
  ts::ScreenHide();
  EXPECT_FALSE(ts::WindowInfo().visible);
  EXPECT_FALSE(window.visible_);
  ts::ScreenShow();
  EXPECT_TRUE(ts::WindowInfo().visible);
  EXPECT_TRUE(window.visible_);
}

TEST_F(WindowTest, MovePausesThenPlacesTheWindow) {
  uint64_t before = clock.Micros();
  ts::ScreenMove(120, 45.5, 2);
  EXPECT_GE(clock.Micros() - before, 100000u);
  ASSERT_EQ(window.moves.size(), 1u);
  EXPECT_EQ(window.moves[0], std::make_pair(120, 46));
  EXPECT_TRUE(ts::WindowInfo().moved);

  ts::ScreenMove(0, 0, 1);
  EXPECT_TRUE(window.centred);
  EXPECT_EQ(window.moves.size(), 1u);
}

TEST_F(WindowTest, MoveWithAnotherFormRaises5) {
  for (long form : {0L, 3L, -2L}) {
    ts::ResetLayer();
    ts::ScreenMove(10, 10, form);
    EXPECT_EQ(ts::PendingError(), 5u) << form;
  }
  EXPECT_TRUE(window.moves.empty());
  EXPECT_FALSE(window.centred);
}

TEST_F(WindowTest, TitleAndMoveWaitWhileAnErrorIsPending) {
  ts::RaiseError(53);
  ts::SetTitle("Export");
  ts::ScreenMove(10, 10, 2);
  EXPECT_EQ(ts::WindowInfo().caption, "Untitled");
  EXPECT_TRUE(window.moves.empty());
  // Hide, show and the pointer work as usual.
  ts::ScreenHide();
  ts::ShowMousePointer();
  EXPECT_FALSE(window.visible_);
  EXPECT_TRUE(window.pointerShown);
  EXPECT_TRUE(ts::WindowInfo().pointerShown);
}

}  // namespace
