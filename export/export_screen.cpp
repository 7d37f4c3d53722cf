// The export screen, the extension rule, the file-name prompt, the copy
// and ExportHandler.
#include <iterator>

#include "copy_file.h"
#include "field_editor.h"
#include "flow.h"
#include "globals.h"
#include "input_routines.h"
#include "screen_routines.h"
#include "textscreen/errors.h"
#include "textscreen/screen.h"

namespace logship {

using ts::Decide;
using ts::Step;

namespace {

struct ExtensionRule {
  uint32_t step;
  const char* dataExtension;  // upper case
  const char* copyExtension;
  bool prefillName;
};

constexpr ExtensionRule kExtensions[] = {
    {124, ".CBR", ".cbr", false}, {125, ".CSV", ".csv", false}, {126, ".PCN", ".pcn", true},
    {127, ".ETK", ".etk", false}, {128, ".LOG", ".cbr", true},
};

// The frames around the drive text are at least this wide on each side.
constexpr int16_t kLeastHalfWidth = 17;
constexpr long kNameCells = 8;  // a name of up to 8 characters

constexpr const char* kContestCallNotice[] = {
    "Het file wat gestuurd  ",
    "wordt naar de contest- ",
    "manager moet als naam  ",
    "hebben de contestcall!!",
};

Bytes LastFour(const Bytes& s) { return s.size() >= 4 ? s.substr(s.size() - 4) : s; }

}  // namespace

Entry RunExportScreen(Entry at) {
  auto& g = G();
  switch (at) {
    case Entry::ExportScreen:
      Step(91, [&] { g.driveText = g.chosenDrive + ":"; });
      Step(97, [] { DrawBanner(); });
      Step(98, [] { ts::SetColor(15, 0); });
      Step(99, [&] { PrintCentered(6, "Bestand " + g.baseName + " exporteren"); });
      Step(100, [&] {
        g.halfWidth = kLeastHalfWidth;
        long half = ts::RoundHalfEven(double(g.driveText.size()) / 2);
        if (half > kLeastHalfWidth) g.halfWidth = int16_t(half);
      });
      Step(103, [] { ts::SetColor(1, 1); });
      Step(104, [&] { DrawFrame(9, int16_t(36 - g.halfWidth), 17, int16_t(44 + g.halfWidth)); });
      Step(105, [] { ts::SetColor(4, 0); });
      Step(106, [&] { DrawFrame(10, int16_t(38 - g.halfWidth), 16, int16_t(42 + g.halfWidth)); });
      Step(107, [] { ts::SetColor(14, 4); });
      Step(109, [] { PrintCentered(10, " Exporteer naar: "); });
      Step(115, [] { ts::SetColor(15, 0); });
      Step(116, [&] { PrintCentered(12, g.driveText); });
      return CallLocal(118, ReturnPoint::ToExtensionRule, Entry::RestoreStartDirectory);

    case Entry::ExtensionRule:
      Step(120, [] { ArmHandler(Handler::Export); });
      Step(123, [&] {
        g.fileName.clear();
        g.copyExtension = ".txt";
      });
      for (const auto& rule : kExtensions) {
        Step(rule.step, [&] {
          if (ts::UpperAZ(LastFour(g.dataFileName)) != rule.dataExtension) return;
          g.copyExtension = rule.copyExtension;
          if (rule.prefillName) g.fileName = g.dataFileName.substr(0, g.dataFileName.size() - 4);
        });
      }
      if (Decide(130, [&] { return g.copyExtension == ".cbr"; })) {
        Step(133, [] { ts::SetColor(3, 1); });
        for (int i = 0; i < int(std::size(kContestCallNotice)); ++i) {
          Step(134 + i, [&] {
            ts::Locate(19 + i, 29);
            ts::PrintText(kContestCallNotice[i], true);
          });
        }
      }
      Step(139, [&] {
        ShowStatusLine(" Geef filenaam. Extensie is " + g.copyExtension + " [ESC]Terug");
      });
      [[fallthrough]];
    case Entry::FileNamePrompt:
      for (;;) {
        Step(141, [] { ts::SetColor(7, 0); });
        Step(142, [] { ts::Locate(14, 30); });
        Step(142, [] { ts::PrintText(" Filenaam : ", false); });
        Step(142, [&] { EditField(kNameCells, g.exitCode, g.fileName, 14, 4); });
        if (Decide(144, [&] { return g.exitCode != kExitEnter; }))
          return CallLocal(145, ReturnPoint::ToHeader, Entry::RestoreStartDirectory);
        if (!Decide(150, [&] { return g.fileName.empty(); })) break;
      }
      Step(153, [&] { g.fileName += g.copyExtension; });
      Step(154, [&] { g.destinationFolder = g.driveText; });
      Step(155, [&] {
        if (g.destinationFolder.empty() || g.destinationFolder.back() != '\\')
          g.destinationFolder += '\\';
      });
      Step(161, [&] { g.destinationPath = g.destinationFolder + g.fileName; });
      Step(162, [&] { CopyFile(g.dataFileName, g.destinationPath); });
      return CallLocal(164, ReturnPoint::ToExportDone, Entry::RestoreStartDirectory);

    case Entry::ExportHandler:
      Step(308, [] { ts::ResumeAt(309); });
      [[fallthrough]];
    case Entry::AfterExportHandler:
      return CallLocal(310, ReturnPoint::ToHandlerNotice, Entry::RestoreStartDirectory);

    case Entry::HandlerNotice:
      Step(311, [] { ShowStatusLine(" Verkeerde ingave. Elke toets "); });
      Step(312, [&] { WaitKey(g.handlerKey); });
      Step(313, [] { SettleMouse(); });
      return Entry::Restart;
    default:
      UnheldEntry(__func__, at);
  }
}

}  // namespace logship
