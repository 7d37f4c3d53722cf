// The waits for the user: one key with the clock running, the left button
// let up, and the second half of a double click.
#pragma once
#include "textscreen/base/bytes.h"

namespace logship {

using ts::Bytes;

// Drops the keys already waiting, waits for the next one while the clock
// runs at row 1, columns 71 to 78, and writes it to `key` upper-cased.
// The cursor goes back where it was, hidden; the colours are 7 on 0.
void WaitKey(Bytes& key);

// Five turns of: let the left button come up, then 0.15 s.
void SettleMouse();

// Called while the current mouse event shows the left button down. Writes
// 0 to `flag`, waits for the release and writes 1 when the left button is
// down again within about 0.3 s.
void DetectDoubleClick(float& flag);

}  // namespace logship
