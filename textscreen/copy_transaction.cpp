#include "copy_transaction.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <vector>

#include "errors.h"
#include "fatal_end.h"
#include "numbered_files.h"
#include "platform/paths.h"
#include "reset.h"

namespace ts {
namespace {

// A number for a temporary file's name. Only the exclusive create keeps
// two copies apart; this makes a clash unlikely.
uint32_t Drawn() {
  uint32_t r;
  if (getrandom(&r, sizeof r, GRND_NONBLOCK) == ssize_t(sizeof r)) return r;
  // Early at boot the pool may not be ready.
  static uint32_t drawn = 0;
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return uint32_t(now.tv_nsec) ^ uint32_t(now.tv_sec) * 2654435761u ^ uint32_t(getpid()) << 16 ^
         ++drawn * 40503u;
}

// What a replacement takes over of the old file's mode.
constexpr mode_t kPermissionBits = 0777;

// The copy's files, each held from its first open to the end of the copy.
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

// The number's copy file; none (and 52) when the copy has not opened it.
CopyFile* Held(long number) {
  auto it = copyFiles.find(number);
  if (it != copyFiles.end()) return &it->second;
  RaiseError(52);
  return nullptr;
}

void NumberCopyFile(const Bytes& name, long number, long recordLength, const CopyFile& c) {
  OpenNumberOn(c.fd, name, number, recordLength, c.mayRead, c.mayWrite);
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
// file kept, and no copy holds it, which every running copy does from
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

void RemoveLeftovers(const std::string& folder, const CopyPolicy& policy) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir))
    if (policy.isTemporaryName(entry->d_name)) names.push_back(entry->d_name);
  for (const std::string& name : names) RemoveLeftover(dirfd(dir), name.c_str(), policy.keep);
  closedir(dir);
}

// A temporary file of this copy's own in the folder, created only where
// no file has the name, and locked at once, so that no other export takes
// it for a leftover while the copy runs. One that such a clean-up took
// between the create and the lock no longer has the name: another is made.
int CreateTemporary(const std::string& folder, const CopyPolicy& policy, std::string& path,
                    int& err) {
  constexpr int kTries = 8;
  int at = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);  // needs no right to read it
  if (at < 0) {
    err = errno;
    return -1;
  }
  int fd = -1;
  err = EEXIST;
  for (int tries = 0; fd < 0 && tries < kTries; ++tries) {
    const std::string name = policy.temporaryName(Drawn());
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
  if (!MayOpenNumber(number, recordLength)) return;
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
                         const CopyPolicy& policy) {
  if (!MayOpenNumber(number, recordLength)) return;
  platform::NativePath native = platform::ToNative(name);
  if (native.error != platform::PathError::None) return RaiseError(68);

  struct stat st;
  bool there = lstat(native.path.c_str(), &st) == 0;
  if (there && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return RaiseError(53);
  int err = 0, fd = -1;
  CopyFile c;
  if (platform::WritablePlace(native) && !(there && RefusesWriting(native.path))) {
    const std::string folder = ParentOf(native.path);
    RemoveLeftovers(folder, policy);
    std::string temporary;
    fd = CreateTemporary(folder, policy, temporary, err);
    if (fd >= 0) {
      // The old file's permission bits. A set-user-id, set-group-id or
      // sticky bit stays behind: a log is no program to run with the
      // rights of another.
      if (there) fchmod(fd, st.st_mode & kPermissionBits);
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
  if (!MayOpenNumber(number, recordLength)) return;
  const CopyFile* c = Held(number);
  if (!c) return;
  struct stat st;
  if (stat(c->path.c_str(), &st) != 0) return RaiseError(OpenError(errno, c->path));
  if (IdOf(st) != c->id) return RaiseError(75);
  NumberCopyFile(name, number, recordLength, *c);
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
  const CopyFile* c = Held(number);
  if (c && !c->placeAt.empty() && fsync(c->fd) != 0) RaiseError(75);
}

void PlaceCopy(long number, int64_t length) {
  if (ErrorPending()) return;
  CopyFile* held = Held(number);
  if (!held) return;
  CopyFile& c = *held;
  if (c.placeAt.empty()) {
    // Read where it is: right only when it already holds as many bytes.
    struct stat st;
    if (fstat(c.fd, &st) != 0 || int64_t(st.st_size) != length) RaiseError(75);
    return;
  }
  if (c.placed) return;
  struct stat st;
  if (lstat(c.path.c_str(), &st) != 0 || IdOf(st) != c.id) return RaiseError(75);
  if (rename(c.path.c_str(), c.placeAt.c_str()) != 0)
    return RaiseError(OpenError(errno, c.placeAt));
  ForgetAtFatalEnd(c.handle);
  c.placed = true;
}

void FlushCopyFolder(long number) {
  if (ErrorPending()) return;
  const CopyFile* c = Held(number);
  if (!c || c->placeAt.empty()) return;
  int fd = open(ParentOf(c->placeAt).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

static RoomReset reg(&ForgetCopyFiles);

}  // namespace ts
