// Program start in place of WinExec.
#include "program_start.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "paths.h"
#include "textscreen/base/codepage437.h"

extern char** environ;

namespace ts::platform {

namespace {

// One argument after the program, by the rules of the C runtime: 2n
// backslashes before a quote give n and the quote toggles quoting, 2n+1
// give n and a literal quote; "" inside quotes is a literal quote;
// backslashes before anything else stay as they are.
Bytes NextArgument(const Bytes& line, size_t& i) {
  Bytes arg;
  bool quoted = false;
  while (i < line.size()) {
    size_t slashes = 0;
    while (i < line.size() && line[i] == '\\') {
      ++slashes;
      ++i;
    }
    if (i < line.size() && line[i] == '"') {
      arg.append(slashes / 2, '\\');
      if (slashes % 2 == 1) {
        arg += '"';
      } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        arg += '"';
        ++i;
      } else {
        quoted = !quoted;
      }
      ++i;
      continue;
    }
    arg.append(slashes, '\\');
    if (i >= line.size() || (!quoted && IsBlank(line[i]))) break;
    arg += line[i++];
  }
  return arg;
}

}  // namespace

std::vector<Bytes> SplitCommandLine(const Bytes& line) {
  std::vector<Bytes> words;
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i == line.size()) return words;

  Bytes program;
  if (line[i] == '"') {
    size_t close = line.find('"', i + 1);
    if (close == Bytes::npos) close = line.size();
    program = line.substr(i + 1, close - i - 1);
    i = std::min(close + 1, line.size());
  } else {
    size_t end = i;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    program = line.substr(i, end - i);
    i = end;
  }
  if (program.empty()) return words;
  words.push_back(program);

  for (;;) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;
    words.push_back(NextArgument(line, i));
  }
  return words;
}

namespace {

// Entries the layer put into its own environment for SDL, and what the
// user had set under their names; known by address, so that a value SDL
// is handed on another thread is never read here.
struct OwnEntry {
  const char* entry;
  std::string userEntry;  // empty: the user had set none
};
std::vector<OwnEntry> ownEntries;

// The environment the user gave the program.
std::vector<char*> UserEnvironment() {
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) {
    bool own = std::any_of(ownEntries.begin(), ownEntries.end(),
                           [e](const OwnEntry& o) { return o.entry == *e; });
    if (!own) env.push_back(*e);
  }
  for (OwnEntry& o : ownEntries)
    if (!o.userEntry.empty()) env.push_back(o.userEntry.data());
  env.push_back(nullptr);
  return env;
}

}  // namespace

void PutOwnEnvironmentEntry(char* entry) {
  const char* equals = std::strchr(entry, '=');
  std::string name(entry, equals ? size_t(equals - entry) : std::strlen(entry));
  const char* user = std::getenv(name.c_str());
  ownEntries.push_back({entry, user ? name + "=" + user : std::string()});
  putenv(entry);
}

pid_t SpawnNative(const std::string& path, const std::vector<std::string>& argv,
                  posix_spawn_file_actions_t* streams, bool ownGroup) {
  std::vector<char*> cargv;
  for (const std::string& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);

  // The caller's threads may block or ignore signals (SDL does, and the
  // tools ignore SIGPIPE); the new program must not inherit that.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (ownGroup) {
    posix_spawnattr_setpgroup(&attr, 0);
    flags |= POSIX_SPAWN_SETPGROUP;
  }
  posix_spawnattr_setflags(&attr, flags);
  // Only the standard streams go over: not the font file, the display's
  // connection or a pipe of SDL.
  posix_spawn_file_actions_t own;
  if (!streams) {
    posix_spawn_file_actions_init(&own);
    streams = &own;
  }
  posix_spawn_file_actions_addclosefrom_np(streams, 3);

  std::vector<char*> env = UserEnvironment();
  pid_t pid = -1;
  int rc = posix_spawn(&pid, path.c_str(), streams, &attr, cargv.data(), env.data());
  if (streams == &own) posix_spawn_file_actions_destroy(&own);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    errno = rc;
    return -1;
  }
  return pid;
}

int ExecCommandLine(const Bytes& commandLine) {
  std::vector<Bytes> words = SplitCommandLine(commandLine);
  if (words.empty()) return kExecFileNotFound;

  NativePath program = ToNative(words[0]);
  if (program.error != PathError::None || program.path.empty()) return kExecPathNotFound;
  // Only an executable regular file is a program; a folder is not.
  struct stat st;
  if (stat(program.path.c_str(), &st) != 0) return kExecFileNotFound;
  if (!S_ISREG(st.st_mode) || access(program.path.c_str(), X_OK) != 0) return kExecAccessDenied;

  std::vector<std::string> argv{program.path};
  for (size_t k = 1; k < words.size(); ++k) argv.push_back(Cp437TextToUtf8(words[k]));

  // glibc reports a failed exec (ENOEXEC, a missing interpreter) here.
  pid_t pid = SpawnNative(program.path, argv);
  if (pid < 0) return errno == ENOMEM || errno == EAGAIN ? kExecOutOfMemory : kExecBadFormat;

  // The program usually outlives us and is then reaped by init; while we
  // still run, this keeps it from lingering as a zombie when it ends first.
  std::thread([pid] {
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return kExecStarted;
}

}  // namespace ts::platform
