// Window positions as the X server can take them.
#include <gtest/gtest.h>

#include "textscreen/sdl/native_window.h"

namespace {

TEST(Placement, APositionBeyondSixteenBitsStopsAtTheEdgeInsteadOfWrapping) {
  using ts::sdl::NativeWindow;
  const struct {
    int given, placed;
  } cases[] = {{-99999, -32768}, {99999, 32767}, {-32768, -32768}, {32767, 32767},
               {10, 10},         {0, 0},         {-5, -5}};
  for (const auto& c : cases) EXPECT_EQ(NativeWindow::Placeable(c.given), c.placed) << c.given;
}

}  // namespace
