// The clock at row 1, columns 71 to 78, that runs while the tool waits
// for a key: in the drive menu, the field editor and WaitKey. Each of them
// keeps its own step numbers and its own remembered seconds.
#pragma once
#include <cstdint>

#include "textscreen/base/bytes.h"

namespace logship {

using ts::Bytes;

// Characters 7 and 8 of a time of day, read as a number.
float SecondsOf(const Bytes& timeOfDay);

struct ClockSteps {
  uint32_t read;      // the seconds now
  uint32_t changed;   // the decision: other seconds than those drawn
  uint32_t remember;  // the seconds of the time drawn
  uint32_t draw;      // the cursor, the colours and the time
};

// Through the layer, which raises 5 when the clock cannot be read; or
// quietly, leaving out what needs the time then. A wait that a handler
// calls reads quietly: an error in every pass would bring the handler
// back to it without end.
enum class ClockReading { Raising, Quiet };

struct ClockRow {
  ClockSteps steps;
  ClockReading reading;

  // Step `read`: the seconds of the time of day; `drawn` when it cannot
  // be read quietly.
  void ReadSeconds(float& seconds, float drawn) const;
  // When `seconds` differ from `drawn`: the time of day drawn in grey on
  // black with the cursor hidden, and its seconds kept in `drawn`.
  void RedrawIfChanged(float seconds, float& drawn) const;
};

}  // namespace logship
