// The drive menu (ChooseDrive) and its three local routines. The menu is
// cut into its stretches (drawing, highlight, wait, decision) and its
// loops are written as entries of their own, because the return points
// of FlushKeys, PollKeyAndClock and ReadMouse lead into them.
#include "clock_row.h"
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

constexpr ClockRow kMenuClock{{220, 222, 223, 224}, ClockReading::Raising};
// The menu lists the drive list's first slots only.
constexpr int16_t kMenuEntries = 13;
// The last key as the key buffer gives it; "L" stands for a key that only
// moves the highlight on.
const Bytes kEnter(1, char(13)), kEsc(1, char(27)), kMoveOn = "L";

Bytes EntryText(long index) { return "  " + DriveSlot(index) + "  "; }

bool OnEscHotspot(const Globals& g) {
  return g.pointerRow == 25 && g.pointerColumn > 48 && g.pointerColumn <= 51;
}

bool InListArea(const Globals& g) {
  return g.pointerRow > 4 && g.pointerRow <= 13 && g.pointerColumn > 21 && g.pointerColumn <= 59;
}

}  // namespace

Entry RunFlushKeys(Entry at) {
  OnlyEntry(__func__, at, Entry::FlushKeys);
  auto& g = G();
  Step(206, [] {
    while (!ts::ReadKey().empty()) {
    }
  });
  Step(208, [&] {
    g.lastKey.clear();
    g.rememberedSeconds = 0;
  });
  return ReturnFromLocal(210, Entry::MenuWait);
}

Entry RunReadMouse(Entry at) {
  OnlyEntry(__func__, at, Entry::ReadMouse);
  auto& g = G();
  Step(214, [&] {
    g.pointerColumn = int16_t(ts::RoundHalfEven(ts::MouseColumn()));
    g.pointerRow = int16_t(ts::RoundHalfEven(ts::MouseRow()));
    g.leftButton = float(ts::MouseButton(1));
  });
  Step(215, [&] { g.wheelStep = float(ts::MouseWheel()); });
  return ReturnFromLocal(216, Entry::MouseEvent);
}

Entry RunPollKeyAndClock(Entry at) {
  OnlyEntry(__func__, at, Entry::PollKeyAndClock);
  auto& g = G();
  Step(219, [&] { g.lastKey = ts::ReadKey(); });
  kMenuClock.ReadSeconds(g.seconds, g.rememberedSeconds);
  kMenuClock.RedrawIfChanged(g.seconds, g.rememberedSeconds);
  return ReturnFromLocal(227, Entry::MouseEvents);
}

// ChooseDrive: the banner, the frames, the heading and every entry plain.
Entry RunMenuDrawing(Entry at) {
  OnlyEntry(__func__, at, Entry::ChooseDrive);
  auto& g = G();
  Step(232, [] { DrawBanner(); });
  Step(234, [] { ShowStatusLine(" Kies drive/stick letter [ESC]terug."); });
  Step(235, [&] {
    if (g.driveCount > kMenuEntries) g.driveCount = kMenuEntries;
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
  return Entry::MenuRound;
}

// One entry highlighted; FlushKeys then drops the keys waiting.
Entry RunMenuHighlight(Entry at) {
  auto& g = G();
  switch (at) {
    case Entry::MenuRound:  // repeat without end
      Step(255, [&] {
        g.entryIndex = 1;
        g.entryEnd = g.driveCount;
      });
      [[fallthrough]];
    case Entry::MenuHighlight:
      Step(256, [] { ts::SetColor(4, 7); });
      Step(257, [&] { PrintCentered(g.entryIndex + 7, EntryText(g.entryIndex)); });
      return CallLocal(260, ReturnPoint::ToMenuWait, Entry::FlushKeys);
    default:
      UnheldEntry(__func__, at);
  }
}

// The wait for a key, a double click or a wheel step.
Entry RunMenuWait(Entry at) {
  auto& g = G();
  switch (at) {
    case Entry::MenuWait:
      if (!Decide(261, [&] { return g.lastKey.empty(); })) return Entry::LastKey;
      Step(262, [] { ts::LimitRate(100); });
      return CallLocal(263, ReturnPoint::ToMouseEvents, Entry::PollKeyAndClock);

    case Entry::MouseEvents:  // every waiting mouse event, oldest first
      if (!Decide(266, [] { return ts::NextMouseEvent(); })) return Entry::MenuWait;
      return CallLocal(267, ReturnPoint::ToMouseEvent, Entry::ReadMouse);

    case Entry::MouseEvent:
      if (Decide(271, [&] { return OnEscHotspot(g); })) {
        Step(272, [] { ts::Locate(25, 49); });
        Step(272, [] { ts::SetColor(14, 4); });
        Step(272, [] { ts::PrintText("ESC", false); });
        if (Decide(273, [&] { return g.leftButton == -1; })) {
          Step(273, [&] { DetectDoubleClick(g.doubleClickFlag); });
          Step(273, [&] {
            if (g.doubleClickFlag != 0) g.lastKey = kEsc;
          });
        }
      } else {
        Step(275, [] { ts::Locate(25, 49); });
        Step(275, [] { ts::SetColor(14, 0); });
        Step(275, [] { ts::PrintText("ESC", false); });
      }
      if (Decide(284, [&] { return InListArea(g); })) {
        Step(285, [&] {
          if (g.wheelStep == 1) g.lastKey = kMoveOn;
        });
        Step(286, [&] {
          if (g.wheelStep == -1) {
            bool wrap = g.entryIndex <= 1;
            g.entryIndex = int16_t(g.entryIndex - 2);
            if (wrap) g.entryIndex = int16_t(g.entryIndex + g.driveCount);
            g.lastKey = kMoveOn;
          }
        });
        if (Decide(287, [&] { return g.leftButton == -1; })) {
          Step(287, [&] { DetectDoubleClick(g.doubleClickFlag); });
          Step(287, [&] {
            if (g.doubleClickFlag != 0) g.lastKey = kEnter;
          });
        }
      }
      return Entry::MouseEvents;
    default:
      UnheldEntry(__func__, at);
  }
}

// The last key decides: Enter chooses, Esc leaves, any other moves on.
Entry RunMenuDecision(Entry at) {
  auto& g = G();
  switch (at) {
    case Entry::LastKey:
      if (Decide(293, [&] { return g.lastKey == kEnter; })) {
        Step(293, [&] { g.chosenDrive = DriveSlot(g.entryIndex); });
        return ReturnFromLocal(293, Entry::EscOrNextEntry);
      }
      [[fallthrough]];
    case Entry::EscOrNextEntry:
      if (Decide(294, [&] { return g.lastKey == kEsc; }))
        return CallLocal(294, ReturnPoint::ToEndSequence, Entry::RestoreStartDirectory);
      Step(296, [&] { g.redrawIndex = 1; });
      while (Decide(296, [&] { return g.redrawIndex <= g.driveCount; })) {
        Step(297, [] { ts::SetColor(7, 0); });
        Step(298, [&] { PrintCentered(g.redrawIndex + 7, EntryText(g.redrawIndex)); });
        g.redrawIndex = int16_t(g.redrawIndex + 1);
      }
      g.entryIndex = int16_t(g.entryIndex + 1);
      return g.entryIndex > g.entryEnd ? Entry::MenuRound : Entry::MenuHighlight;
    default:
      UnheldEntry(__func__, at);
  }
}

}  // namespace logship
