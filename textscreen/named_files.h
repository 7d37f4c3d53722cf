// Files by name, outside the numbered table: whether a file exists, its
// length and identity, deletion by a pattern with the file system's
// wildcards, and the change of the current directory. Names are in the
// tool's form and go through the path rules of platform/paths.h.
#pragma once
#include <cstdint>
#include <optional>

#include "base/bytes.h"
#include "native_files.h"

namespace ts {

int FileExists(const Bytes& name);  // -1 or 0, never an error
// The length of the regular file that the name names (links followed), -1
// when it names none or anything else, or while an error is pending; never
// an error.
int64_t NamedFileLength(const Bytes& name);
void DeleteMatching(const Bytes& pattern);

// These never raise and work while an error is pending.
// The file (not folder) the name reaches, links followed; nullopt when
// there is none.
std::optional<FileId> NamedFileId(const Bytes& name);
// Whether anything at all has the name: a file, a folder, a link (even
// one that leads nowhere).
bool NameTaken(const Bytes& name);
// Whether DeleteMatching(pattern) would meet the file, or a link to it.
bool PatternReaches(const Bytes& pattern, FileId id);
// Deletes the named file only when it is still that very file: a link or
// a file put there since is left alone.
void DeleteIfSame(const Bytes& name, FileId id);

void ChangeDirectory(const Bytes& path);
// Without raising: false when the directory cannot be made current (and
// while an error is pending).
bool TryChangeDirectory(const Bytes& path);

}  // namespace ts
