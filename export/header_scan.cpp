// The header line, the drive scan and its handler.
#include <algorithm>

#include "date_text.h"
#include "flow.h"
#include "globals.h"
#include "handover.h"
#include "input_routines.h"
#include "screen_routines.h"
#include "textscreen/clock.h"
#include "textscreen/errors.h"
#include "textscreen/named_files.h"
#include "textscreen/numbered_files.h"
#include "textscreen/screen.h"
#include "textscreen/shell_runner.h"

namespace logship {

using ts::Decide;
using ts::FileMode;
using ts::Step;

namespace {

const Bytes kProbeFile = "direct.tmp";
constexpr long kListingFile = 4;  // the probe file, opened for its length

// The letter counter: 1 for A, up to 26 for Z; B is never probed.
constexpr int16_t kLetterB = 2, kLetterZ = 26;

bool ScanGoesOn(int16_t error) {
  return error == 53 || error == 68 || error == 71 || error == 75 || error == 76;
}

}  // namespace

Entry RunHeaderAndScan(Entry at) {
  auto& g = G();
  switch (at) {
    case Entry::Header:
      g.passStage = std::max(g.passStage, PassStage::Header);
      Step(74, [&] { FormatToday(g.dateText); });
      [[fallthrough]];
    case Entry::TitleRow:
      Step(75, [] { ts::SetColor(7, 0); });
      Step(76, [] {
        ts::Locate(1, 1);
        ts::PrintText(Bytes(80, ' '), true);
      });
      Step(77, [] { ts::Locate(1, 1); });
      Step(79, [&] { ts::PrintText(g.dateText, true); });
      Step(80, [] { ts::SetColor(10); });
      Step(81, [&] {
        g.baseName = g.dataFileName.size() > 4 ? g.dataFileName.substr(0, g.dataFileName.size() - 4)
                                               : Bytes();
      });
      Step(82, [] { PrintCentered(1, "Exporteren naar externe drive/stick"); });
      Step(89, [] { DrawBanner(); });
      return CallLocal(90, ReturnPoint::ToExportScreen, Entry::ScanDrives);

    case Entry::ScanDrives:
      g.passStage = std::max(g.passStage, PassStage::DriveScan);
      Step(168, [] { ShowStatusLine("Moment [geduld]. "); });
      Step(169, [&] {
        g.letterCounter = 0;
        g.driveCount = 0;
        g.probeFile = TemporaryName(kProbeFile, g.dataFileName);
      });
      [[fallthrough]];
    case Entry::ProbeLoop:
      for (;;) {
        if (Decide(171, [&] { return g.letterCounter == kLetterZ; })) {
          if (Decide(172, [&] { return g.driveCount == 0; })) {
            Step(172, [] { ShowStatusLine(" Geen externe drive gevonden "); });
            Step(172, [] { ts::SleepOrKey(4); });
            return Entry::EndSequence;
          }
          return Entry::ChooseDrive;
        }
        Step(176, [&] {
          g.letterCounter = int16_t(g.letterCounter + 1);
          if (g.letterCounter == kLetterB) g.letterCounter = kLetterB + 1;
        });
        Step(177, [&] { g.chosenDrive = Bytes(1, char(g.letterCounter + 64)); });
        Step(180, [] { ts::CloseNumberedFile(kListingFile); });
        Step(181, [] { ArmHandler(Handler::Scan); });
        Step(182, [&] { ts::RunHidden("dir " + g.chosenDrive + ": > " + g.probeFile); });
        Step(183, [&] { ts::OpenNumberedFile(g.probeFile, FileMode::Random, kListingFile); });
        Step(184, [&] { g.probeLength = float(ts::FileLength(kListingFile)); });
        Step(185, [] { ts::CloseNumberedFile(kListingFile); });
        if (Decide(186, [&] { return g.probeLength > 1; })) {
          Step(189, [&] { g.driveCount = int16_t(g.driveCount + 1); });
          Step(190, [&] { SetDriveSlot(g.driveCount, g.chosenDrive); });
        }
        // Deleted as "Direct.tmp": the same file, names match in any case.
        Step(192, [&] {
          ts::DeleteMatching(g.probeFile == kProbeFile ? Bytes("Direct.tmp") : g.probeFile);
        });
      }

    case Entry::ScanHandler:
      Step(195, [&] { g.scanErrorNumber = int16_t(ts::CurrentErrorNumber()); });
      Step(196, [] { ts::ResumeAt(197); });
      [[fallthrough]];
    case Entry::AfterScanHandler:
      if (Decide(199, [&] { return ScanGoesOn(g.scanErrorNumber); })) return Entry::ProbeLoop;
      Step(201, [&] { ShowStatusLine("Foutmelding. " + std::to_string(g.scanErrorNumber)); });
      Step(202, [&] { WaitKey(g.handlerKey); });
      return Entry::EndSequence;
    default:
      UnheldEntry(__func__, at);
  }
}

}  // namespace logship
