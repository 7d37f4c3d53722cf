// The hidden command interpreter: RunHidden starts it on one command line
// and waits for it; the check once a run that it can be started; the lock
// on the folder that two tools in one folder take turns with; and the
// outputs of its commands, noted until the tool deletes them, so that an
// end from outside takes them away.
#pragma once
#include <string>

#include "base/bytes.h"
#include "native_files.h"

namespace ts {

// Runs the command line through the interpreter, with no window, and
// returns when it has ended (or the end is asked for). An empty command
// is error 5; one that cannot be started returns at once, without error.
void RunHidden(const Bytes& command);

// The command interpreter's executable; empty: the one beside the programs.
void SetInterpreterPath(const std::string& nativePath);

// From a hidden command until its output is deleted, the tool holds its
// folder: the deletion by pattern lets it go.
void LetFolderGo();
// A file was deleted: when it was a command's output, an end from outside
// has nothing of it to take away.
void OutputDeleted(FileId id);

// Lets the folder go, forgets the outputs, the interpreter check and any
// interpreter path, and waits for the folder again as at the start.
void ResetShellRunner();

}  // namespace ts
