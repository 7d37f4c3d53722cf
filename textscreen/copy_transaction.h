// The copy's transaction: its files held from their first open to the
// end of the copy, the destination written under a temporary name beside
// it and put into its place only when complete and on the medium, the
// leftovers of copies cut off without warning taken away, and the checks
// that the data file stayed as it was. What the temporary files are
// called, and what a clean-up keeps, is the tool's, handed in with the
// open of the destination.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/bytes.h"
#include "native_files.h"

namespace ts {

// Both functions must be set.
struct CopyPolicy {
  // The name, without folder, of a temporary file made from a number drawn
  // at random; drawn again while a name is taken.
  std::function<std::string(uint32_t drawn)> temporaryName;
  // Whether a name in the destination's folder has the shape of those
  // names: only a file of that shape may be a leftover to take away.
  std::function<bool(const std::string& name)> isTemporaryName;
  // A file that the removal of leftovers never takes; nullopt: none.
  std::optional<FileId> keep;
};

// The copy's own opens for random records. Each file stays held from its
// first open until ForgetCopyFiles, so that its second open reaches that
// very file.
// An existing regular file, for reading only: creates nothing and never
// waits; anything but a regular file counts as missing (53).
void OpenCopySource(const Bytes& name, long number, long recordLength);
// A fresh temporary file beside `name`, for reading and writing, locked
// while the copy holds it. Temporary files in that folder that copies
// cut off without warning left are taken away first, never the file the
// policy keeps. A destination that is a link, lies off the drive or may
// not be written is opened as itself for reading only, as
// OpenNumberedFile would: its first write fails.
void OpenCopyDestination(const Bytes& name, long number, long recordLength,
                         const CopyPolicy& policy);
// The number again on the file its first open reached: the open's error
// when the name reaches nothing now, 75 when it reaches another file.
void ReopenCopyFile(const Bytes& name, long number, long recordLength);
// 75 when the source's name reaches another file now, its length is no
// longer `length`, or it changed in any way since its first open (its
// modification or change time moved).
void CheckCopySource(long number, int64_t length);
// The temporary file onto the medium (75 when that fails), then into the
// destination's place (a refused rename gives an open's errors), then its
// folder onto the medium (75). A destination read as itself is right
// only when it holds `length` bytes already (else 75).
void FlushCopy(long number);
void PlaceCopy(long number, int64_t length);
void FlushCopyFolder(long number);
// Removes a temporary file not yet in its place and lets the files go.
void ForgetCopyFiles();

}  // namespace ts
