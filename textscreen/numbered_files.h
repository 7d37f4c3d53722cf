// The numbered-file table: files opened under a number for text input or
// for fixed-length records, their text and numeric fields, positioned
// record reads and writes, and their length. Every name is in the tool's
// form ("\" or "/", optional "X:") and goes through the drive table and
// path rules of platform/paths.h.
#pragma once
#include <cstdint>

#include "base/bytes.h"

namespace ts {

enum class FileMode { Input, Random };

// The record length of a random-record open that gives none.
constexpr long kDefaultRecordLength = 128;

// record length: -1 is the default; 0 or another negative gives 5.
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

// For opens that hold their file themselves (the copy's transaction).
// The checks every open of a number makes first; false, with the error
// raised, when it may not go on.
bool MayOpenNumber(long number, long recordLength);
// The number opened for random records on a duplicate of `fd`, which
// stays the caller's; 75 when no duplicate can be had.
void OpenNumberOn(int fd, const Bytes& name, long number, long recordLength, bool mayRead,
                  bool mayWrite);

// Closes every file, also while an error is pending (the end, ResetLayer).
void ResetNumberedFiles();

}  // namespace ts
