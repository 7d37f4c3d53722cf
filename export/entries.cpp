// The one table of ExportMain's entries, return points and handlers' first
// steps, and the dispatch through it.
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
    {Entry::ProcessStart, RunStartUp, "process start"},
    {Entry::Restart, RunStartUp, "restart"},
    {Entry::HandOver, RunHandOver, "HandOverHandler armed, the hand-over"},
    {Entry::HandOverHandler, RunHandOver, "HandOverHandler"},
    {Entry::AfterHandOver, RunHandOver, "after the hand-over"},
    {Entry::Header, RunHeaderAndScan, "header"},
    {Entry::TitleRow, RunHeaderAndScan, "header behind its date"},
    {Entry::ExportScreen, RunExportScreen, "export screen"},
    {Entry::ExtensionRule, RunExportScreen, "ExportHandler armed, extension rule"},
    {Entry::FileNamePrompt, RunExportScreen, "file-name prompt"},
    {Entry::ScanDrives, RunHeaderAndScan, "ScanDrives"},
    {Entry::ProbeLoop, RunHeaderAndScan, "probe loop of the drive scan"},
    {Entry::ScanHandler, RunHeaderAndScan, "ScanHandler"},
    {Entry::AfterScanHandler, RunHeaderAndScan, "after ScanHandler's resume"},
    {Entry::FlushKeys, RunFlushKeys, "FlushKeys"},
    {Entry::ReadMouse, RunReadMouse, "ReadMouse"},
    {Entry::PollKeyAndClock, RunPollKeyAndClock, "PollKeyAndClock"},
    {Entry::ChooseDrive, RunMenuDrawing, "ChooseDrive, the drive menu"},
    {Entry::MenuRound, RunMenuHighlight, "the menu's round over its entries"},
    {Entry::MenuHighlight, RunMenuHighlight, "the highlight of one entry"},
    {Entry::MenuWait, RunMenuWait, "one pass of the wait"},
    {Entry::MouseEvents, RunMenuWait, "the waiting mouse events"},
    {Entry::MouseEvent, RunMenuWait, "one mouse event"},
    {Entry::LastKey, RunMenuDecision, "the last key decides"},
    {Entry::EscOrNextEntry, RunMenuDecision, "Esc, or on to the next entry"},
    {Entry::RestoreStartDirectory, RunHandOver, "RestoreStartDirectory"},
    {Entry::ExportHandler, RunExportScreen, "ExportHandler"},
    {Entry::AfterExportHandler, RunExportScreen, "after ExportHandler's resume"},
    {Entry::HandlerNotice, RunExportScreen, "ExportHandler's notice"},
    {Entry::ExportDone, RunEndSequence, "end of the export"},
    {Entry::EndSequence, RunEndSequence, "end sequence"},
    {Entry::EndHandler, RunEndSequence, "EndHandler"},
    {Entry::AfterEndHandler, RunEndSequence, "after EndHandler's resume"},
    {Entry::EndProgram, RunEndSequence, "EndProgram"},
};

// Where each return point leads; the calls are at the steps named.
constexpr ReturnPointLead kReturnPoints[] = {
    {ReturnPoint::ToExportScreen, Entry::ExportScreen},    // 90: ScanDrives
    {ReturnPoint::ToExtensionRule, Entry::ExtensionRule},  // 118: RestoreStartDirectory
    {ReturnPoint::ToHeader, Entry::Header},                // 145
    {ReturnPoint::ToExportDone, Entry::ExportDone},        // 164
    {ReturnPoint::ToMenuWait, Entry::MenuWait},            // 260: FlushKeys
    {ReturnPoint::ToMouseEvents, Entry::MouseEvents},      // 263: PollKeyAndClock
    {ReturnPoint::ToMouseEvent, Entry::MouseEvent},        // 267: ReadMouse
    {ReturnPoint::ToEndSequence, Entry::EndSequence},      // 294
    {ReturnPoint::ToHandlerNotice, Entry::HandlerNotice},  // 310
};

constexpr ts::HandlerStart Starts(Handler handler, Entry firstStep) {
  return {static_cast<int>(handler), StepOf(firstStep)};
}

// The handler plan: where the error model continues when it delivers an
// error to each handler.
constexpr ts::HandlerStart kHandlerPlan[] = {
    Starts(Handler::HandOver, Entry::HandOverHandler),
    Starts(Handler::Export, Entry::ExportHandler),
    Starts(Handler::Scan, Entry::ScanHandler),
    Starts(Handler::End, Entry::EndHandler),
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
    if (static_cast<size_t>(kReturnPoints[i].point) != i + 1 || !IsEntry(kReturnPoints[i].leadsTo))
      return false;
  return true;
}

// The runner turns a handler's first step back into an entry.
constexpr bool HandlersStartAtEntries() {
  return std::ranges::all_of(kHandlerPlan, [](const ts::HandlerStart& row) {
    return IsEntry(static_cast<Entry>(row.firstStep));
  });
}

static_assert(EntryStepsInOrder(), "the lookup needs the entry steps in order, each once");
static_assert(ReturnPointsLeadToEntries(), "return points 1 to 9, each leading to an entry");
static_assert(HandlersStartAtEntries(), "every handler starts at an entry");

[[noreturn]] void Slip(const std::string& what) {
  std::fprintf(stderr, "logship: %s\n", what.c_str());
  std::abort();
}

}  // namespace

std::span<const EntryStep> EntrySteps() { return kEntrySteps; }
std::span<const ReturnPointLead> ReturnPoints() { return kReturnPoints; }

void SetHandlerPlan() { ts::SetHandlerPlan(kHandlerPlan); }

Entry RunFrom(Entry at) {
  const EntryStep* entry = FindEntry(at);
  if (!entry) Slip("no stretch holds entry step " + std::to_string(StepOf(at)));
  return entry->stretch(at);
}

Entry RunFlow(Entry from, std::initializer_list<Entry> stops) {
  for (Entry at = from;;) {
    if (std::ranges::find(stops, at) != stops.end()) return at;
    try {
      at = RunFrom(at);
    } catch (const ts::HandlerEntry& entry) {
      // The plan holds entries only (checked where it is made).
      at = static_cast<Entry>(entry.firstStep);
    }
  }
}

void UnheldEntry(const char* stretch, Entry at) {
  Slip("entry step " + std::to_string(StepOf(at)) + " reached " + stretch +
       ", which does not hold it");
}

Entry CallLocal(uint32_t step, ReturnPoint returnPoint, Entry routine) {
  ts::Step(step, [&] { ts::PushReturnPoint(static_cast<int>(returnPoint)); });
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
