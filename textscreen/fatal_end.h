// What the end of the process takes with it when the end comes from
// outside (SIGTERM, SIGINT, SIGHUP, SIGQUIT, the loss of the display), and
// how the process then ends. Files that the tool made and has not handed
// over yet (the copy under its temporary name, a shell command's output)
// would otherwise stay behind half written.
//
// The signals are no interruptions: blocked in every thread, they wait on
// a descriptor that the thread owning the end reads beside its other
// events. That thread decides the end, has the program thread stop first
// (which ends its own children), and only then removes the noted files.
#pragma once
#include <string>

namespace ts {

// Notes a file to remove at such an end; the path is native and made
// absolute here. Gives a handle for ForgetAtFatalEnd, -1 when every slot is
// taken (the file is then not removed).
int RemoveAtFatalEnd(const std::string& nativePath);
void ForgetAtFatalEnd(int handle);
// Removes every noted file. Any thread may call it, also beside a program
// thread that is held up somewhere (the notes are lock-free); it runs once
// the program thread has stopped, which could make them again.
void RemoveNotedFiles();

// Before any other thread starts: blocks the four signals in the calling
// thread, and so in every thread started from then on, and gives a
// descriptor that becomes readable when one of them is pending. -1 when
// none can be opened; the signals then keep their default effect.
int BlockEndSignals();
// The pending signal taken off that descriptor; 0 when none waits.
int TakeEndSignal(int descriptor);

// The process ends as `signal` ends it, so that its parent sees that
// signal, with standard output and error flushed and without destructors
// (another thread may still be live). As process 1, which that signal
// does not end, it exits with 128 + the signal's number.
[[noreturn]] void EndBySignal(int signal);
// The same with an exit code.
[[noreturn]] void EndAtOnce(int code);

}  // namespace ts
