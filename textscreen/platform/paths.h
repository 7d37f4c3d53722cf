// Drive letters and paths: the tool's form ("E:\LOG.cbr", "\tmp", "inifiles\x")
// turned into native paths, names matched without regard to letter case,
// code page 437 names to UTF-8 and back.
#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "textscreen/base/bytes.h"

namespace ts::platform {

// The drive table: letter -> native root folder, from LOGSHIP_DRIVES or
// the mounted file systems. Read once; Reload for tests. An entry of
// LOGSHIP_DRIVES that does not parse is said on standard error, once per
// process, and left out.
std::optional<std::string> DriveRoot(char letter);
void ReloadDrives();
// Reads the table now, so that a program says a bad one at its start.
void ReadDrives();

constexpr int kDriveLetters = 26;  // A to Z
using DriveTable = std::array<std::optional<std::string>, kDriveLetters>;
struct DriveMapping {
  DriveTable roots;
  std::vector<std::string> complaints;  // one line per entry left out
};
// "C=/;E=/media/stick": letters in either case, blanks around an entry,
// its letter and its folder ignored, empty entries skipped. Of a letter
// given twice the first folder counts.
DriveMapping ParseDriveMapping(const std::string& text);

// The mount points under /media, /run/media and /mnt in the text of
// /proc/self/mounts, unescaped and sorted: the drives from D on.
std::vector<std::string> RemovableMountPoints(const std::string& mountsText);
// The table without LOGSHIP_DRIVES: C is "/", those mount points take the
// letters from D on, A and B stay unmapped.
DriveTable DefaultDrives(const std::string& mountsText);

enum class PathError { None, NoDrive, NotReady };

struct NativePath {
  std::string path;  // UTF-8 native path, case-resolved where it exists;
                     // relative when the tool's path was; empty for NoDrive
  PathError error = PathError::None;
  std::string root;  // the drive's root (or "/") an absolute path hangs
                     // from; empty for a relative path
};
// Adds the "/"-separated components of a path to `parts`, lexically:
// empty ones and "." left out, ".." taking the last one away; a ".." with
// none to take stays in a relative path and goes in an absolute one.
// Gives how many of the parts there before stayed untouched.
size_t AddComponents(std::vector<std::string>& parts, const std::string& path, bool absolute);

// Resolves a tool-form path; components that do not exist exactly are
// looked up case-insensitively (a to z) in their folder.
NativePath ToNative(const Bytes& toolPath);

// Whether a file may be created, written or shortened at the path: it is
// no symbolic link, and the folder that holds it, links followed, lies
// inside the root the path hangs from. A medium can carry links that lead
// anywhere; writing through one would change files off the drive.
bool WritablePlace(const NativePath& native);

// An absolute native path in the tool's form: the mapped drive whose root
// is its longest prefix, then the rest with "\"; with no such drive the
// path with "\" and no drive ("\tmp\suite").
Bytes ToolForm(const std::string& native);
// The current directory, native; empty when it cannot be read (it was
// removed, or a folder above it may not be searched).
std::string CurrentNative();
// The current directory in the tool's form ("C:\home\op\logship").
Bytes CurrentDirectoryToolForm();

// The folder that holds the running executable (native).
std::string ExecutableFolder();

}  // namespace ts::platform
