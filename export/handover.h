// The hand-over: Intern.int, the start directory, and the names of the
// shell's temporary files beside the data file.
#pragma once
#include "textscreen/base/bytes.h"

namespace logship {

using ts::Bytes;

// The name for a temporary file of the shell: `usual`, unless writing or
// deleting it would meet the data file (the same name in another case, a
// link, a hard link); then the first free name with a number before its
// extension ("hulp1.hlp").
Bytes TemporaryName(const Bytes& usual, const Bytes& dataFile);

}  // namespace logship
