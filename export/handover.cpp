// Intern.int, the start directory, and the way back to it.
#include "handover.h"

#include <string>

#include "flow.h"
#include "globals.h"
#include "textscreen/errors.h"
#include "textscreen/named_files.h"
#include "textscreen/numbered_files.h"
#include "textscreen/shell_runner.h"

namespace logship {

using ts::FileMode;
using ts::Step;

namespace {

constexpr long kHandOverFile = 3;  // Intern.int, then hulp.hlp

// Where HandOverHandler takes up a pass that failed after the hand-over:
// behind what failed.
Entry BehindWhatFailed(PassStage reached) {
  switch (reached) {
    case PassStage::HandOver:  // not after the hand-over
    case PassStage::StartDirectory:
      return Entry::Header;
    case PassStage::Header:  // the date
      return Entry::TitleRow;
    case PassStage::DriveScan:  // the first probe: on with the next letter
      break;
  }
  return Entry::ProbeLoop;
}

}  // namespace

Entry RunHandOver(Entry at) {
  auto& g = G();
  switch (at) {
    case Entry::HandOver:
      Step(44, [] { ArmHandler(Handler::HandOver); });
      Step(46, [&] { g.handOverFlag = 0; });
      Step(47, [] { ts::OpenNumberedFile("Intern.int", FileMode::Input, kHandOverFile); });
      Step(48, [&] { g.dataFileName = ts::ReadField(kHandOverFile); });
      Step(49, [&] { g.nextProgram = ts::ReadField(kHandOverFile); });
      Step(50, [&] { g.handOverFlag = 1; });
      [[fallthrough]];
    case Entry::HandOverHandler:  // after a good read an ordinary step
      Step(52, [] { ts::CloseNumberedFile(kHandOverFile); });
      if (g.passStage > PassStage::HandOver) {
        // The hand-over itself was read; what failed came later (the start
        // directory, the header or the first probe). Going back to step 54
        // would fail the same way for ever, so the flow goes on past it.
        if (g.passStage == PassStage::StartDirectory) {
          // Quietly: a deletion that failed here would bring the flow back for ever.
          Step(52, [&] {
            if (auto made = ts::NamedFileId(g.helpFile)) ts::DeleteIfSame(g.helpFile, *made);
          });
        }
        Step(53, [] { ts::ResumeAt(54); });
        return BehindWhatFailed(g.passStage);
      }
      Step(53, [&] {
        if (g.handOverFlag == 0) ts::ResumeAt(54);
      });
      [[fallthrough]];
    case Entry::AfterHandOver:
      g.passStage = PassStage::StartDirectory;
      Step(67, [&] {
        g.helpFile = TemporaryName("hulp.hlp", g.dataFileName);
        ts::RunHidden("cd > " + g.helpFile);
      });
      Step(68, [&] { ts::OpenNumberedFile(g.helpFile, FileMode::Input, kHandOverFile); });
      Step(69, [&] { g.startDirectory = ts::ReadField(kHandOverFile); });
      Step(70, [] { ts::CloseNumberedFile(kHandOverFile); });
      Step(71, [&] { ts::DeleteMatching(g.helpFile); });
      return Entry::Header;

    case Entry::RestoreStartDirectory:
      // The current directory is the start directory unless something moved
      // it; when the start directory cannot be made current (a path cut at a
      // comma, a folder gone) the tool stays where it is and goes on.
      Step(304, [&] { ts::TryChangeDirectory(g.startDirectory); });
      // An empty stack (error 3, then the box's Yes) takes up the hand-over.
      return ReturnFromLocal(305, Entry::HandOver);
    default:
      UnheldEntry(__func__, at);
  }
}

Bytes TemporaryName(const Bytes& usual, const Bytes& dataFile) {
  std::optional<ts::FileId> data = ts::NamedFileId(dataFile);
  if (!data || !ts::PatternReaches(usual, *data)) return usual;
  size_t dot = usual.rfind('.');
  Bytes stem = usual.substr(0, dot), extension = dot == Bytes::npos ? Bytes() : usual.substr(dot);
  // A folder holds finitely many names, so one is free.
  for (long n = 1;; ++n) {
    Bytes candidate = stem + std::to_string(n) + extension;
    if (!ts::NameTaken(candidate)) return candidate;
  }
}

}  // namespace logship
