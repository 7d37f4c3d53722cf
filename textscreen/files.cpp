// Numbered files, text and numeric fields, records, and the hidden command
// interpreter. Fields are read one byte per read and records with one
// positioned read or write, nothing buffered between calls, so that what
// the tool sees is always what is on disk.
#include "files.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <vector>

#include "base/codepage437.h"
#include "errors.h"
#include "fatal_end.h"
#include "number_text.h"
#include "platform/helper_parent.h"
#include "platform/paths.h"
#include "platform/program_start.h"
#include "platform/wait.h"
#include "reset.h"
#include "window.h"

namespace ts {
namespace {

struct OpenFile {
  Bytes name;
  FileMode mode = FileMode::Input;
  long recordLength = 128;
  bool mayRead = false, mayWrite = false;
  bool atEnd = false;
  int64_t position = 0;
  int fd = -1;
};

std::map<long, OpenFile> files;
std::string interpreterPath;  // empty: the one beside the executable
enum class Interpreter { Unchecked, Present, Absent } interpreter = Interpreter::Unchecked;

constexpr int kEnd = -1;
constexpr char kCR = 13, kLF = 10;
// The most bytes one field read takes, a text's longest: a file without
// separators (a device behind a regular name, a log named by mistake)
// must not fill memory or hold the tool.
constexpr int64_t kLongestField = 32767;

bool IsLineEnd(int b) { return b == kCR || b == kLF; }
bool EndsField(int b) { return b == ',' || IsLineEnd(b); }

// A refused read or write.
long AccessError(int err) {
  return err == EACCES || err == EPERM || err == EAGAIN ? 70 : 75;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ParentOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

long OpenError(int err, const std::string& path) {
  switch (err) {
    case ENOTDIR:
      return 76;
    case ENOENT:
      return IsFolder(ParentOf(path)) ? 53 : 76;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EAGAIN:
    case EBUSY:
      return 70;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
      return 68;
    default:
      return 53;
  }
}

// A regular file opened for reading only; -1 with the reason in err. The
// open never waits (a FIFO with no writer would hold it for ever), and
// anything but a regular file counts as missing: a FIFO or a device has
// no end to read up to.
int OpenForReading(const std::string& path, int& err) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  err = errno;
  if (fd < 0) return -1;
  struct stat st;
  bool known = fstat(fd, &st) == 0;
  if (!known || !S_ISREG(st.st_mode)) {
    err = known && S_ISDIR(st.st_mode) ? EISDIR : ENOENT;
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

OpenFile* Checked(long number, FileMode mode, bool forReading) {
  auto it = files.find(number);
  if (it == files.end()) {
    RaiseError(52);
    return nullptr;
  }
  OpenFile& f = it->second;
  if (f.mode != mode) {
    RaiseError(54);
    return nullptr;
  }
  if (forReading ? !f.mayRead : !f.mayWrite) {
    RaiseError(75);
    return nullptr;
  }
  return &f;
}

// The checks of a record transfer; the position set to the record's start.
OpenFile* RecordFile(long number, int64_t record, size_t length, bool forReading) {
  if (ErrorPending()) return nullptr;
  OpenFile* f = Checked(number, FileMode::Random, forReading);
  if (!f) return nullptr;
  if (int64_t(length) > f->recordLength) {
    RaiseError(59);
    return nullptr;
  }
  int64_t position, last;
  if (record < 1 || __builtin_mul_overflow(record - 1, int64_t(f->recordLength), &position) ||
      __builtin_add_overflow(position, int64_t(length), &last)) {
    RaiseError(63);
    return nullptr;
  }
  f->position = position;
  return f;
}

// The byte at the position, not taken. The real end and a byte 26 (which
// stays unread) are kEnd, and from then on the file stays at its end. A
// failed read raises its error and reads as the end.
int Peek(OpenFile& f) {
  if (f.atEnd) return kEnd;
  unsigned char b;
  ssize_t n;
  do n = pread(f.fd, &b, 1, f.position);
  while (n < 0 && errno == EINTR);
  if (n < 0) {
    RaiseError(AccessError(errno));
    return kEnd;
  }
  if (n == 0 || b == 26) {
    f.atEnd = true;
    return kEnd;
  }
  return b;
}

// Takes a comma, or a CR or LF with the one partner that follows it.
void TakeSeparator(OpenFile& f, int b) {
  if (b == ',') {
    ++f.position;
  } else if (IsLineEnd(b)) {
    ++f.position;
    int next = Peek(f);
    if ((b == kCR && next == kLF) || (b == kLF && next == kCR)) ++f.position;
  }
}

// The file system's wildcards: "*" any run, "?" one character; letters
// a to z match in either case.
bool WildMatch(const char* pattern, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' || (*pattern && LowerAZ(*pattern) == LowerAZ(*name))) {
      ++pattern;
      ++name;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

// "name.*" also matches a name without extension, "*.*" every name.
bool PatternMatches(const Bytes& pattern, const Bytes& name) {
  if (WildMatch(pattern.c_str(), name.c_str())) return true;
  size_t n = pattern.size();
  return n >= 2 && pattern.compare(n - 2, 2, ".*") == 0 &&
         WildMatch(pattern.substr(0, n - 2).c_str(), name.c_str());
}

// The native paths of the entries that a pattern matches in its folder
// (the part up to the last "\\" or "/"); false when there is no such folder.
bool Matching(const Bytes& pattern, std::vector<std::string>& paths) {
  size_t cut = pattern.find_last_of("\\/");
  if (cut == Bytes::npos && pattern.size() >= 2 && pattern[1] == ':') cut = 1;
  Bytes folder = cut == Bytes::npos ? Bytes() : pattern.substr(0, cut + 1);
  Bytes namePattern = cut == Bytes::npos ? pattern : pattern.substr(cut + 1);

  platform::NativePath native = platform::ToNative(folder);
  if (native.error != platform::PathError::None || namePattern.empty()) return false;
  DIR* dir = opendir(native.path.c_str());
  if (!dir) return false;
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != ".." && PatternMatches(namePattern, Utf8ToCp437(name)))
      names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) paths.push_back(native.path + "/" + name);
  return true;
}

FileId IdOf(const struct stat& st) { return FileId{uint64_t(st.st_dev), uint64_t(st.st_ino)}; }

std::optional<FileId> IdOf(const std::string& path, bool followLinks) {
  struct stat st;
  if ((followLinks ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) return std::nullopt;
  return IdOf(st);
}

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

// The file went; its slot is free again.
void ShellOutputDeleted(FileId id) {
  for (auto it = shellOutputs.begin(); it != shellOutputs.end();) {
    if (it->id == id) {
      ForgetAtFatalEnd(it->handle);
      it = shellOutputs.erase(it);
    } else {
      ++it;
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

void ReleaseFolder() {
  if (heldFolder < 0) return;
  close(heldFolder);
  heldFolder = -1;
}

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
  ReleaseFolder();
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

// A numbered file's entry as its open names it, without its descriptor.
OpenFile NewOpenFile(const Bytes& name, FileMode mode, long recordLength) {
  OpenFile f;
  f.name = name;
  std::replace(f.name.begin(), f.name.end(), '/', '\\');
  f.mode = mode;
  f.recordLength = recordLength == -1 ? 128 : recordLength;
  return f;
}

// The checks every open of a number makes first; false when it may not go on.
bool MayOpen(long number, long recordLength) {
  if (ErrorPending()) return false;
  if (number < 1) RaiseError(52);
  else if (files.count(number)) RaiseError(55);
  else if (recordLength == 0 || (recordLength < 0 && recordLength != -1)) RaiseError(5);
  return !ErrorPending();
}

}  // namespace

void OpenNumberedFile(const Bytes& name, FileMode mode, long number, long recordLength) {
  if (!MayOpen(number, recordLength)) return;

  platform::NativePath native = platform::ToNative(name);
  if (native.error != platform::PathError::None) return RaiseError(68);

  OpenFile f = NewOpenFile(name, mode, recordLength);
  int err = 0;
  if (mode == FileMode::Random) {
    // Read and write, else read only, else write only; created when
    // missing, never truncated.
    const struct {
      int flags;
      bool read, write;
    } attempts[] = {{O_RDWR, true, true}, {O_RDONLY, true, false}, {O_WRONLY, false, true}};
    bool elsewhere = !platform::WritablePlace(native);
    for (const auto& a : attempts) {
      if (elsewhere) break;
      f.fd = open(native.path.c_str(), a.flags | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (f.fd >= 0) {
        f.mayRead = a.read;
        f.mayWrite = a.write;
        break;
      }
      err = errno;
      elsewhere = err == ELOOP;  // a link put there since the check
    }
    if (elsewhere) {
      // A link, or a folder off the drive: what is there may be read (a
      // data file kept elsewhere), but nothing is created or written.
      f.fd = OpenForReading(native.path, err);
      if (err == ENOENT) err = EACCES;  // it would have to be created there
      f.mayRead = true;
    }
  } else {
    f.fd = OpenForReading(native.path, err);
    f.mayRead = true;
  }
  if (f.fd < 0) return RaiseError(OpenError(err, native.path));

  if (mode == FileMode::Input) {
    unsigned char first;
    ssize_t n;
    do n = pread(f.fd, &first, 1, 0);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
      err = errno;
      close(f.fd);
      return RaiseError(AccessError(err));
    }
    if (n == 1 && first == 26) f.atEnd = true;
  }
  files[number] = f;
}

// The names of the copy's temporary files: the tool's name, 8 hex digits
// of the copy's own and an extension that marks an unfinished file, as
// LOGSHIP-1F0C93AB.part. Capitals, digits, "-" and "." in 21 characters:
// every file system a stick may carry takes the name as it is given (FAT
// as a long name), and no export bears it, since the name field takes
// neither "-" nor more than 8 characters.
namespace {

constexpr char kTemporaryPrefix[] = "LOGSHIP-", kTemporaryExtension[] = ".part";
constexpr size_t kTemporaryDigits = 8;

uint32_t RandomPart() {
  uint32_t r;
  if (getrandom(&r, sizeof r, GRND_NONBLOCK) == ssize_t(sizeof r)) return r;
  // Early at boot the pool may not be ready; the exclusive create still
  // keeps two tools apart, this only makes a clash unlikely.
  static uint32_t drawn = 0;
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return uint32_t(now.tv_nsec) ^ uint32_t(now.tv_sec) * 2654435761u ^ uint32_t(getpid()) << 16 ^
         ++drawn * 40503u;
}

std::string NewTemporaryName() {
  char digits[kTemporaryDigits + 1];
  std::snprintf(digits, sizeof digits, "%08X", unsigned(RandomPart()));
  return kTemporaryPrefix + std::string(digits) + kTemporaryExtension;
}

}  // namespace

bool IsCopyTemporaryName(const std::string& name) {
  const size_t prefix = sizeof kTemporaryPrefix - 1, extension = sizeof kTemporaryExtension - 1;
  if (name.size() != prefix + kTemporaryDigits + extension ||
      name.compare(0, prefix, kTemporaryPrefix) != 0 ||
      name.compare(prefix + kTemporaryDigits, extension, kTemporaryExtension) != 0)
    return false;
  for (size_t i = prefix; i < prefix + kTemporaryDigits; ++i)
    if ((name[i] < '0' || name[i] > '9') && (name[i] < 'A' || name[i] > 'F')) return false;
  return true;
}

// The copy's files, each held from its first open to the end of the copy.
namespace {

struct CopyFile {
  int fd = -1;  // held: the numbered file is a duplicate of it
  FileId id;
  struct stat opened {};  // the file as its first open found it
  std::string path;       // native name the file was reached by
  bool mayRead = false, mayWrite = false;
  std::string placeAt;  // a temporary file: the destination's native name
  int handle = -1;      // its note for the fatal end
  bool placed = false;  // the temporary file has the destination's name
};
std::map<long, CopyFile> copyFiles;

void NumberCopyFile(const Bytes& name, long number, long recordLength, const CopyFile& c) {
  OpenFile f = NewOpenFile(name, FileMode::Random, recordLength);
  f.mayRead = c.mayRead;
  f.mayWrite = c.mayWrite;
  f.fd = fcntl(c.fd, F_DUPFD_CLOEXEC, 0);
  if (f.fd < 0) return RaiseError(75);
  files[number] = f;
}

// Takes the open file as the number's copy file; false (and the file
// closed) when that fails.
bool HoldCopyFile(int fd, const std::string& path, CopyFile& c) {
  if (fstat(fd, &c.opened) != 0) {
    close(fd);
    RaiseError(75);
    return false;
  }
  c.fd = fd;
  c.id = IdOf(c.opened);
  c.path = path;
  return true;
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// What the system keeps of a file and moves at every change of it: a
// write, even one that keeps the length, moves the modification time; a
// change of its entry the change time.
bool Unchanged(const struct stat& before, const struct stat& after) {
  return IdOf(before) == IdOf(after) && before.st_size == after.st_size &&
         SameTime(before.st_mtim, after.st_mtim) && SameTime(before.st_ctim, after.st_ctim);
}

// Whether the file at the path may not be opened for writing: it is not
// the tool's to replace either.
bool RefusesWriting(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return true;
  close(fd);
  return false;
}

// Whether the name in the folder still reaches the file held open.
bool StillNamed(int folder, const char* name, int fd) {
  struct stat named, held;
  return fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && fstat(fd, &held) == 0 &&
         IdOf(named) == IdOf(held);
}

// Takes away a temporary file that a copy cut off without warning (kill
// -9, a power cut) left, only when it certainly is one: its name has the
// shape, it is a regular file of one name that may be written (the copy
// makes it so; a read-only one was made so by someone), it is not the
// data file, and no copy holds it, which every running copy does from
// just after its create. Its name must still reach the file that was
// locked when it goes.
void RemoveLeftover(int folder, const char* name, std::optional<FileId> keep) {
  struct stat st;
  if (fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
      st.st_nlink != 1 || !(st.st_mode & S_IWUSR) || (keep && IdOf(st) == *keep))
    return;
  int fd = openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat held;
  if (fstat(fd, &held) == 0 && IdOf(held) == IdOf(st) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      StillNamed(folder, name, fd))
    unlinkat(folder, name, 0);
  close(fd);
}

void RemoveLeftovers(const std::string& folder, std::optional<FileId> keep) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir))
    if (IsCopyTemporaryName(entry->d_name)) names.push_back(entry->d_name);
  for (const std::string& name : names) RemoveLeftover(dirfd(dir), name.c_str(), keep);
  closedir(dir);
}

// A temporary file of this copy's own in the folder, created only where
// no file has the name, and locked at once, so that no other export takes
// it for a leftover while the copy runs. One that such a clean-up took
// between the create and the lock no longer has the name: another is made.
int CreateTemporary(const std::string& folder, std::string& path, int& err) {
  constexpr int kTries = 8;
  int at = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);  // needs no right to read it
  if (at < 0) {
    err = errno;
    return -1;
  }
  int fd = -1;
  err = EEXIST;
  for (int tries = 0; fd < 0 && tries < kTries; ++tries) {
    const std::string name = NewTemporaryName();
    fd = openat(at, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      err = errno;
      if (err == EEXIST) continue;
      break;
    }
    bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0, named = StillNamed(at, name.c_str(), fd);
    if (locked && named) {
      path = folder + "/" + name;
    } else {
      if (named) unlinkat(at, name.c_str(), 0);  // made here, held by another
      close(fd);
      fd = -1;
    }
  }
  close(at);
  return fd;
}

}  // namespace

void OpenCopySource(const Bytes& name, long number, long recordLength) {
  if (!MayOpen(number, recordLength)) return;
  platform::NativePath native = platform::ToNative(name);
  if (native.error != platform::PathError::None) return RaiseError(68);
  int err = 0;
  int fd = OpenForReading(native.path, err);
  if (fd < 0) return RaiseError(OpenError(err, native.path));
  CopyFile c;
  c.mayRead = true;
  if (!HoldCopyFile(fd, native.path, c)) return;
  copyFiles[number] = c;
  NumberCopyFile(name, number, recordLength, c);
}

void OpenCopyDestination(const Bytes& name, long number, long recordLength,
                         std::optional<FileId> keep) {
  if (!MayOpen(number, recordLength)) return;
  platform::NativePath native = platform::ToNative(name);
  if (native.error != platform::PathError::None) return RaiseError(68);

  struct stat st;
  bool there = lstat(native.path.c_str(), &st) == 0;
  if (there && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return RaiseError(53);
  int err = 0, fd = -1;
  CopyFile c;
  if (platform::WritablePlace(native) && !(there && RefusesWriting(native.path))) {
    const std::string folder = ParentOf(native.path);
    RemoveLeftovers(folder, keep);
    std::string temporary;
    fd = CreateTemporary(folder, temporary, err);
    if (fd >= 0) {
      // The old file's permission bits. A set-user-id, set-group-id or
      // sticky bit stays behind: a log is no program to run with the
      // rights of another.
      if (there) fchmod(fd, st.st_mode & 0777);
      c.mayRead = c.mayWrite = true;
      c.placeAt = native.path;
      if (!HoldCopyFile(fd, temporary, c)) {
        unlink(temporary.c_str());
        return;
      }
      c.handle = RemoveAtFatalEnd(temporary);
    } else if (!there) {
      return RaiseError(OpenError(err, native.path));
    }
  }
  if (fd < 0) {
    // A link, a folder off the drive, or a file that may not be replaced:
    // it is read where it is, and its first write fails.
    fd = OpenForReading(native.path, err);
    if (fd < 0 && err == ENOENT) err = EACCES;  // it would have to be created there
    if (fd < 0) return RaiseError(OpenError(err, native.path));
    c.mayRead = true;
    if (!HoldCopyFile(fd, native.path, c)) return;
  }
  copyFiles[number] = c;
  NumberCopyFile(name, number, recordLength, c);
}

void ReopenCopyFile(const Bytes& name, long number, long recordLength) {
  if (!MayOpen(number, recordLength)) return;
  auto it = copyFiles.find(number);
  if (it == copyFiles.end()) return RaiseError(52);
  const CopyFile& c = it->second;
  struct stat st;
  if (stat(c.path.c_str(), &st) != 0) return RaiseError(OpenError(errno, c.path));
  if (IdOf(st) != c.id) return RaiseError(75);
  NumberCopyFile(name, number, recordLength, c);
}

void CheckCopySource(long number, int64_t length) {
  if (ErrorPending()) return;
  auto it = copyFiles.find(number);
  struct stat named, held;
  if (it == copyFiles.end() || stat(it->second.path.c_str(), &named) != 0 ||
      IdOf(named) != it->second.id || fstat(it->second.fd, &held) != 0 ||
      int64_t(held.st_size) != length || !Unchanged(it->second.opened, held))
    RaiseError(75);
}

void FlushCopy(long number) {
  if (ErrorPending()) return;
  auto it = copyFiles.find(number);
  if (it == copyFiles.end()) return RaiseError(52);
  if (!it->second.placeAt.empty() && fsync(it->second.fd) != 0) RaiseError(75);
}

void PlaceCopy(long number, int64_t length) {
  if (ErrorPending()) return;
  auto it = copyFiles.find(number);
  if (it == copyFiles.end()) return RaiseError(52);
  CopyFile& c = it->second;
  if (c.placeAt.empty()) {
    // Read where it is: right only when it already holds as many bytes.
    struct stat st;
    if (fstat(c.fd, &st) != 0 || int64_t(st.st_size) != length) RaiseError(75);
    return;
  }
  if (c.placed) return;
  struct stat st;
  if (lstat(c.path.c_str(), &st) != 0 || IdOf(st) != c.id) return RaiseError(75);
  if (rename(c.path.c_str(), c.placeAt.c_str()) != 0) return RaiseError(OpenError(errno, c.placeAt));
  ForgetAtFatalEnd(c.handle);
  c.placed = true;
}

void FlushCopyFolder(long number) {
  if (ErrorPending()) return;
  auto it = copyFiles.find(number);
  if (it == copyFiles.end()) return RaiseError(52);
  if (it->second.placeAt.empty()) return;
  int fd = open(ParentOf(it->second.placeAt).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  bool flushed = fd >= 0 && fsync(fd) == 0;
  if (fd >= 0) close(fd);
  if (!flushed) RaiseError(75);
}

void ForgetCopyFiles() {
  for (auto& [number, c] : copyFiles) {
    if (!c.placeAt.empty() && !c.placed) {
      struct stat st;
      if (lstat(c.path.c_str(), &st) == 0 && IdOf(st) == c.id) unlink(c.path.c_str());
      ForgetAtFatalEnd(c.handle);
    }
    close(c.fd);
  }
  copyFiles.clear();
}

void CloseNumberedFile(long number) {
  if (ErrorPending()) return;
  auto it = files.find(number);
  if (it == files.end()) return;
  close(it->second.fd);
  files.erase(it);
}

void CloseAllFiles() {
  if (ErrorPending()) return;
  for (auto& [number, f] : files) close(f.fd);
  files.clear();
}

Bytes ReadField(long number) {
  if (ErrorPending()) return Bytes();
  OpenFile* f = Checked(number, FileMode::Input, true);
  if (!f) return Bytes();
  const int64_t start = f->position;
  auto tooLong = [&] { return f->position - start > kLongestField; };

  int b = Peek(*f);
  while (IsBlank(char(b)) && !tooLong()) {
    ++f->position;
    b = Peek(*f);
  }
  if (b == kEnd) {
    RaiseError(62);
    return Bytes();
  }

  Bytes field;
  if (b == '"') {
    ++f->position;
    for (b = Peek(*f); b != kEnd && !tooLong(); b = Peek(*f)) {
      ++f->position;
      if (b == '"') break;
      field += char(b);
    }
    for (b = Peek(*f); b != kEnd && !EndsField(b) && !tooLong(); b = Peek(*f)) ++f->position;
  } else {
    for (; b != kEnd && !EndsField(b) && !tooLong(); b = Peek(*f)) {
      field += char(b);
      ++f->position;
    }
    size_t keep = field.find_last_not_of(" \t");
    field.resize(keep == Bytes::npos ? 0 : keep + 1);
  }
  if (tooLong()) {
    RaiseError(6);
    return Bytes();
  }
  TakeSeparator(*f, b);
  return field;
}

float ReadNumber(long number) {
  if (ErrorPending()) return 0;
  OpenFile* f = Checked(number, FileMode::Input, true);
  if (!f) return 0;

  const int64_t start = f->position;
  auto tooLong = [&] { return f->position - start > kLongestField; };
  int b = Peek(*f);
  while (b == ' ' && !tooLong()) {
    ++f->position;
    b = Peek(*f);
  }
  if (b == kEnd) {
    RaiseError(62);
    return 0;
  }

  // The longest stretch that forms a number. A stretch past the longest
  // field is cut there; it has more digits than any number may have.
  struct FieldSource final : NumberSource {
    OpenFile& f;
    int& b;
    int64_t start;
    FieldSource(OpenFile& file, int& at, int64_t from) : f(file), b(at), start(from) {}
    int Current() override { return b; }
    void Take() override {
      ++f.position;
      b = Peek(f);
    }
    bool Spent() override { return f.position - start > kLongestField; }
  } source(*f, b, start);
  std::optional<float> value = FieldSingle(ScanNumber(source));
  bool overflow = !value;

  // What ended the number.
  for (;;) {
    if (b == kEnd) break;
    if (tooLong()) {
      overflow = true;
      break;
    }
    if (b == ',' || IsLineEnd(b)) {
      TakeSeparator(*f, b);
      break;
    }
    ++f->position;
    if (b == ' ') {
      b = Peek(*f);
      if (b == ' ' || EndsField(b)) continue;
      break;  // the next field's first byte stays unread
    }
    b = Peek(*f);
  }

  if (overflow) {
    RaiseError(6);
    return 0;
  }
  return *value;
}

void GetRecord(long number, int64_t record, Bytes& buffer) {
  OpenFile* f = RecordFile(number, record, buffer.size(), true);
  if (!f) return;
  int64_t position = f->position;
  size_t done = 0;
  while (done < buffer.size()) {
    ssize_t n = pread(f->fd, buffer.data() + done, buffer.size() - done, position + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return RaiseError(AccessError(errno));
    if (n == 0) break;
    done += size_t(n);
    f->position = position + int64_t(done);
  }
  if (done < buffer.size()) {
    std::fill(buffer.begin() + done, buffer.end(), '\0');
    f->atEnd = true;
  }
}

void PutRecord(long number, int64_t record, const Bytes& buffer) {
  OpenFile* f = RecordFile(number, record, buffer.size(), false);
  if (!f) return;
  int64_t position = f->position;
  size_t done = 0;
  while (done < buffer.size()) {
    ssize_t n = pwrite(f->fd, buffer.data() + done, buffer.size() - done, position + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return RaiseError(AccessError(errno));
    if (n == 0) return RaiseError(75);
    done += size_t(n);
    f->position = position + int64_t(done);
  }
}

int64_t FileLength(long number) {
  // RaiseError keeps an error that is already pending.
  auto it = files.find(number);
  if (it == files.end()) {
    RaiseError(52);
    return 0;
  }
  struct stat st;
  if (fstat(it->second.fd, &st) != 0) {
    RaiseError(75);
    return 0;
  }
  return int64_t(st.st_size);
}

int FileExists(const Bytes& name) {
  if (ErrorPending()) return 0;
  platform::NativePath native = platform::ToNative(name);
  if (native.error != platform::PathError::None) return 0;
  // A FIFO or a device is no file to read, and counts as missing.
  struct stat st;
  return stat(native.path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? -1 : 0;
}

int64_t NamedFileLength(const Bytes& name) {
  if (ErrorPending()) return -1;
  platform::NativePath native = platform::ToNative(name);
  if (native.error != platform::PathError::None) return -1;
  struct stat st;
  if (stat(native.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return int64_t(st.st_size);
}

void DeleteMatching(const Bytes& pattern) {
  if (ErrorPending()) return;
  struct Release {
    ~Release() { ReleaseFolder(); }
  } release;
  std::vector<std::string> matches;
  if (!Matching(pattern, matches)) return RaiseError(53);
  int deleted = 0;
  for (const std::string& path : matches) {
    struct stat st;
    bool known = lstat(path.c_str(), &st) == 0;
    if (known && S_ISDIR(st.st_mode)) continue;
    if (unlink(path.c_str()) != 0) {
      int err = errno;
      return RaiseError(err == EACCES || err == EPERM || err == EROFS || err == EBUSY ? 55 : 53);
    }
    if (known) ShellOutputDeleted(IdOf(st));
    ++deleted;
  }
  if (deleted == 0) RaiseError(53);
}

bool PatternReaches(const Bytes& pattern, FileId id) {
  std::vector<std::string> matches;
  if (!Matching(pattern, matches)) return false;
  for (const std::string& path : matches)
    if (IdOf(path, true) == id) return true;
  return false;
}

std::optional<FileId> NamedFileId(const Bytes& name) {
  platform::NativePath native = platform::ToNative(name);
  struct stat st;
  if (native.error != platform::PathError::None || stat(native.path.c_str(), &st) != 0 ||
      S_ISDIR(st.st_mode))
    return std::nullopt;
  return IdOf(st);
}

bool NameTaken(const Bytes& name) {
  platform::NativePath native = platform::ToNative(name);
  return native.error == platform::PathError::None && IdOf(native.path, false).has_value();
}

void DeleteIfSame(const Bytes& name, FileId id) {
  platform::NativePath native = platform::ToNative(name);
  struct stat st;
  if (native.error == platform::PathError::None && lstat(native.path.c_str(), &st) == 0 &&
      S_ISREG(st.st_mode) && IdOf(st) == id && unlink(native.path.c_str()) == 0)
    ShellOutputDeleted(id);
}

bool TryChangeDirectory(const Bytes& path) {
  if (ErrorPending() || path.empty()) return false;
  platform::NativePath native = platform::ToNative(path);
  if (native.error != platform::PathError::None) return false;
  return chdir(native.path.c_str()) == 0;
}

void ChangeDirectory(const Bytes& path) {
  if (ErrorPending()) return;
  if (!TryChangeDirectory(path)) RaiseError(76);
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

void ResetFiles() {
  ReleaseFolder();
  folderWaitRanOut = false;
  for (auto& [number, f] : files) close(f.fd);
  files.clear();
  interpreterPath.clear();
  interpreter = Interpreter::Unchecked;
  ForgetShellOutputs();
  ForgetCopyFiles();
}

static RoomReset reg(&ResetFiles);

}  // namespace ts
