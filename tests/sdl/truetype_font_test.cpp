// LoadFont and UseFont with TrueType faces for real: the faces the SDL back
// end loads, and the glyphs they draw.
#include <gtest/gtest.h>

#include <fstream>

#include "support/fonts.h"
#include "textscreen/font.h"
#include "textscreen/sdl/truetype_font.h"

namespace {

using tst::HasFullColumn;
using tst::SetPixels;

class FontTest : public tst::FontFolderTest {
 protected:
  void SetUp() override {
    tst::FontFolderTest::SetUp();
    ts::InstallFaceLoader(&ts::sdl::TrueTypeFaces());
  }
};

TEST_F(FontTest, MonospaceFaceServesTheScreen) {
  long handle = ts::LoadFont(tst::kMono, 15, "monospace");
  ASSERT_EQ(handle, 32);
  EXPECT_FALSE(ts::ErrorPending());
  EXPECT_EQ(ts::CellHeight(), 16) << "loading alone does not change the screen's font";

  ts::UseFont(handle);
  EXPECT_FALSE(ts::ErrorPending());
  EXPECT_EQ(window.fontChanges, 1);
  EXPECT_EQ(ts::CellHeight(), 15);
  EXPECT_GE(ts::CellWidth(), 7);
  EXPECT_LE(ts::CellWidth(), 10);

  ts::GlyphSource& font = ts::CurrentFont();
  ts::GlyphBitmap block = font.Glyph(219);
  EXPECT_EQ(block.width, ts::CellWidth());
  EXPECT_EQ(block.height, 15);
  EXPECT_GT(SetPixels(block), block.width * block.height / 2);
  EXPECT_EQ(SetPixels(font.Glyph(0)), 0);
  EXPECT_GT(SetPixels(font.Glyph('A')), 0);
  EXPECT_TRUE(HasFullColumn(font.Glyph(179)));

  EXPECT_EQ(ts::LoadFont("Fonts\\" + tst::kInstalledFaceName, 20, "MONOSPACE"), 33);
}

// The faces' facts that the logic's tests take from the scripted faces.
TEST_F(FontTest, TrueTypeFacesOpenOnlyTrueTypeFilesAndKnowTheirWidth) {
  ts::FaceLoader& trueType = ts::sdl::TrueTypeFaces();
  std::ofstream("Fonts/Notatruetype.ttf") << "plain text";
  EXPECT_EQ(trueType.Open("Fonts/Notatruetype.ttf", 14), nullptr);
  EXPECT_EQ(trueType.Open("Fonts/Nothere.ttf", 14), nullptr);
  EXPECT_EQ(trueType.Open("Fonts", 14), nullptr);

  auto proportional = trueType.Open(tst::kProportional, 14);
  ASSERT_NE(proportional, nullptr);
  EXPECT_FALSE(proportional->FixedWidth());

  auto small = trueType.Open(tst::kMono, 14);
  auto large = trueType.Open(tst::kMono, 28);
  ASSERT_NE(small, nullptr);
  ASSERT_NE(large, nullptr);
  EXPECT_TRUE(small->FixedWidth());
  EXPECT_GT(small->LineHeight(), 14);
  EXPECT_GT(large->LineHeight(), small->LineHeight());
  EXPECT_GT(small->SpaceWidth(), 0);
  EXPECT_GT(large->SpaceWidth(), small->SpaceWidth());

  auto glyphs = small->Glyphs(8, 15, ts::FaceStyle{});
  ASSERT_NE(glyphs, nullptr);
  EXPECT_EQ(glyphs->CellWidth(), 8);
  EXPECT_EQ(glyphs->CellHeight(), 15);
  const ts::GlyphBitmap a = glyphs->Glyph('A');
  EXPECT_EQ(a.width, 8);
  EXPECT_EQ(a.height, 15);
  EXPECT_GT(SetPixels(a), 0);
}

}  // namespace
