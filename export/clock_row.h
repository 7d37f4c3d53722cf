// The clock at row 1, columns 71 to 78, that runs while the tool waits
// for a key.
#pragma once
#include "textscreen/bytes.h"

namespace logship {

using ts::Bytes;

// Characters 7 and 8 of a time of day, read as a number.
float SecondsOf(const Bytes& timeOfDay);

}  // namespace logship
