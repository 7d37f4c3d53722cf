#include "copy_file.h"

#include <exception>
#include <optional>

#include "globals.h"
#include "textscreen/errors.h"
#include "textscreen/files.h"

namespace logship {
namespace {

using ts::Decide;
using ts::FileMode;
using ts::Step;

constexpr long kDestination = 12, kSource = 11;
constexpr int64_t kRecordLength = 100;
// Beyond this a copy in 100-byte records takes tens of millions of
// positioned transfers; no contest log comes near it.
constexpr int64_t kLargestSource = (int64_t(1) << 31) - 1;

// A copy abandoned on its way (a medium that fills up or goes away; the
// handler entry unwinds through here) takes away the file it created, so
// that no half log waits under the typed name. A file that was there
// before the copy is left as the copy left it.
class PartialCopyGuard {
 public:
  explicit PartialCopyGuard(const Bytes& destination)
      : destination_(destination), unwinding_(std::uncaught_exceptions()) {}
  PartialCopyGuard(const PartialCopyGuard&) = delete;
  PartialCopyGuard& operator=(const PartialCopyGuard&) = delete;
  ~PartialCopyGuard() {
    if (created_ && std::uncaught_exceptions() > unwinding_) ts::DeleteIfSame(destination_, *created_);
  }
  void Created(std::optional<ts::FileId> id) { created_ = id; }

 private:
  const Bytes& destination_;
  int unwinding_;
  std::optional<ts::FileId> created_;
};

}  // namespace

void CopyFile(const Bytes& source, const Bytes& destination) {
  Globals& g = G();

  // An open for records would create a missing source empty and copy
  // nothing, reporting a lost data file as a finished export.
  Step(533, [&] {
    if (ts::FileExists(source) != -1) ts::RaiseError(53);
  });
  Step(534, [&] {
    if (ts::NamedFileLength(source) > kLargestSource) ts::RaiseError(6);
  });

  PartialCopyGuard guard(destination);
  Step(535, [&] {
    bool existed = ts::NameTaken(destination);
    ts::OpenNumberedFile(destination, FileMode::Random, kDestination, 100);
    if (!existed) guard.Created(ts::NumberedFileId(kDestination));
  });
  Step(536, [&] { ts::OpenNumberedFile(source, FileMode::Random, kSource, 100); });
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

  Step(548, [&] { ts::OpenNumberedFile(destination, FileMode::Random, kDestination, 1); });
  Step(549, [&] { ts::OpenNumberedFile(source, FileMode::Random, kSource, 1); });
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

  // The passes only overwrite; an older, longer file under the same name
  // would keep its tail behind the copy.
  Step(558, [&] { ts::ShortenFile(destination, wholeRecords * kRecordLength + rest); });
}

}  // namespace logship
