// Drive letters and paths: the tool's form ("E:\LOG.cbr", "\tmp", "inifiles\x")
// turned into native paths, names matched without regard to letter case,
// code page 437 names to UTF-8 and back.
#pragma once
#include <optional>
#include <string>

#include "../bytes.h"

namespace ts::platform {

// The drive table: letter -> native root folder, from LOGSHIP_DRIVES or
// the mounted file systems. Read once; Reload for tests.
std::optional<std::string> DriveRoot(char letter);
void ReloadDrives();

enum class PathError { None, NoDrive, NotReady };

struct NativePath {
  std::string path;  // UTF-8 native path, case-resolved where it exists
  PathError error = PathError::None;
};
// Resolves a tool-form path; components that do not exist exactly are
// looked up case-insensitively (a to z) in their folder.
NativePath ToNative(const Bytes& toolPath);

// The current directory in the tool's form ("C:\home\op\logship").
Bytes CurrentDirectoryToolForm();

std::string Cp437ToUtf8(const Bytes& s);
Bytes Utf8ToCp437(const std::string& s);

// The folder that holds the running executable (native).
std::string ExecutableFolder();

}  // namespace ts::platform
