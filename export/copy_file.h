// The copy of the data file to the chosen drive.
#pragma once
#include "textscreen/base/bytes.h"

namespace logship {

using ts::Bytes;

// Copies `source` byte for byte to `destination`, in records of 100 bytes
// and then single bytes, through files 12 (destination) and 11 (source)
// and the tool's copy buffers. A source that is missing or not a regular
// file is error 53 and a source of 2 GiB or more error 6, both before
// anything is opened. The copy is written under a temporary name of its
// own beside the destination and takes its place only when complete and
// on the medium; a copy that fails on its way leaves the destination as
// it was. A source that changed in any way while it was copied, its
// length kept or not, fails the copy with 75 at step 558. A destination
// that is the source itself is left alone.
void CopyFile(const Bytes& source, const Bytes& destination);

}  // namespace logship
