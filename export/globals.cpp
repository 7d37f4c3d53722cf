#include "globals.h"

#include "textscreen/reset.h"

namespace logship {

Globals& G() {
  static Globals globals;
  return globals;
}

void ResetGlobals() { G() = Globals{}; }

static ts::RoomReset registration(&ResetGlobals);

}  // namespace logship
