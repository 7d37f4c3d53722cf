#include "copy_file.h"

#include <optional>

#include "copy_policy.h"
#include "globals.h"
#include "textscreen/copy_transaction.h"
#include "textscreen/errors.h"
#include "textscreen/named_files.h"
#include "textscreen/numbered_files.h"

namespace logship {
namespace {

using ts::Decide;
using ts::Step;

constexpr long kDestination = 12, kSource = 11;
constexpr int64_t kRecordLength = 100;
// Beyond this a copy in 100-byte records takes tens of millions of
// positioned transfers; no contest log comes near it.
constexpr int64_t kLargestSource = (int64_t(1) << 31) - 1;

// The copy's files are held from their first open to the end of the copy.
// A copy abandoned on its way (the handler entry unwinds through here) takes
// away its temporary file, so that nothing half is left on the medium and
// a file that was there before stays as it was.
class HeldCopyFiles {
 public:
  HeldCopyFiles() = default;
  HeldCopyFiles(const HeldCopyFiles&) = delete;
  HeldCopyFiles& operator=(const HeldCopyFiles&) = delete;
  ~HeldCopyFiles() { ts::ForgetCopyFiles(); }
};

}  // namespace

void CopyFile(const Bytes& source, const Bytes& destination) {
  Globals& g = G();

  // An open for records would create a missing source empty and copy
  // nothing, reporting a lost data file as a finished export; a FIFO or a
  // device has no end to copy up to.
  Step(533, [&] {
    if (ts::NamedFileLength(source) < 0) ts::RaiseError(53);
  });
  Step(534, [&] {
    if (ts::NamedFileLength(source) > kLargestSource) ts::RaiseError(6);
  });

  HeldCopyFiles held;
  // A destination that is the data file itself (its own name on a drive
  // whose root is its folder, or a hard link to it) already holds the copy:
  // the data file is only ever read.
  bool alreadyThere = false;
  Step(535, [&] {
    std::optional<ts::FileId> data = ts::NamedFileId(source);
    alreadyThere = data && ts::NamedFileId(destination) == data;
    if (!alreadyThere)
      ts::OpenCopyDestination(destination, kDestination, kRecordLength, CopyPolicyKeeping(data));
  });
  if (alreadyThere) return;
  Step(536, [&] { ts::OpenCopySource(source, kSource, kRecordLength); });
  int64_t wholeRecords = 0, rest = 0;
  Step(538, [&] { wholeRecords = ts::FileLength(kSource) / kRecordLength; });
  Step(539, [&] { rest = ts::FileLength(kSource) % kRecordLength; });

  int64_t recordCounter = 0, lastRecord = 0;
  Step(542, [&] {
    recordCounter = 1;
    lastRecord = wholeRecords;
  });
  while (Decide(542, [&] { return recordCounter <= lastRecord; })) {
    Step(543, [&] { ts::GetRecord(kSource, recordCounter, g.recordBuffer); });
    Step(545, [&] { ts::PutRecord(kDestination, recordCounter, g.recordBuffer); });
    Step(546, [&] { ++recordCounter; });
  }
  Step(547, [] { ts::CloseNumberedFile(kSource); });
  Step(547, [] { ts::CloseNumberedFile(kDestination); });

  Step(548, [&] { ts::ReopenCopyFile(destination, kDestination, 1); });
  Step(549, [&] { ts::ReopenCopyFile(source, kSource, 1); });
  Step(551, [&] { recordCounter = (recordCounter - 1) * kRecordLength + 1; });
  int64_t byteCounter = 0, lastByte = 0;
  Step(552, [&] {
    byteCounter = recordCounter;
    lastByte = recordCounter + rest - 1;
  });
  while (Decide(552, [&] { return byteCounter <= lastByte; })) {
    Step(553, [&] { ts::GetRecord(kSource, byteCounter, g.byteBuffer); });
    Step(555, [&] { ts::PutRecord(kDestination, byteCounter, g.byteBuffer); });
    Step(556, [&] { ++byteCounter; });
  }
  Step(557, [] { ts::CloseNumberedFile(kSource); });
  Step(557, [] { ts::CloseNumberedFile(kDestination); });

  // A source that changed on its way, even at its own length, gave a copy
  // of neither its old nor its new content. The copy takes the
  // destination's name only once it is on the medium; then its folder
  // entry goes there too.
  const int64_t length = wholeRecords * kRecordLength + rest;
  Step(558, [&] { ts::CheckCopySource(kSource, length); });
  Step(559, [] { ts::FlushCopy(kDestination); });
  Step(560, [&] { ts::PlaceCopy(kDestination, length); });
  Step(561, [] { ts::FlushCopyFolder(kDestination); });
}

}  // namespace logship
