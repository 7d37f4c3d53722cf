// The monospace face that the install puts under Fonts/; the build names it.
#pragma once
#include <string>

namespace tst {

inline const std::string kInstalledFace = LOGSHIP_FONT;  // native path
// Its file name, as inifiles/fontkeus.ini gives it.
inline const std::string kInstalledFaceName = kInstalledFace.substr(kInstalledFace.rfind('/') + 1);
// A face that is not monospace, for the fonts that must be refused.
inline const std::string kProportionalFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

}  // namespace tst
