// The font and the window position, read once at start-up.
#pragma once
#include "textscreen/base/bytes.h"

namespace logship {

using ts::Bytes;

// Shows the pointer, loads "Fonts\" + the name in inifiles\fontkeus.ini
// (default Lucon.ttf) at the size in inifiles\Fontnr.ini (at least 15,
// default 15), makes it the screen's font and moves the window to the x
// and y in Fontnr.ini (default 10, 10).
void SetupFont();

}  // namespace logship
