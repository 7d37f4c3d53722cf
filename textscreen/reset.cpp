#include "reset.h"

#include <vector>

namespace ts {
namespace {

// Built on first use: rooms register from static objects of other files,
// whose order of construction is unknown.
std::vector<void (*)()>& Rooms() {
  static std::vector<void (*)()> rooms;
  return rooms;
}

}  // namespace

RoomReset::RoomReset(void (*reset)()) { Rooms().push_back(reset); }

void ResetLayer() {
  for (auto reset : Rooms()) reset();
}

}  // namespace ts
