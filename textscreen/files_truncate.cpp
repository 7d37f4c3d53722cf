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
  struct stat st {};
  if (length < 0 || !StatRegular(name, st)) {
    RaiseError(75);
    return;
  }
  if (int64_t(st.st_size) <= length) return;
  if (::truncate(platform::ToNative(name).path.c_str(), off_t(length)) != 0) RaiseError(75);
}

}  // namespace ts
