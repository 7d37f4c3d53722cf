#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "errors.h"
#include "files.h"
#include "platform/paths.h"

namespace ts {
namespace {

bool StatRegular(const Bytes& name, struct stat& st) {
  platform::NativePath native = platform::ToNative(name);
  if (native.error != platform::PathError::None) return false;
  return ::stat(native.path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

int64_t NamedFileLength(const Bytes& name) {
  if (ErrorPending()) return -1;
  struct stat st {};
  if (!StatRegular(name, st)) return -1;
  return int64_t(st.st_size);
}

void ShortenFile(const Bytes& name, int64_t length) {
  if (ErrorPending()) return;
  platform::NativePath native = platform::ToNative(name);
  // The name itself, not what a link leads to: a link is not shortened.
  struct stat st {};
  if (length < 0 || native.error != platform::PathError::None ||
      ::lstat(native.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      !platform::WritablePlace(native)) {
    RaiseError(75);
    return;
  }
  if (int64_t(st.st_size) <= length) return;
  int fd = ::open(native.path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  bool done = fd >= 0 && ::ftruncate(fd, off_t(length)) == 0;
  if (fd >= 0) ::close(fd);
  if (!done) RaiseError(75);
}

}  // namespace ts
