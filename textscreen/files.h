// Numbered files, fields, records, and the shell services the export tool
// stands on. Every name is in the tool's form ("\" or "/", optional "X:")
// and goes through the drive table and path rules of platform/paths.h.
#pragma once
#include <cstdint>
#include <optional>

#include "base/bytes.h"

namespace ts {

enum class FileMode { Input, Random };

// record length: -1 is the default (128); 0 or another negative gives 5.
// A random-record open of a symbolic link, or of a name whose folder lies
// off the drive's root, only reads what is there: it creates and writes
// nothing (70 when there is nothing to read).
void OpenNumberedFile(const Bytes& name, FileMode mode, long number, long recordLength = -1);
void CloseNumberedFile(long number);
void CloseAllFiles();
Bytes ReadField(long number);
float ReadNumber(long number);
// The buffer's length is the fixed length of the transfer.
void GetRecord(long number, int64_t record, Bytes& buffer);
void PutRecord(long number, int64_t record, const Bytes& buffer);
int64_t FileLength(long number);  // works while an error is pending
int FileExists(const Bytes& name);  // -1 or 0, never an error
void DeleteMatching(const Bytes& pattern);

// What a file is, whatever name reaches it: two names (a link, another
// letter case, a hard link) of one file give the same.
struct FileId {
  uint64_t device = 0, inode = 0;
  bool operator==(const FileId&) const = default;
};
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

// The copy's own opens for random records. The destination is written
// under a temporary name of the copy's own in its folder and takes its
// name only when complete. Each file stays held from its first open until
// ForgetCopyFiles, so that its second open reaches that very file.
// An existing regular file, for reading only: creates nothing and never
// waits; anything but a regular file counts as missing (53).
void OpenCopySource(const Bytes& name, long number, long recordLength);
// A fresh temporary file beside `name`, for reading and writing, locked
// while the copy holds it. Temporary files in that folder that copies
// cut off without warning left are taken away first, never the file
// `keep`. A destination that is a link, lies off the drive or may not be
// written is opened as itself for reading only, as OpenNumberedFile
// would: its first write fails.
void OpenCopyDestination(const Bytes& name, long number, long recordLength,
                         std::optional<FileId> keep);
// Whether a name in a folder has the shape of the copy's temporary files.
bool IsCopyTemporaryName(const std::string& name);
// The number again on the file its first open reached: the open's error
// when the name reaches nothing now, 75 when it reaches another file.
void ReopenCopyFile(const Bytes& name, long number, long recordLength);
// 75 when the source's name reaches another file now, its length is no
// longer `length`, or it changed in any way since its first open (its
// modification or change time moved).
void CheckCopySource(long number, int64_t length);
// The temporary file onto the medium (75 when that fails), then into the
// destination's place (a refused rename gives an open's errors), then its
// folder onto the medium (75). A destination read as itself is right
// only when it holds `length` bytes already (else 75).
void FlushCopy(long number);
void PlaceCopy(long number, int64_t length);
void FlushCopyFolder(long number);
// Removes a temporary file not yet in its place and lets the files go.
void ForgetCopyFiles();

void ChangeDirectory(const Bytes& path);
// Without raising: false when the directory cannot be made current (and
// while an error is pending).
bool TryChangeDirectory(const Bytes& path);
void RunHidden(const Bytes& command);

// The command interpreter's executable beside the programs.
void SetInterpreterPath(const std::string& nativePath);

// Files by name, outside the numbered table.
// The length of the regular file that the name names (links followed), -1
// when it names none or anything else, or while an error is pending; never
// an error.
int64_t NamedFileLength(const Bytes& name);

// Closes all files, forgets the interpreter check and any interpreter path.
void ResetFiles();

}  // namespace ts
