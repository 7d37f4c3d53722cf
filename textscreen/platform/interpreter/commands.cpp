// The internal commands, with the output layout of the ones they replace.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <optional>

#include "commands.h"
#include "textscreen/base/codepage437.h"
#include "textscreen/platform/paths.h"

namespace ts::cmd {
namespace {

const char* const kNoDrive = "The system cannot find the drive specified.\r\n";
const char* const kNotReady = "The device is not ready.\r\n";

std::string Grouped(unsigned long long n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string RightAligned(const std::string& s, size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string Stamp(time_t t) {
  struct tm local;
  char text[32] = "";
  if (localtime_r(&t, &local)) strftime(text, sizeof text, "%m/%d/%Y  %I:%M %p", &local);
  return text;
}

// A native path made absolute, "." and ".." taken lexically. A current
// directory that cannot be read counts as the root.
std::string Absolute(const std::string& path) {
  std::vector<std::string> parts;
  platform::AddComponents(parts, path[0] == '/' ? path : platform::CurrentNative() + "/" + path,
                          true);
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

struct Entry {
  Bytes name;  // code page 437
  bool folder = false;
  unsigned long long size = 0;
  time_t modified = 0;
};

}  // namespace

int ChangeDirectoryCommand(const std::vector<Bytes>& args, Output& o) {
  if (!args.empty()) {
    o.err += "Only cd without an argument is supported here.\r\n";
    return 1;
  }
  o.out += platform::CurrentDirectoryToolForm() + "\r\n";
  return 0;
}

int VersionCommand(const std::vector<Bytes>&, Output& o) {
  o.out += "\r\nlogship-cmd [Version 1.0]\r\n";
  return 0;
}

int DirectoryCommand(const std::vector<Bytes>& args, Output& o) {
  Bytes target;
  for (const Bytes& a : args) {
    if (!a.empty() && a[0] == '/') {
      o.err += "Invalid switch - \"" + a.substr(1) + "\".\r\n";
      return 1;
    }
    if (!target.empty()) {
      o.err += "Too many parameters - " + a + "\r\n";
      return 1;
    }
    target = a;
  }

  // Only a letter names a drive: "1:" is no path that exists.
  const bool hasDrive = target.size() >= 2 && target[1] == ':';
  const char first = hasDrive ? UpperAZ(target.substr(0, 1))[0] : 0;
  if (hasDrive && (first < 'A' || first > 'Z')) {
    o.err += "File Not Found\r\n";
    return 1;
  }
  platform::NativePath native = platform::ToNative(target);
  if (native.error == platform::PathError::NoDrive) {
    o.err += kNoDrive;
    return 1;
  }
  if (native.error == platform::PathError::NotReady) {
    o.err += kNotReady;
    return 1;
  }
  std::string folder = Absolute(native.path);
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    o.err += "File Not Found\r\n";
    return 1;
  }

  // The drive as asked for, even when another letter shares its root.
  char letter = 0;
  Bytes form;
  std::optional<std::string> root;
  if (hasDrive) {
    letter = char(UpperAZ(target.substr(0, 1))[0]);
    root = platform::DriveRoot(letter);
    std::string rest = *root == "/" || folder.compare(0, root->size(), *root) != 0
                           ? folder
                           : folder.substr(root->size());
    if (rest.empty()) rest = "/";
    std::replace(rest.begin(), rest.end(), '/', '\\');
    form = Bytes(1, letter) + ":" + Utf8ToCp437(rest);
  } else {
    form = platform::ToolForm(folder);
    if (form.size() >= 2 && form[1] == ':') {
      letter = form[0];
      root = platform::DriveRoot(letter);
    }
  }
  bool atRoot = folder == "/" || (root && folder == *root);

  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    o.err += errno == EACCES || errno == EPERM ? "Access is denied.\r\n" : kNotReady;
    return 1;
  }
  std::vector<Entry> entries;
  if (!atRoot) {
    entries.push_back({".", true, 0, st.st_mtime});
    struct stat up;
    std::string parent = Absolute(folder + "/..");
    entries.push_back({"..", true, 0, stat(parent.c_str(), &up) == 0 ? up.st_mtime : st.st_mtime});
  }
  std::vector<Entry> found;
  while (dirent* d = readdir(dir)) {
    std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat es;
    if (fstatat(dirfd(dir), d->d_name, &es, 0) != 0 &&
        fstatat(dirfd(dir), d->d_name, &es, AT_SYMLINK_NOFOLLOW) != 0)
      continue;
    found.push_back({Utf8ToCp437(name), S_ISDIR(es.st_mode),
                     S_ISDIR(es.st_mode) ? 0ULL : (unsigned long long)es.st_size, es.st_mtime});
  }
  closedir(dir);
  std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) {
    Bytes ua = UpperAZ(a.name), ub = UpperAZ(b.name);
    return ua != ub ? ua < ub : a.name < b.name;
  });
  entries.insert(entries.end(), found.begin(), found.end());

  struct statvfs vfs;
  bool haveVfs = statvfs(folder.c_str(), &vfs) == 0;
  unsigned long serial = haveVfs ? (unsigned long)(vfs.f_fsid & 0xFFFFFFFFUL) : 0;
  char serialText[16];
  std::snprintf(serialText, sizeof serialText, "%04lX-%04lX", serial >> 16, serial & 0xFFFF);

  Bytes& out = o.out;
  out += letter ? Bytes(" Volume in drive ") + letter + " has no label.\r\n"
                : Bytes(" Volume has no label.\r\n");
  out += Bytes(" Volume Serial Number is ") + serialText + "\r\n";
  out += "\r\n Directory of " + form + "\r\n\r\n";
  unsigned long long files = 0, folders = 0, bytes = 0;
  for (const Entry& e : entries) {
    out += Stamp(e.modified);
    if (e.folder) {
      out += "    <DIR>          ";
      ++folders;
    } else {
      out += RightAligned(Grouped(e.size), 18) + " ";
      ++files;
      bytes += e.size;
    }
    out += e.name + "\r\n";
  }
  unsigned long long freeBytes = haveVfs ? (unsigned long long)vfs.f_bavail * vfs.f_frsize : 0;
  out += RightAligned(std::to_string(files), 16) + " File(s) " +
         RightAligned(Grouped(bytes), 14) + " bytes\r\n";
  out += RightAligned(std::to_string(folders), 16) + " Dir(s) " +
         RightAligned(Grouped(freeBytes), 15) + " bytes free\r\n";
  return 0;
}

}  // namespace ts::cmd
