#include "globals.h"

#include "textscreen/errors.h"
#include "textscreen/reset.h"

namespace logship {

Globals& G() {
  static Globals globals;
  return globals;
}

void ResetGlobals() { G() = Globals{}; }

namespace {

bool InDriveList(long index) { return index >= 0 && index < kDriveSlots; }

}  // namespace

Bytes DriveSlot(long index) {
  if (!InDriveList(index)) {
    ts::RaiseError(9);
    return "";
  }
  return G().driveList[size_t(index)];
}

void SetDriveSlot(long index, const Bytes& letter) {
  if (InDriveList(index)) G().driveList[size_t(index)] = letter;
  else ts::RaiseError(9);
}

static ts::RoomReset registration(&ResetGlobals);

}  // namespace logship
