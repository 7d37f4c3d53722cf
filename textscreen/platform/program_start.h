// Program start in place of WinExec: the command line split as Windows
// splits one, the program resolved through the path rules, posix_spawn,
// not waited for, no zombie left behind.
#pragma once
#include <spawn.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "textscreen/base/bytes.h"

namespace ts::platform {

// What WinExec gave back: 32 and above, the program started; below it,
// the reason it did not.
enum ExecResult : int {
  kExecOutOfMemory = 0,
  kExecFileNotFound = 2,
  kExecPathNotFound = 3,
  kExecAccessDenied = 5,
  kExecBadFormat = 11,
  kExecStarted = 32,
};

// Starts the command line as WinExec did, and says how that went:
// kExecStarted when the new process runs the program; no program on the
// line or no such file, kExecFileNotFound; a drive that is missing or not
// ready, kExecPathNotFound; a folder or a file without execute permission,
// kExecAccessDenied; a file the system cannot run, kExecBadFormat.
int ExecCommandLine(const Bytes& commandLine);

// The program (the first word, or the text of a leading quoted part) and
// then its arguments, split by the usual quote and backslash rules.
// Empty when the line holds no program.
std::vector<Bytes> SplitCommandLine(const Bytes& commandLine);

// Starts the native executable at `path` with `argv` (argv[0] included),
// in the current directory and the user's environment, every signal at
// its default and none blocked, with only the standard streams open
// (`streams`, when given, sets them first), in the caller's process group
// or, with `ownGroup`, as the leader of a new one (whatever it starts can
// then be ended with it). The process id, or -1 when exec failed (errno
// set).
pid_t SpawnNative(const std::string& path, const std::vector<std::string>& argv,
                  posix_spawn_file_actions_t* streams = nullptr, bool ownGroup = false);

// Puts "NAME=value" into the process's environment for SDL alone, before
// any other thread runs; the entry is the caller's for good and only its
// value may change later. Started programs get what the user had set
// under that name instead, or nothing.
void PutOwnEnvironmentEntry(char* entry);

}  // namespace ts::platform
