// Each room of the layer registers how it goes back to its process-start
// state; ResetLayer runs every room that is linked into the program.
#pragma once

namespace ts {

struct RoomReset {
  explicit RoomReset(void (*reset)());
};

// Every linked room back to its process-start state (tests).
void ResetLayer();

}  // namespace ts
