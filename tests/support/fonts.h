// What the font tests of the layer and of the SDL back end share: checks
// of a glyph's pixels, and a folder that holds Fonts/ with the installed
// faces.
#pragma once
#include <filesystem>
#include <string>

#include "support/installed_font.h"
#include "support/scripted.h"
#include "textscreen/font.h"

namespace tst {

int SetPixels(const ts::GlyphBitmap& g);
bool RowFull(const ts::GlyphBitmap& g, int y);
// True when one column is set in every row: a vertical line through the cell.
bool HasFullColumn(const ts::GlyphBitmap& g);

// The installed face and a proportional one, as the tool names them in
// the folder of a FontFolderTest.
inline const std::string kMono = "Fonts/" + kInstalledFaceName;
inline const std::string kProportional = "Fonts/Proportional.ttf";

// Each test runs in a folder of its own that holds Fonts/ with the faces,
// so that names are given as the tool gives them: relative, with "/".
class FontFolderTest : public LayerTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::filesystem::path previous_, dir_;
};

}  // namespace tst
