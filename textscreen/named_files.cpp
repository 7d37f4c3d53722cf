#include "named_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "base/codepage437.h"
#include "errors.h"
#include "platform/paths.h"
#include "shell_runner.h"

namespace ts {
namespace {

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

}  // namespace

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
  // A command's output deleted (or not), the other tool in the folder may
  // have its turn.
  struct Release {
    ~Release() { LetFolderGo(); }
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
    if (known) OutputDeleted(IdOf(st));
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
    OutputDeleted(id);
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

}  // namespace ts
