// TrueType faces through SDL_ttf: the face loader that RunWindowed
// installs for LoadFont.
#pragma once
#include "textscreen/glyph_source.h"

namespace ts::sdl {

// Lives as long as the process; opens SDL_ttf on first use. Its glyph
// sources may draw on the window thread while the program thread opens
// faces.
FaceLoader& TrueTypeFaces();

}  // namespace ts::sdl
