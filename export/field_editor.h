// The one-line field editor of the file-name prompt.
#pragma once
#include "textscreen/base/bytes.h"

namespace logship {

using ts::Bytes;

// Edits `text` in a field of `width` cells that starts at the cursor, in
// `foreground` on `background`, until a key ends the editing. `exitCode`
// tells which key: 0 Enter; 1 Esc or a double click on "ESC" (row 25,
// columns 53 to 56); 2 Up; 9 Down or Tab; 73 PgUp; 81 PgDn; 15, 45,
// 59..63, 65..68 and 94..134 the scan code itself. On return `text` is
// the field without its trailing spaces, shown in colour 1 on
// `background`, and the cursor is hidden just past the cell after the field.
void EditField(long width, long& exitCode, Bytes& text, long foreground, long background);

// The exit code of Enter, the one key that takes the name.
constexpr long kExitEnter = 0;

}  // namespace logship
