// The hidden command interpreter, the lock on the tool's folder and the
// outputs of the commands.
#include "shell_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "errors.h"
#include "fatal_end.h"
#include "platform/helper_parent.h"
#include "platform/paths.h"
#include "platform/program_start.h"
#include "platform/wait.h"
#include "reset.h"
#include "window.h"

namespace ts {
namespace {

std::string interpreterPath;  // empty: the one beside the executable
enum class Interpreter { Unchecked, Present, Absent } interpreter = Interpreter::Unchecked;

// Output files of shell commands that the tool has not deleted yet: a
// fatal end takes them away.
struct ShellOutput {
  int handle;
  std::string path;
  std::optional<FileId> id;  // once the command has ended
};
std::vector<ShellOutput> shellOutputs;

// The file a command line sends its output to ("cd > hulp.hlp"); empty
// when there is none.
Bytes RedirectTarget(const Bytes& command) {
  size_t at = command.rfind('>');
  if (at == Bytes::npos) return Bytes();
  size_t first = command.find_first_not_of(" \t", at + 1);
  if (first == Bytes::npos) return Bytes();
  return command.substr(first, command.find_last_not_of(" \t") + 1 - first);
}

// Notes the output file before the command makes it; one that was there
// before is not the command's to take away, unless an earlier command
// made it.
void NoteShellOutput(const Bytes& command) {
  Bytes target = RedirectTarget(command);
  if (target.empty()) return;
  platform::NativePath native = platform::ToNative(target);
  if (native.error != platform::PathError::None) return;
  std::optional<FileId> there = IdOf(native.path, false);
  if (there) return;
  int handle = RemoveAtFatalEnd(native.path);
  if (handle >= 0) shellOutputs.push_back({handle, native.path, std::nullopt});
}

// After the command: what it made, or nothing left to take away.
void SettleShellOutputs() {
  for (auto it = shellOutputs.begin(); it != shellOutputs.end();) {
    if (!it->id) it->id = IdOf(it->path, false);
    if (it->id) {
      ++it;
    } else {
      ForgetAtFatalEnd(it->handle);
      it = shellOutputs.erase(it);
    }
  }
}

void ForgetShellOutputs() {
  for (const ShellOutput& o : shellOutputs) ForgetAtFatalEnd(o.handle);
  shellOutputs.clear();
}

const std::string& InterpreterPath() {
  if (interpreterPath.empty()) interpreterPath = platform::ExecutableFolder() + "/logship-cmd";
  return interpreterPath;
}

// The interpreter with "/c" and the command line as one argument (and the
// argument that names this process as its parent), in the
// current directory, every standard stream on /dev/null: the interpreter
// opens the redirection itself. -1 when it does not start.
pid_t StartInterpreter(const Bytes& commandLine) {
  const std::string& program = InterpreterPath();
  posix_spawn_file_actions_t streams;
  posix_spawn_file_actions_init(&streams);
  posix_spawn_file_actions_addopen(&streams, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&streams, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&streams, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = platform::SpawnNative(
      program, {program, "/c", commandLine, platform::ParentArgument()}, &streams);
  posix_spawn_file_actions_destroy(&streams);
  return pid;
}

// Two tools in one folder share its temporary files: from a hidden
// command until its output file is deleted (or the next command), a tool
// holds the folder, so that each run, read and deletion is its own. A
// holder that keeps it too long (a probe that failed, its file left, a
// stopped tool, a user's flock) is waited for once: after that the run
// only takes the folder when it is free, else every one of the scan's
// commands would wait again. An end that has been asked for waits for
// nothing.
int heldFolder = -1;
bool folderWaitRanOut = false;
constexpr int kFolderWaitMs = 5000;
constexpr int kFolderPollMs = 5;

// A tool that waits for the folder marks it meanwhile with a shared record
// lock, which flock does not see. A tool at work takes the folder again
// microseconds after it let it go; one that finds another's mark lets that
// one in first (for a few of its looks at most: it may be a stopped tool),
// else the waiter would only come in once the other's scan is over.
constexpr int kLetInMs = 50;

bool MarkFolder(int fd, bool waiting) {
  struct flock mark {};
  mark.l_type = waiting ? F_RDLCK : F_UNLCK;
  mark.l_whence = SEEK_SET;
  mark.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &mark) == 0;
}

bool AnotherWaits(int fd) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_len = 1;
  return fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

void HoldFolder() {
  LetFolderGo();
  int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  for (int ms = 0; ms < kLetInMs && AnotherWaits(fd) && !EndRequested(); ++ms) usleep(1000);
  bool marked = false;
  for (int waited = 0; flock(fd, LOCK_EX | LOCK_NB) != 0; waited += kFolderPollMs) {
    if (waited >= kFolderWaitMs) folderWaitRanOut = true;
    if ((errno != EWOULDBLOCK && errno != EINTR) || folderWaitRanOut || EndRequested()) {
      close(fd);  // the mark goes with it
      return;
    }
    if (!marked) marked = MarkFolder(fd, true);
    usleep(kFolderPollMs * 1000);
  }
  if (marked) MarkFolder(fd, false);
  heldFolder = fd;
}

// Without limit, unless the end comes: the interpreter is ended then, so
// that it makes no file once the program has stopped.
void WaitFor(pid_t pid) { platform::WaitForChild(pid, EndRequestDescriptor()); }

}  // namespace

void LetFolderGo() {
  if (heldFolder < 0) return;
  close(heldFolder);
  heldFolder = -1;
}

void OutputDeleted(FileId id) {
  for (auto it = shellOutputs.begin(); it != shellOutputs.end();) {
    if (it->id == id) {
      ForgetAtFatalEnd(it->handle);
      it = shellOutputs.erase(it);
    } else {
      ++it;
    }
  }
}

void RunHidden(const Bytes& command) {
  if (ErrorPending()) return;
  if (command.empty()) return RaiseError(5);
  if (interpreter == Interpreter::Unchecked) {
    pid_t probe = StartInterpreter("ver");
    interpreter = probe > 0 ? Interpreter::Present : Interpreter::Absent;
    if (probe > 0) WaitFor(probe);
  }
  if (interpreter == Interpreter::Absent) return;
  HoldFolder();
  NoteShellOutput(command);
  pid_t pid = StartInterpreter(command);
  if (pid > 0) {
    Window().HiddenCommand(true);
    WaitFor(pid);
    Window().HiddenCommand(false);
  }
  SettleShellOutputs();
}

void SetInterpreterPath(const std::string& nativePath) {
  interpreterPath = nativePath;
  interpreter = Interpreter::Unchecked;
}

void ResetShellRunner() {
  LetFolderGo();
  folderWaitRanOut = false;
  interpreterPath.clear();
  interpreter = Interpreter::Unchecked;
  ForgetShellOutputs();
}

static RoomReset reg(&ResetShellRunner);

}  // namespace ts
