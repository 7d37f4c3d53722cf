// The one table of ExportMain's entries and return points, and the
// dispatch through it.
#include "entries.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "textscreen/errors.h"
#include "textscreen/program.h"

namespace logship {
namespace {

constexpr EntryStep kEntrySteps[] = {
    {18, RunStartUp, "process start"},
    {34, RunStartUp, "restart"},
    {44, RunHandOver, "HandOverHandler armed, the hand-over"},
    {kHandOverHandlerStep, RunHandOver, "HandOverHandler"},
    {54, RunHandOver, "after the hand-over"},
    {kHeader, RunHeaderAndScan, "header"},
    {kTitleRow, RunHeaderAndScan, "header behind its date"},
    {91, RunExportScreen, "export screen"},
    {120, RunExportScreen, "ExportHandler armed, extension rule"},
    {140, RunExportScreen, "file-name prompt"},
    {167, RunHeaderAndScan, "ScanDrives"},
    {kProbeLoop, RunHeaderAndScan, "probe loop of the drive scan"},
    {kScanHandlerStep, RunHeaderAndScan, "ScanHandler"},
    {197, RunHeaderAndScan, "after ScanHandler's resume"},
    {205, RunFlushKeys, "FlushKeys"},
    {212, RunReadMouse, "ReadMouse"},
    {218, RunPollKeyAndClock, "PollKeyAndClock"},
    {229, RunMenuDrawing, "ChooseDrive, the drive menu"},
    {254, RunMenuHighlight, "the menu's round over its entries"},
    {256, RunMenuHighlight, "the highlight of one entry"},
    {261, RunMenuWait, "one pass of the wait"},
    {266, RunMenuWait, "the waiting mouse events"},
    {271, RunMenuWait, "one mouse event"},
    {292, RunMenuDecision, "the last key decides"},
    {294, RunMenuDecision, "Esc, or on to the next entry"},
    {303, RunHandOver, "RestoreStartDirectory"},
    {kExportHandlerStep, RunExportScreen, "ExportHandler"},
    {309, RunExportScreen, "after ExportHandler's resume"},
    {311, RunExportScreen, "ExportHandler's notice"},
    {325, RunEndSequence, "end of the export"},
    {328, RunEndSequence, "end sequence"},
    {kEndHandlerStep, RunEndSequence, "EndHandler"},
    {345, RunEndSequence, "after EndHandler's resume"},
    {346, RunEndSequence, "EndProgram"},
};

constexpr ReturnPoint kReturnPoints[] = {
    {1, 91},       // called at 90: ScanDrives, then the export screen
    {2, 120},      // 118: RestoreStartDirectory
    {3, kHeader},  // 145: RestoreStartDirectory, then back to the header
    {4, 325},      // 164: RestoreStartDirectory, then the end of the export
    {5, 261},      // 260: FlushKeys
    {6, 266},      // 263: PollKeyAndClock
    {7, 271},      // 267: ReadMouse
    {8, 328},      // 294: RestoreStartDirectory, then the end sequence
    {9, 311},      // 310: RestoreStartDirectory, in ExportHandler
};

constexpr const EntryStep* FindEntry(Entry at) {
  auto found = std::ranges::lower_bound(kEntrySteps, at, {}, &EntryStep::step);
  return found != std::end(kEntrySteps) && found->step == at ? found : nullptr;
}

constexpr bool IsEntry(Entry at) {
  return std::ranges::binary_search(kEntrySteps, at, {}, &EntryStep::step);
}

constexpr bool EntryStepsInOrder() {
  return std::ranges::adjacent_find(kEntrySteps, std::ranges::greater_equal{},
                                    &EntryStep::step) == std::end(kEntrySteps);
}

constexpr bool ReturnPointsLeadToEntries() {
  for (size_t i = 0; i < std::size(kReturnPoints); ++i)
    if (kReturnPoints[i].number != int(i + 1) || !IsEntry(kReturnPoints[i].leadsTo)) return false;
  return true;
}

static_assert(EntryStepsInOrder(), "the lookup needs the entry steps in order, each once");
static_assert(ReturnPointsLeadToEntries(), "return points 1 to 9, each leading to an entry");
static_assert(IsEntry(kHandOverHandlerStep) && IsEntry(kExportHandlerStep) &&
                  IsEntry(kScanHandlerStep) && IsEntry(kEndHandlerStep),
              "every handler starts at an entry");

[[noreturn]] void Slip(const std::string& what) {
  std::fprintf(stderr, "logship: %s\n", what.c_str());
  std::abort();
}

}  // namespace

std::span<const EntryStep> EntrySteps() { return kEntrySteps; }
std::span<const ReturnPoint> ReturnPoints() { return kReturnPoints; }

void SetHandlerPlan() {
  ts::SetHandlerFirstSteps(kHandOverHandlerStep, kExportHandlerStep, kScanHandlerStep,
                           kEndHandlerStep);
}

Entry RunFrom(Entry at) {
  const EntryStep* entry = FindEntry(at);
  if (!entry) Slip("no stretch holds entry step " + std::to_string(at));
  return entry->stretch(at);
}

void UnheldEntry(const char* stretch, Entry at) {
  Slip("entry step " + std::to_string(at) + " reached " + stretch + ", which does not hold it");
}

Entry CallLocal(uint32_t step, int returnPoint, Entry routine) {
  ts::Step(step, [&] { ts::PushReturnPoint(returnPoint); });
  return routine;
}

Entry ReturnFromLocal(uint32_t step, Entry fallThrough) {
  int top = 0;
  ts::Step(step, [&] { top = ts::PopReturnPoint(); });
  if (top == 0) return fallThrough;
  if (top < 1 || top > int(std::size(kReturnPoints)))
    Slip("return point " + std::to_string(top) + " leads nowhere");
  return kReturnPoints[top - 1].leadsTo;
}

}  // namespace logship
