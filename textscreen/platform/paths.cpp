// Drive letters and paths in place of the Windows ones: a table of letters
// mapped to native folders, and the turning of "E:\LOG.cbr" or "inifiles\x"
// into a native path that matches existing names without regard to case.
#include "paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "textscreen/base/codepage437.h"
#include "textscreen/base/write_all.h"

namespace ts::platform {
namespace {

using Table = DriveTable;

std::mutex tableMutex;
bool tableLoaded = false;
Table table;

int LetterIndex(char c) {
  if (c >= 'a' && c <= 'z') return c - 'a';
  if (c >= 'A' && c <= 'Z') return c - 'A';
  return -1;
}

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

bool EqualAZ(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAZ(a[i]) != LowerAZ(b[i])) return false;
  return true;
}

// "/media//stick/" -> "/media/stick"; the root stays "/".
std::string TidyFolder(const std::string& folder) {
  std::string out;
  for (char c : folder)
    if (c != '/' || out.empty() || out.back() != '/') out += c;
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

std::string WithoutBlanks(const std::string& text) {
  size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// Maps one entry "letter=folder" into the table, or says why it cannot.
std::string TakeEntry(const std::string& entry, DriveTable& roots) {
  size_t equals = entry.find('=');
  if (equals == std::string::npos) return "no \"=\" between drive letter and folder";
  std::string letter = WithoutBlanks(entry.substr(0, equals));
  std::string folder = WithoutBlanks(entry.substr(equals + 1));
  if (letter.empty()) return "no drive letter before \"=\"";
  int index = letter.size() == 1 ? LetterIndex(letter[0]) : -1;
  if (index < 0) return "\"" + letter + "\" is not a drive letter A to Z";
  if (folder.empty()) return "no folder after \"=\"";
  if (folder[0] != '/') return "the folder \"" + folder + "\" does not start with \"/\"";
  const std::string name(1, char('A' + index));
  if (roots[index])
    return name + " is given twice; the first, " + name + "=" + *roots[index] + ", counts";
  roots[index] = TidyFolder(folder);
  return "";
}

// The complaints said so far: a table read again says none twice.
std::vector<std::string> complaintsSaid;

// The first few are named, the rest only counted: a table of thousands
// of bad entries must not bury the terminal.
constexpr size_t kComplaintsNamed = 5;

void Say(const std::vector<std::string>& complaints) {
  std::vector<std::string> lines;
  size_t more = 0;
  for (const std::string& line : complaints) {
    if (lines.size() < kComplaintsNamed) lines.push_back(line);
    else ++more;
  }
  if (more > 0)
    lines.push_back("and " + std::to_string(more) + " more LOGSHIP_DRIVES " +
                    (more == 1 ? "entry" : "entries") + " left out");
  for (const std::string& line : lines) {
    if (std::find(complaintsSaid.begin(), complaintsSaid.end(), line) != complaintsSaid.end())
      continue;
    complaintsSaid.push_back(line);
    WriteAll(STDERR_FILENO, std::string(program_invocation_short_name) + ": " + line + "\n");
  }
}

Table FromMounts() {
  std::string text;
  int fd = open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    char chunk[8192];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR))
      if (n > 0) text.append(chunk, size_t(n));
    close(fd);
  }
  return DefaultDrives(text);
}

const Table& Drives() {
  // Callers hold tableMutex.
  if (!tableLoaded) {
    const char* mapping = std::getenv("LOGSHIP_DRIVES");
    if (mapping) {
      DriveMapping parsed = ParseDriveMapping(mapping);
      table = parsed.roots;
      Say(parsed.complaints);
    } else {
      table = FromMounts();
    }
    tableLoaded = true;
  }
  return table;
}

bool ReadyFolder(const std::string& folder) {
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         access(folder.c_str(), R_OK | X_OK) == 0;
}

// The mapped letter whose root is the longest prefix of an absolute native
// path, or -1.
int DriveHolding(const std::string& native, std::string* rest) {
  std::lock_guard<std::mutex> lock(tableMutex);
  const Table& t = Drives();
  int best = -1;
  size_t bestLength = 0;
  for (int i = 0; i < kDriveLetters; ++i) {
    if (!t[i]) continue;
    const std::string& root = *t[i];
    bool holds = root == "/" ? !native.empty() && native[0] == '/'
                             : native.compare(0, root.size(), root) == 0 &&
                                   (native.size() == root.size() || native[root.size()] == '/');
    size_t length = root == "/" ? 0 : root.size();
    if (holds && (best < 0 || length > bestLength)) {
      best = i;
      bestLength = length;
    }
  }
  if (best >= 0 && rest) *rest = native.substr(bestLength);
  return best;
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// The entry of `folder` whose name equals `name` ignoring the case of a to
// z; the smallest such name when there are several, so the choice is stable.
std::optional<std::string> FindIgnoringCase(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return std::nullopt;
  std::optional<std::string> found;
  while (dirent* entry = readdir(dir)) {
    std::string candidate = entry->d_name;
    if (EqualAZ(candidate, name) && (!found || candidate < *found)) found = candidate;
  }
  closedir(dir);
  return found;
}

}  // namespace

DriveTable DefaultDrives(const std::string& mountsText) {
  DriveTable t;
  t['C' - 'A'] = "/";
  int next = 'D' - 'A';
  for (const std::string& mount : RemovableMountPoints(mountsText)) {
    if (next >= kDriveLetters) break;
    t[next++] = mount;
  }
  return t;
}

std::vector<std::string> RemovableMountPoints(const std::string& mountsText) {
  std::vector<std::string> points;
  size_t lineStart = 0;
  while (lineStart < mountsText.size()) {
    size_t lineEnd = mountsText.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = mountsText.size();
    std::string line = mountsText.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    size_t a = line.find(' ');
    if (a == std::string::npos) continue;
    size_t b = line.find(' ', a + 1);
    std::string field = line.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    // The kernel writes blanks, tabs, line ends and backslashes as \ooo.
    std::string point;
    for (size_t i = 0; i < field.size(); ++i) {
      if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
          IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
        point += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
        i += 3;
      } else {
        point += field[i];
      }
    }
    for (const char* under : {"/media/", "/run/media/", "/mnt/"}) {
      std::string prefix = under;
      if (point.size() > prefix.size() && point.compare(0, prefix.size(), prefix) == 0) {
        points.push_back(TidyFolder(point));
        break;
      }
    }
  }
  std::sort(points.begin(), points.end());
  points.erase(std::unique(points.begin(), points.end()), points.end());
  return points;
}

DriveMapping ParseDriveMapping(const std::string& text) {
  DriveMapping out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string entry = WithoutBlanks(text.substr(start, end - start));
    start = end + 1;
    if (entry.empty()) continue;
    std::string why = TakeEntry(entry, out.roots);
    if (!why.empty())
      out.complaints.push_back("LOGSHIP_DRIVES entry \"" + entry + "\" left out: " + why);
  }
  return out;
}

std::optional<std::string> DriveRoot(char letter) {
  int i = LetterIndex(letter);
  if (i < 0) return std::nullopt;
  std::lock_guard<std::mutex> lock(tableMutex);
  return Drives()[i];
}

void ReloadDrives() {
  std::lock_guard<std::mutex> lock(tableMutex);
  tableLoaded = false;
}

void ReadDrives() {
  std::lock_guard<std::mutex> lock(tableMutex);
  Drives();
}

size_t AddComponents(std::vector<std::string>& parts, const std::string& path, bool absolute) {
  size_t untouched = parts.size();
  size_t from = 0;
  while (from <= path.size()) {
    size_t end = path.find('/', from);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(from, end - from);
    from = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
        untouched = std::min(untouched, parts.size());
      } else if (!absolute) {
        parts.push_back(part);
      }
      continue;
    }
    parts.push_back(part);
  }
  return untouched;
}

NativePath ToNative(const Bytes& toolPath) {
  std::string p = Cp437ToUtf8(toolPath);
  std::replace(p.begin(), p.end(), '\\', '/');
  NativePath out;

  // `base` is the folder the components hang from: a drive's root, the
  // native root, or empty for a path relative to the current directory,
  // which stays relative. An absolute path never climbs above its base.
  std::string base;
  bool absolute = false;
  std::vector<std::string> parts;
  size_t known = 0;  // leading parts taken from getcwd, which exist as they are
  size_t i = 0;
  auto addParts = [&](const std::string& text) {
    known = std::min(known, AddComponents(parts, text, absolute));
  };

  if (p.size() >= 2 && LetterIndex(p[0]) >= 0 && p[1] == ':') {
    std::optional<std::string> root = DriveRoot(p[0]);
    if (!root) {
      out.error = PathError::NoDrive;
      return out;
    }
    if (!ReadyFolder(*root)) out.error = PathError::NotReady;
    i = 2;
    base = *root;
    absolute = true;
    if (i >= p.size() || p[i] != '/') {
      // "E:name" hangs from the current directory when that is on E.
      std::string rest;
      if (DriveHolding(CurrentNative(), &rest) == LetterIndex(p[0])) {
        addParts(rest);
        known = parts.size();
      }
    }
  } else if (!p.empty() && p[0] == '/') {
    int drive = DriveHolding(CurrentNative(), nullptr);
    std::optional<std::string> root = drive >= 0 ? DriveRoot(char('A' + drive)) : std::nullopt;
    base = root ? *root : "/";
    absolute = true;
  }
  addParts(p.substr(i));

  out.root = base;
  std::string path = base;
  bool lookUp = out.error == PathError::None;
  for (size_t k = 0; k < parts.size(); ++k) {
    std::string& part = parts[k];
    if (lookUp && k >= known && part != "..") {
      struct stat st;
      std::string exact = Join(path, part);
      if (lstat(exact.c_str(), &st) != 0) {
        if (auto found = FindIgnoringCase(path, part))
          part = *found;
        else
          lookUp = false;  // nothing below a missing folder can exist
      }
    }
    path = Join(path, part);
  }
  out.path = path.empty() ? "." : path;
  return out;
}

bool WritablePlace(const NativePath& native) {
  struct stat st;
  if (lstat(native.path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return false;
  size_t slash = native.path.rfind('/');
  if (native.root.empty() || native.root == "/" || native.path == native.root || slash == 0 ||
      slash == std::string::npos)
    return true;
  // A folder that cannot be resolved does not exist: the open fails on its own.
  char* root = realpath(native.root.c_str(), nullptr);
  char* folder = realpath(native.path.substr(0, slash).c_str(), nullptr);
  bool inside = true;
  if (root && folder) {
    std::string r = root, f = folder;
    inside = r == "/" || (f.compare(0, r.size(), r) == 0 && (f.size() == r.size() || f[r.size()] == '/'));
  }
  free(root);
  free(folder);
  return inside;
}

Bytes ToolForm(const std::string& native) {
  std::string rest;
  int drive = DriveHolding(native, &rest);
  std::string form;
  if (drive >= 0) {
    form = std::string(1, char('A' + drive)) + ":";
    if (rest.empty() || rest[0] != '/') rest = "/" + rest;
  } else {
    rest = native;
  }
  form += rest;
  std::replace(form.begin(), form.end(), '/', '\\');
  return Utf8ToCp437(form);
}

std::string CurrentNative() {
  std::string buffer(4096, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(buffer.find('\0'));
  return buffer;
}

Bytes CurrentDirectoryToolForm() { return ToolForm(CurrentNative()); }

std::string ExecutableFolder() {
  std::string buffer(4096, '\0');
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return ".";
    if (size_t(n) < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  size_t slash = buffer.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : buffer.substr(0, slash);
}

}  // namespace ts::platform
