// The stretches of ExportMain. Each runs from one of its entry steps and
// returns the entry where the flow goes on; RunFrom sends an entry to its
// stretch through the table in entries.cpp, and RunFlow goes from stretch
// to stretch, taking a handler entry (ts::HandlerEntry) at the handler's
// first step.
#pragma once
#include <cstdint>
#include <initializer_list>

#include "textscreen/errors.h"

namespace logship {

// Every entry step: the places that jumps, returns and handler entries
// lead to. The value is the step's number, which the box and the table use.
enum class Entry : uint32_t {
  ProcessStart = 18,
  Restart = 34,
  HandOver = 44,  // HandOverHandler armed, the hand-over read
  HandOverHandler = 51,
  AfterHandOver = 54,
  Header = 73,
  TitleRow = 75,  // the header behind its date
  ExportScreen = 91,
  ExtensionRule = 120,  // ExportHandler armed, the extension rule
  FileNamePrompt = 140,
  ScanDrives = 167,
  ProbeLoop = 170,
  ScanHandler = 194,
  AfterScanHandler = 197,
  FlushKeys = 205,
  ReadMouse = 212,
  PollKeyAndClock = 218,
  ChooseDrive = 229,
  MenuRound = 254,      // the menu's round over its entries
  MenuHighlight = 256,  // the highlight of one entry
  MenuWait = 261,       // one pass of the wait
  MouseEvents = 266,    // the waiting mouse events
  MouseEvent = 271,     // one mouse event
  LastKey = 292,        // the last key decides
  EscOrNextEntry = 294,
  RestoreStartDirectory = 303,
  ExportHandler = 307,
  AfterExportHandler = 309,
  HandlerNotice = 311,  // ExportHandler's notice and key
  ExportDone = 325,
  EndSequence = 328,
  EndHandler = 342,
  AfterEndHandler = 345,
  EndProgram = 346,
};

constexpr uint32_t StepOf(Entry entry) { return static_cast<uint32_t>(entry); }

// The return points of the local routines, named by where the flow goes
// on behind the call.
enum class ReturnPoint : int {
  ToExportScreen = 1,   // 90: ScanDrives
  ToExtensionRule = 2,  // 118: RestoreStartDirectory
  ToHeader = 3,         // 145: RestoreStartDirectory, a step back from the name
  ToExportDone = 4,     // 164: RestoreStartDirectory after the copy
  ToMenuWait = 5,       // 260: FlushKeys
  ToMouseEvents = 6,    // 263: PollKeyAndClock
  ToMouseEvent = 7,     // 267: ReadMouse
  ToEndSequence = 8,    // 294: RestoreStartDirectory, Esc in the menu
  ToHandlerNotice = 9,  // 310: RestoreStartDirectory, in ExportHandler
};

// The four handlers, numbered as the error model arms them.
enum class Handler : int { HandOver = 1, Export = 2, Scan = 3, End = 4 };

inline void ArmHandler(Handler handler) { ts::ArmHandler(static_cast<int>(handler)); }
// Gives the error model the handler plan: each handler with its first step.
void SetHandlerPlan();

// Call of a local routine: pushes the return point; the flow goes on at
// the routine's first step.
Entry CallLocal(uint32_t step, ReturnPoint returnPoint, Entry routine);
// Return of a local routine at `step`: where the return point on top of
// the stack leads; `fallThrough` when the stack was empty and the box's
// Yes let the flow go on.
Entry ReturnFromLocal(uint32_t step, Entry fallThrough);

// Runs the stretch that holds `at`.
Entry RunFrom(Entry at);
// Runs the flow from `from` until it reaches one of `stops` (`from`
// itself included), and gives that entry; without stops, until the tool
// ends (ts::ProgramStop).
Entry RunFlow(Entry from, std::initializer_list<Entry> stops = {});

// An entry that its stretch, or every stretch, does not hold: a slip in the
// code, not in the run. Says so on standard error and aborts.
[[noreturn]] void UnheldEntry(const char* stretch, Entry at);
// For a stretch with a single entry.
inline void OnlyEntry(const char* stretch, Entry at, Entry entry) {
  if (at != entry) UnheldEntry(stretch, at);
}

Entry RunStartUp(Entry at);        // 18 to 37, restart at 34
Entry RunHandOver(Entry at);       // 44 to 71, RestoreStartDirectory 303 to 305
Entry RunHeaderAndScan(Entry at);  // 73 to 90, 167 to 202
// The drive menu, in its own stretches.
Entry RunFlushKeys(Entry at);        // 205 to 210
Entry RunReadMouse(Entry at);        // 212 to 216
Entry RunPollKeyAndClock(Entry at);  // 218 to 227
Entry RunMenuDrawing(Entry at);      // 229 to 252
Entry RunMenuHighlight(Entry at);    // 254 to 260
Entry RunMenuWait(Entry at);         // 261 to 287
Entry RunMenuDecision(Entry at);     // 292 to 298
Entry RunExportScreen(Entry at);   // 91 to 164, ExportHandler 307 to 313
Entry RunEndSequence(Entry at);    // 325 to 346

}  // namespace logship
