// The drive menu (ChooseDrive) and its three local routines. The menu's
// loops are written as entries of their own, because the return points
// of FlushKeys, PollKeyAndClock and ReadMouse lead into them.
#include "flow.h"
#include "globals.h"
#include "input_routines.h"
#include "screen_routines.h"
#include "textscreen/clock.h"
#include "textscreen/errors.h"
#include "textscreen/keyboard.h"
#include "textscreen/mouse.h"
#include "textscreen/screen.h"

namespace logship {

using ts::Decide;
using ts::Step;

namespace {

Bytes EntryText(long index) { return "  " + DriveSlot(index) + "  "; }

bool OnEscHotspot(const Globals& g) {
  return g.pointerRow == 25 && g.pointerColumn > 48 && g.pointerColumn <= 51;
}

bool InListArea(const Globals& g) {
  return g.pointerRow > 4 && g.pointerRow <= 13 && g.pointerColumn > 21 && g.pointerColumn <= 59;
}

}  // namespace

Entry RunDriveMenu(Entry at) {
  auto& g = G();
  for (;;) {
    switch (at) {
      case 205:  // FlushKeys
        Step(206, [] {
          while (!ts::ReadKey().empty()) {
          }
        });
        Step(208, [&] {
          g.lastKey.clear();
          g.rememberedSeconds = 0;
        });
        at = ReturnFromLocal(210, 261);
        break;

      case 212:  // ReadMouse
        Step(214, [&] {
          g.pointerColumn = int16_t(ts::RoundHalfEven(ts::MouseColumn()));
          g.pointerRow = int16_t(ts::RoundHalfEven(ts::MouseRow()));
          g.leftButton = float(ts::MouseButton(1));
        });
        Step(215, [&] { g.wheelStep = float(ts::MouseWheel()); });
        at = ReturnFromLocal(216, 271);
        break;

      case 218:  // PollKeyAndClock
        Step(219, [&] { g.lastKey = ts::ReadKey(); });
        Step(220, [&] { g.seconds = SecondsOf(ts::TimeOfDay()); });
        if (Decide(222, [&] { return g.seconds != g.rememberedSeconds; })) {
          Step(223, [&] { g.rememberedSeconds = SecondsOf(ts::TimeOfDay()); });
          Step(224, [] { ts::Locate(1, 71, 0); });
          Step(224, [] { ts::SetColor(7, 0); });
          Step(224, [] { ts::PrintText(ts::TimeOfDay(), false); });
        }
        at = ReturnFromLocal(227, 266);
        break;

      case 229:  // ChooseDrive
        Step(232, [] { DrawBanner(); });
        Step(234, [] { ShowStatusLine(" Kies drive/stick letter [ESC]terug."); });
        Step(235, [&] {
          if (g.driveCount > 13) g.driveCount = 13;
        });
        Step(236, [] { ts::SetColor(1, 1); });
        Step(237, [&] { DrawFrame(4, 19, int16_t(g.driveCount + 11), 62); });
        Step(238, [] { ts::SetColor(4, 0); });
        Step(241, [&] { DrawFrame(5, 21, int16_t(g.driveCount + 10), 60); });
        Step(245, [] { ts::SetColor(14, 4); });
        Step(246, [] { PrintCentered(5, " Beschikbare drive's "); });
        Step(250, [] { ts::SetColor(7, 0); });
        Step(251, [&] { g.entryIndex = 1; });
        while (Decide(251, [&] { return g.entryIndex <= g.driveCount; })) {
          Step(252, [&] { PrintCentered(g.entryIndex + 7, EntryText(g.entryIndex)); });
          g.entryIndex = int16_t(g.entryIndex + 1);
        }
        [[fallthrough]];
      case 254:  // repeat without end
        Step(255, [&] {
          g.entryIndex = 1;
          g.entryEnd = g.driveCount;
        });
        [[fallthrough]];
      case 256:  // one highlight
        Step(256, [] { ts::SetColor(4, 7); });
        Step(257, [&] { PrintCentered(g.entryIndex + 7, EntryText(g.entryIndex)); });
        at = CallLocal(260, 5, 205);
        break;

      case 261:  // the wait
        if (!Decide(261, [&] { return g.lastKey.empty(); })) {
          at = 292;
          break;
        }
        Step(262, [] { ts::LimitRate(100); });
        at = CallLocal(263, 6, 218);
        break;

      case 266:  // every waiting mouse event, oldest first
        if (!Decide(266, [] { return ts::NextMouseEvent(); })) {
          at = 261;
          break;
        }
        at = CallLocal(267, 7, 212);
        break;

      case 271:
        if (Decide(271, [&] { return OnEscHotspot(g); })) {
          Step(272, [] { ts::Locate(25, 49); });
          Step(272, [] { ts::SetColor(14, 4); });
          Step(272, [] { ts::PrintText("ESC", false); });
          if (Decide(273, [&] { return g.leftButton == -1; })) {
            Step(273, [&] { DetectDoubleClick(g.doubleClickFlag); });
            Step(273, [&] {
              if (g.doubleClickFlag != 0) g.lastKey = Bytes(1, char(27));
            });
          }
        } else {
          Step(275, [] { ts::Locate(25, 49); });
          Step(275, [] { ts::SetColor(14, 0); });
          Step(275, [] { ts::PrintText("ESC", false); });
        }
        if (Decide(284, [&] { return InListArea(g); })) {
          Step(285, [&] {
            if (g.wheelStep == 1) g.lastKey = "L";
          });
          Step(286, [&] {
            if (g.wheelStep == -1) {
              bool wrap = g.entryIndex <= 1;
              g.entryIndex = int16_t(g.entryIndex - 2);
              if (wrap) g.entryIndex = int16_t(g.entryIndex + g.driveCount);
              g.lastKey = "L";
            }
          });
          if (Decide(287, [&] { return g.leftButton == -1; })) {
            Step(287, [&] { DetectDoubleClick(g.doubleClickFlag); });
            Step(287, [&] {
              if (g.doubleClickFlag != 0) g.lastKey = Bytes(1, char(13));
            });
          }
        }
        at = 266;
        break;

      case 292:  // the key decides
        if (Decide(293, [&] { return g.lastKey == Bytes(1, char(13)); })) {
          Step(293, [&] { g.chosenDrive = DriveSlot(g.entryIndex); });
          return ReturnFromLocal(293, 294);
        }
        [[fallthrough]];
      case 294:
        if (Decide(294, [&] { return g.lastKey == Bytes(1, char(27)); }))
          return CallLocal(294, 8, 303);
        Step(296, [&] { g.redrawIndex = 1; });
        while (Decide(296, [&] { return g.redrawIndex <= g.driveCount; })) {
          Step(297, [] { ts::SetColor(7, 0); });
          Step(298, [&] { PrintCentered(g.redrawIndex + 7, EntryText(g.redrawIndex)); });
          g.redrawIndex = int16_t(g.redrawIndex + 1);
        }
        g.entryIndex = int16_t(g.entryIndex + 1);
        at = g.entryIndex > g.entryEnd ? 254 : 256;
        break;

      default:
        return at;
    }
    if (at < 205 || at > 298) return at;
  }
}

}  // namespace logship
