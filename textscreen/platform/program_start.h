// Program start in place of WinExec: the command line split as Windows
// splits one, the program resolved through the path rules, posix_spawn,
// not waited for, no zombie left behind.
#pragma once
#include <spawn.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "../bytes.h"

namespace ts::platform {

// True when the new process runs the program.
bool SpawnCommandLine(const Bytes& commandLine);

// The program (the first word, or the text of a leading quoted part) and
// then its arguments, split by the usual quote and backslash rules.
// Empty when the line holds no program.
std::vector<Bytes> SplitCommandLine(const Bytes& commandLine);

// Starts the native executable at `path` with `argv` (argv[0] included),
// in the current directory and the user's environment, every signal at
// its default and none blocked, with only the standard streams open
// (`streams`, when given, sets them first). The process id, or -1 when
// exec failed (errno set).
pid_t SpawnNative(const std::string& path, const std::vector<std::string>& argv,
                  posix_spawn_file_actions_t* streams = nullptr);

// Puts "NAME=value" into the process's environment for SDL alone, before
// any other thread runs; the entry is the caller's for good and only its
// value may change later. Started programs get what the user had set
// under that name instead, or nothing.
void PutOwnEnvironmentEntry(char* entry);

}  // namespace ts::platform

namespace ts {
// "/" -> "\", started: the program ends at once (ProgramStop); not
// started: error 53.
void StartProgram(const Bytes& path);
}  // namespace ts

namespace ts::platform {
// For a helper process that the tool waits for: it ends when the thread
// that started it does, and at once when that is already gone.
void EndWithParent();
}  // namespace ts::platform
