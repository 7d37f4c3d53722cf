// Intern.int, the start directory, and the way back to it.
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

Entry RunHandOver(Entry at) {
  auto& g = G();
  switch (at) {
    case 44:
      Step(44, [] { ts::ArmHandler(kHandOverHandler); });
      Step(46, [&] { g.handOverFlag = 0; });
      Step(47, [] { ts::OpenNumberedFile("Intern.int", FileMode::Input, 3); });
      Step(48, [&] { g.dataFileName = ts::ReadField(3); });
      Step(49, [&] { g.nextProgram = ts::ReadField(3); });
      Step(50, [&] { g.handOverFlag = 1; });
      [[fallthrough]];
    case 51:  // HandOverHandler; after a good read an ordinary step
      Step(52, [] { ts::CloseNumberedFile(3); });
      if (g.passStage > 0) {
        // The hand-over itself was read; what failed came later (the start
        // directory, the header or the first probe). Going back to step 54 would fail the
        // same way for ever, so the flow goes on past what failed.
        if (g.passStage == 1) {
          // Quietly: a deletion that failed here would bring the flow back for ever.
          Step(52, [&] {
            if (auto made = ts::NamedFileId(g.helpFile)) ts::DeleteIfSame(g.helpFile, *made);
          });
        }
        Step(53, [] { ts::ResumeAt(54); });
        return g.passStage == 1 ? kHeader : g.passStage == 2 ? kTitleRow : kProbeLoop;
      }
      Step(53, [&] {
        if (g.handOverFlag == 0) ts::ResumeAt(54);
      });
      [[fallthrough]];
    case 54:
      g.passStage = 1;
      Step(67, [&] {
        g.helpFile = TemporaryName("hulp.hlp", g.dataFileName);
        ts::RunHidden("cd > " + g.helpFile);
      });
      Step(68, [&] { ts::OpenNumberedFile(g.helpFile, FileMode::Input, 3); });
      Step(69, [&] { g.startDirectory = ts::ReadField(3); });
      Step(70, [] { ts::CloseNumberedFile(3); });
      Step(71, [&] { ts::DeleteMatching(g.helpFile); });
      return 73;

    case 303:  // RestoreStartDirectory
      // The current directory is the start directory unless something moved
      // it; when the start directory cannot be made current (a path cut at a
      // comma, a folder gone) the tool stays where it is and goes on.
      Step(304, [&] { ts::TryChangeDirectory(g.startDirectory); });
      // An empty stack (error 3, then the box's Yes) takes up the hand-over.
      return ReturnFromLocal(305, 44);
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
