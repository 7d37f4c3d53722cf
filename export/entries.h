// Where the flow of ExportMain can go on: every entry step with the stretch
// that holds it, every return point with the entry it leads to.
#pragma once
#include <span>

#include "flow.h"

namespace logship {

using Stretch = Entry (*)(Entry at);

struct EntryStep {
  Entry step;
  Stretch stretch;  // the stretch that holds it
  const char* what;
};

struct ReturnPointLead {
  ReturnPoint point;
  Entry leadsTo;
};

// In step order, each step once.
std::span<const EntryStep> EntrySteps();
// Return points 1 to 9, in order.
std::span<const ReturnPointLead> ReturnPoints();

}  // namespace logship
