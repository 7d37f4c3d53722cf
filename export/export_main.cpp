#include "export_main.h"

#include "flow.h"
#include "font_setup.h"
#include "globals.h"
#include "screen_routines.h"
#include "textscreen/errors.h"
#include "textscreen/keyboard.h"
#include "textscreen/next_program.h"
#include "textscreen/numbered_files.h"
#include "textscreen/program.h"
#include "textscreen/screen.h"
#include "textscreen/window.h"

namespace logship {

using ts::Decide;
using ts::Step;

Bytes DriveSlot(long index) {
  if (index < 0 || index > 40) {
    ts::RaiseError(9);
    return "";
  }
  return G().driveList[index];
}

float SecondsOf(const Bytes& timeOfDay) {
  if (timeOfDay.size() < 8) return 0;
  return float((timeOfDay[6] - '0') * 10 + (timeOfDay[7] - '0'));
}

void ExportMain() {
  SetHandlerPlan();
  ts::SetGlobalsReset(&ResetGlobals);
  Entry at = 18;
  for (;;) {
    try {
      at = RunFrom(at);
    } catch (const ts::HandlerEntry& entry) {
      at = entry.firstStep;
    }
  }
}

Entry RunStartUp(Entry at) {
  switch (at) {
    case 18:
      Step(18, [] { ts::ScreenHide(); });
      Step(19, [] { ts::ShowMousePointer(); });
      Step(20, [] { ts::TrapCloseRequests(); });
      Step(21, [] { ts::SetPalette(1, 8); });
      Step(31, [] { SetupFont(); });
      Step(32, [] { ts::SetTitle("Tarnvale programma Wendor Exporteren datafile"); });
      [[fallthrough]];
    case 34:  // restart point
      Step(35, [] { ts::ResetState(); });
      Step(37, [] { ts::ScreenShow(); });
      return 44;
    default:
      UnheldEntry(__func__, at);
  }
}

Entry RunEndSequence(Entry at) {
  switch (at) {
    case 325:  // the copy is done
    case 328:  // every way to the end meets here
      Step(329, [] { ts::ArmHandler(kEndHandler); });
      Step(330, [] { ShowStatusLine(" "); });
      Step(331, [] { ts::CloseAllFiles(); });
      Step(332, [] {
        if (G().handOverFlag != 0) ts::StartProgram(G().nextProgram);
      });
      [[fallthrough]];
    case 342:  // EndHandler; also reached without an error from 332
      Step(343, [] { ts::CloseAllFiles(); });
      // Without an error this raises 20, which enters EndHandler once more
      // and resumes this time: no box either way.
      Step(344, [] { ts::ResumeAt(345); });
      [[fallthrough]];
    case 345:
    case 346:
      Step(346, [] { ts::EndProgram(); });  // ends the tool
      return 346;
    default:
      UnheldEntry(__func__, at);
  }
}

}  // namespace logship
