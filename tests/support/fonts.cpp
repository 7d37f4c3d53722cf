#include "fonts.h"

#include <unistd.h>

#include <numeric>
#include <string>

namespace tst {

namespace fs = std::filesystem;

int SetPixels(const ts::GlyphBitmap& g) { return std::accumulate(g.bits.begin(), g.bits.end(), 0); }

bool RowFull(const ts::GlyphBitmap& g, int y) {
  for (int x = 0; x < g.width; ++x)
    if (!g.bits[y * g.width + x]) return false;
  return true;
}

bool HasFullColumn(const ts::GlyphBitmap& g) {
  for (int x = 0; x < g.width; ++x) {
    bool full = true;
    for (int y = 0; y < g.height; ++y) full = full && g.bits[y * g.width + x];
    if (full) return true;
  }
  return false;
}

void FontFolderTest::SetUp() {
  LayerTest::SetUp();
  previous_ = fs::current_path();
  dir_ = fs::temp_directory_path() / ("screen_font_" + std::to_string(getpid()));
  fs::create_directories(dir_ / "Fonts");
  fs::copy_file(kInstalledFace, dir_ / kMono, fs::copy_options::overwrite_existing);
  fs::copy_file(kProportionalFace, dir_ / kProportional, fs::copy_options::overwrite_existing);
  fs::current_path(dir_);
}

void FontFolderTest::TearDown() {
  fs::current_path(previous_);
  fs::remove_all(dir_);
  LayerTest::TearDown();
}

}  // namespace tst
