// The header's date text: "Ma 25 Dec 2017".
#pragma once
#include "textscreen/base/bytes.h"

namespace logship {

using ts::Bytes;

// Writes today's date as a Dutch weekday, day, month and year (14
// characters) to `text`, whose content on entry is not read.
void FormatToday(Bytes& text);

}  // namespace logship
