#include <sys/stat.h>

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

}  // namespace ts
