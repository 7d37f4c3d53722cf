// The stretches of ExportMain. Each runs from one of its entry steps and
// returns the entry step where the flow goes on; a handler entry arrives
// as ts::HandlerEntry and is turned into the handler's first step by the
// dispatcher in export_main.cpp.
#pragma once
#include <cstdint>

#include "textscreen/bytes.h"

namespace logship {

using ts::Bytes;
using Entry = uint32_t;

enum Handler { kHandOverHandler = 1, kExportHandler = 2, kScanHandler = 3, kEndHandler = 4 };

// Call of a local routine: pushes the return point; the flow goes on at
// the routine's first step.
Entry CallLocal(uint32_t step, int returnPoint, Entry routine);
// Return of a local routine at `step`: where the return point on top of
// the stack leads; `fallThrough` when the stack was empty and the box's
// Yes let the flow go on.
Entry ReturnFromLocal(uint32_t step, Entry fallThrough);

// Runs the stretch that holds `at`.
Entry RunFrom(Entry at);

Entry RunStartUp(Entry at);       // 18 to 37, restart at 34
Entry RunHandOver(Entry at);      // 44 to 71, RestoreStartDirectory 303 to 305
Entry RunHeaderAndScan(Entry at); // 73 to 90, 167 to 202
Entry RunDriveMenu(Entry at);     // 205 to 298
Entry RunExportScreen(Entry at);  // 91 to 164, ExportHandler 307 to 313
Entry RunEndSequence(Entry at);   // 325 to 346

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
