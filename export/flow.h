// The stretches of ExportMain. Each runs from one of its entry steps and
// returns the entry step where the flow goes on; RunFrom sends an entry to
// its stretch through the table in entries.cpp. A handler entry arrives as
// ts::HandlerEntry and is turned into the handler's first step by the
// dispatcher in export_main.cpp.
#pragma once
#include <cstdint>

#include "textscreen/base/bytes.h"

namespace logship {

using ts::Bytes;
using Entry = uint32_t;

enum Handler { kHandOverHandler = 1, kExportHandler = 2, kScanHandler = 3, kEndHandler = 4 };

// The handler plan: where the error model continues when it delivers an
// error to each handler.
constexpr Entry kHandOverHandlerStep = 51;
constexpr Entry kExportHandlerStep = 307;
constexpr Entry kScanHandlerStep = 194;
constexpr Entry kEndHandlerStep = 342;
// Gives the error model the handler plan.
void SetHandlerPlan();

// Where HandOverHandler takes up a pass that failed after the hand-over:
// behind what failed, by how far the pass got.
constexpr Entry kHeader = 73;      // the start directory failed: the header
constexpr Entry kTitleRow = 75;    // the date failed: the rest of the header
constexpr Entry kProbeLoop = 170;  // a probe failed: the next drive letter

// Call of a local routine: pushes the return point; the flow goes on at
// the routine's first step.
Entry CallLocal(uint32_t step, int returnPoint, Entry routine);
// Return of a local routine at `step`: where the return point on top of
// the stack leads; `fallThrough` when the stack was empty and the box's
// Yes let the flow go on.
Entry ReturnFromLocal(uint32_t step, Entry fallThrough);

// Runs the stretch that holds `at`.
Entry RunFrom(Entry at);
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

// The name for a temporary file of the shell: `usual`, unless writing or
// deleting it would meet the data file (the same name in another case, a
// link, a hard link); then the first free name with a number before its
// extension ("hulp1.hlp").
Bytes TemporaryName(const Bytes& usual, const Bytes& dataFile);

// A drive-list slot; an index outside 0..40 raises 9 and gives "".
Bytes DriveSlot(long index);
// Characters 7 and 8 of a time of day, read as a number.
float SecondsOf(const Bytes& timeOfDay);

}  // namespace logship
