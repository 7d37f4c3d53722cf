// What the process takes away when it is ended from outside: by SIGTERM,
// SIGINT, SIGHUP or SIGQUIT, or by the loss of its display. Files that the
// tool made and has not handed over yet (the copy under its temporary name,
// a shell command's output) would otherwise stay behind half written.
#pragma once
#include <sys/types.h>

#include <string>

namespace ts {

// Notes a file to remove at such an end; the path is native and made
// absolute here. Gives a handle for ForgetAtFatalEnd, -1 when every slot is
// taken (the file is then not removed).
int RemoveAtFatalEnd(const std::string& nativePath);
void ForgetAtFatalEnd(int handle);
// A child that may still be writing one of those files: it is ended first.
// 0 forgets it.
void EndChildAtFatalEnd(pid_t child);

// Async-signal-safe: ends the noted child and removes the noted files.
void RunFatalEnd();
// Handlers for the four signals: RunFatalEnd, then the signal again with
// its default disposition. Started programs do not inherit them (exec
// sets caught signals back to their default).
void InstallFatalEnd();

}  // namespace ts
