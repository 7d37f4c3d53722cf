// The copy of the data file to the chosen drive.
#pragma once
#include "textscreen/bytes.h"

namespace logship {

using ts::Bytes;

// Copies `source` byte for byte to `destination`, in records of 100 bytes
// and then single bytes, through files 12 (destination) and 11 (source)
// and the tool's copy buffers. A missing source is error 53 and a source
// of 2 GiB or more error 6, both before anything is opened; a destination
// that was longer than the source ends as long as the source. A copy that
// fails on its way removes the destination when it created it.
void CopyFile(const Bytes& source, const Bytes& destination);

}  // namespace logship
