// The helpers that the tools start and wait for (the command interpreter,
// the dialog) go with the tool that started them. The tool names itself in
// the helper's last argument, so that a helper whose tool is gone before
// it got going knows it, whichever process took it over: process 1 is an
// ordinary parent when the tool itself runs as process 1.
#pragma once
#include <string>

namespace ts::platform {

// "--parent=" and this process's id: the last argument of a helper.
std::string ParentArgument();

// At a helper's start: takes a trailing ParentArgument off the arguments and
// has the system send `deathSignal` to the helper when the thread that
// started it ends. False when the parent named there is gone already.
// Started by hand, without one, the helper goes with whoever started it.
bool StayWithParent(int& argc, char** argv, int deathSignal);

}  // namespace ts::platform
