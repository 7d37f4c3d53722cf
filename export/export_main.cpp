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

void ExportMain() {
  SetHandlerPlan();
  ts::SetGlobalsReset(&ResetGlobals);
  RunFlow(Entry::ProcessStart);
}

Entry RunStartUp(Entry at) {
  switch (at) {
    case Entry::ProcessStart:
      Step(18, [] { ts::ScreenHide(); });
      Step(19, [] { ts::ShowMousePointer(); });
      Step(20, [] { ts::TrapCloseRequests(); });
      Step(21, [] { ts::SetPalette(1, 8); });
      Step(31, [] { SetupFont(); });
      Step(32, [] { ts::SetTitle("Tarnvale programma Wendor Exporteren datafile"); });
      [[fallthrough]];
    case Entry::Restart:
      Step(35, [] { ts::ResetState(); });
      Step(37, [] { ts::ScreenShow(); });
      return Entry::HandOver;
    default:
      UnheldEntry(__func__, at);
  }
}

Entry RunEndSequence(Entry at) {
  switch (at) {
    case Entry::ExportDone:   // the copy is done
    case Entry::EndSequence:  // every way to the end meets here
      Step(329, [] { ArmHandler(Handler::End); });
      Step(330, [] { ShowStatusLine(" "); });
      Step(331, [] { ts::CloseAllFiles(); });
      Step(332, [] {
        if (G().handOverFlag != 0) ts::StartProgram(G().nextProgram);
      });
      [[fallthrough]];
    case Entry::EndHandler:  // also reached without an error from 332
      Step(343, [] { ts::CloseAllFiles(); });
      // Without an error this raises 20, which enters EndHandler once more
      // and resumes this time: no box either way.
      Step(344, [] { ts::ResumeAt(345); });
      [[fallthrough]];
    case Entry::AfterEndHandler:
    case Entry::EndProgram:
      Step(346, [] { ts::EndProgram(); });  // ends the tool
      return Entry::EndProgram;
    default:
      UnheldEntry(__func__, at);
  }
}

}  // namespace logship
