#include "support/fonts.h"
#include "textscreen/reset.h"
#include "textscreen/font.h"

namespace {

using tst::HasFullColumn;
using tst::RowFull;
using tst::SetPixels;

TEST(BuiltinFont, DrawsTheCodePageGlyphs) {
  ts::ResetFonts();
  EXPECT_EQ(ts::CellWidth(), 8);
  EXPECT_EQ(ts::CellHeight(), 16);
  ts::GlyphSource& font = ts::CurrentFont();
  for (uint8_t blank : {0, 32, 255}) EXPECT_EQ(SetPixels(font.Glyph(blank)), 0) << int(blank);
  EXPECT_EQ(SetPixels(font.Glyph(219)), 8 * 16);
  EXPECT_TRUE(HasFullColumn(font.Glyph(179)));  // box-drawing vertical
  bool horizontal = false;
  ts::GlyphBitmap line = font.Glyph(196);
  for (int y = 0; y < 16; ++y) horizontal = horizontal || RowFull(line, y);
  EXPECT_TRUE(horizontal);
  EXPECT_GT(SetPixels(font.Glyph('A')), 0);
  EXPECT_NE(font.Glyph(1).bits, font.Glyph(2).bits);
  EXPECT_NE(font.Glyph(130).bits, font.Glyph('e').bits);
}

// The rules of LoadFont and UseFont over the scripted faces.
using FontTest = tst::FontFolderTest;

TEST_F(FontTest, CellHeightIsTheRoundedSize) {
  struct Case {
    double size;
    int height;
  };
  for (Case c : {Case{15, 15}, Case{15.5, 16}, Case{16.5, 16}, Case{24.4, 24}}) {
    SCOPED_TRACE(c.size);
    long handle = ts::LoadFont(tst::kMono, c.size, "monospace");
    ASSERT_GE(handle, 32);
    ts::UseFont(handle);
    EXPECT_EQ(ts::CellHeight(), c.height);
  }
}

TEST_F(FontTest, SizeBelowOneIsAPointSizeInThousandths) {
  long handle = ts::LoadFont(tst::kMono, 0.02, "monospace");
  ASSERT_GE(handle, 32);
  ts::UseFont(handle);
  EXPECT_GT(ts::CellHeight(), 15);  // line height of the 20-point face less 2
  EXPECT_LT(ts::CellHeight(), 30);
}

TEST_F(FontTest, MissingFileGivesMinusOneAndUseFontRaises258) {
  EXPECT_EQ(ts::LoadFont("Fonts/Lucon.ttf", 15, "monospace"), -1);
  EXPECT_FALSE(ts::ErrorPending());
  ts::UseFont(-1);
  EXPECT_EQ(ts::PendingError(), 258u);
  EXPECT_EQ(ts::CellHeight(), 16);
}

TEST_F(FontTest, HandlesThatNameNoFont) {
  for (long handle : {0L, 31L, 32L, 1024L}) {
    ts::ResetLayer();
    ts::UseFont(handle);
    EXPECT_EQ(ts::PendingError(), 258u) << handle;
  }
}

TEST_F(FontTest, ProportionalFace) {
  EXPECT_EQ(ts::LoadFont(tst::kProportional, 15, "monospace"), -1);
  long handle = ts::LoadFont(tst::kProportional, 15, "");
  EXPECT_EQ(handle, 32) << "the refused face took no handle";
  ts::UseFont(handle);
  EXPECT_EQ(ts::PendingError(), 5u);
  EXPECT_EQ(ts::CellHeight(), 16);
}

TEST_F(FontTest, OptionsAndSizes) {
  struct Case {
    const char* what;
    double size;
    const char* options;
    long result;  // 1 = a handle
    uint32_t error;
  };
  const Case cases[] = {
      {"words with blanks and any case", 15, " Bold , monospace ,italic", 1, 0},
      {"every word once", 15, "bold,italic,underline,dontblend,monospace,unicode", 1, 0},
      {"unknown word", 15, "monospace,wide", 0, 5},
      {"word given twice", 15, "monospace,MONOSPACE", 0, 5},
      {"empty word", 15, "monospace,", 0, 5},
      {"size too small", 0.0005, "monospace", 0, 5},
      {"size too large", 1000.5, "monospace", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ts::ResetLayer();
    long result = ts::LoadFont(tst::kMono, c.size, c.options);
    EXPECT_EQ(result >= 32 ? 1 : result, c.result);
    EXPECT_EQ(ts::PendingError(), c.error);
  }
}

TEST_F(FontTest, NothingLoadsOrChangesWhileAnErrorIsPending) {
  long handle = ts::LoadFont(tst::kMono, 15, "monospace");
  ts::RaiseError(53);
  EXPECT_EQ(ts::LoadFont(tst::kMono, 15, "monospace"), 0);
  ts::UseFont(handle);
  EXPECT_EQ(ts::CellHeight(), 16);
  EXPECT_EQ(ts::PendingError(), 53u);
}

}  // namespace
