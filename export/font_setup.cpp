#include "font_setup.h"

#include "textscreen/errors.h"
#include "textscreen/font.h"
#include "textscreen/named_files.h"
#include "textscreen/number_text.h"
#include "textscreen/numbered_files.h"
#include "textscreen/window.h"

namespace logship {
namespace {

using ts::Decide;
using ts::FileMode;
using ts::Step;

constexpr long kSettingsFile = 5;

}  // namespace

void SetupFont() {
  if (ts::ErrorPending()) return;

  float size = 0, x = 0, y = 0;
  Bytes sizeText, fontName, fontPath;
  long fontHandle = 0;

  Step(663, [] { ts::ShowMousePointer(); });
  Step(667, [&] { size = 15; });
  Step(668, [&] { x = 10; });
  Step(669, [&] { y = 10; });
  if (Decide(670, [] { return ts::FileExists("inifiles\\Fontnr.ini") == -1; })) {
    Step(671, [] { ts::OpenNumberedFile("inifiles\\Fontnr.ini", FileMode::Input, kSettingsFile); });
    Step(672, [&] { sizeText = ts::ReadField(kSettingsFile); });
    Step(673, [&] { x = ts::ReadNumber(kSettingsFile); });
    Step(674, [&] { y = ts::ReadNumber(kSettingsFile); });
    Step(675, [] { ts::CloseNumberedFile(kSettingsFile); });
  }
  Step(676, [&] { size = ts::NumberFromText(sizeText); });
  if (Decide(677, [&] { return size < 15; })) Step(677, [&] { size = 15; });
  Step(680, [&] { fontName = "Lucon.ttf"; });
  if (Decide(682, [] { return ts::FileExists("inifiles\\fontkeus.ini") == -1; })) {
    Step(683, [] {
      ts::OpenNumberedFile("inifiles\\fontkeus.ini", FileMode::Input, kSettingsFile);
    });
    Step(684, [&] { fontName = ts::ReadField(kSettingsFile); });
    Step(685, [] { ts::CloseNumberedFile(kSettingsFile); });
  }
  Step(690, [&] { fontPath = "Fonts\\" + fontName; });
  Step(691, [&] { fontHandle = ts::LoadFont(fontPath, size, "monospace"); });
  Step(694, [&] { ts::UseFont(fontHandle); });
  Step(695, [&] { ts::ScreenMove(ts::RoundHalfEven(x), ts::RoundHalfEven(y), ts::kMoveToPixel); });
}

}  // namespace logship
