// What the file rooms share on the native side: a file's identity, an
// open for reading that never waits, and the error numbers of a refused
// open, read or write. Paths here are native, past the path rules.
#pragma once
#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ts {

// What a file is, whatever name reaches it: two names (a link, another
// letter case, a hard link) of one file give the same.
struct FileId {
  uint64_t device = 0, inode = 0;
  bool operator==(const FileId&) const = default;
};

FileId IdOf(const struct stat& st);
// nullopt when nothing has the path (a link is something, even one that
// leads nowhere, unless `followLinks`).
std::optional<FileId> IdOf(const std::string& path, bool followLinks);

// A refused read or write: 70 (access denied, a lock) or 75.
long AccessError(int err);
// A failed open of `path` by its errno: 76, 70, 68 or 53.
long OpenError(int err, const std::string& path);

// The folder that holds a native path; "." for a bare name.
std::string ParentOf(const std::string& path);

// A regular file opened for reading only; -1 with the reason in err. The
// open never waits (a FIFO with no writer would hold it for ever), and
// anything but a regular file counts as missing: a FIFO or a device has
// no end to read up to.
int OpenForReading(const std::string& path, int& err);

}  // namespace ts
