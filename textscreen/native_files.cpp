#include "native_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace ts {
namespace {

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

FileId IdOf(const struct stat& st) { return FileId{uint64_t(st.st_dev), uint64_t(st.st_ino)}; }

std::optional<FileId> IdOf(const std::string& path, bool followLinks) {
  struct stat st;
  if ((followLinks ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) return std::nullopt;
  return IdOf(st);
}

long AccessError(int err) { return err == EACCES || err == EPERM || err == EAGAIN ? 70 : 75; }

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

std::string ParentOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

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

}  // namespace ts
