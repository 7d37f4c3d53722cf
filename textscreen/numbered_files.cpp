// Numbered files, text and numeric fields, records. Fields are read one
// byte per read and records with one positioned read or write, nothing
// buffered between calls, so that what the tool sees is always what is on
// disk.
#include "numbered_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>

#include "errors.h"
#include "native_files.h"
#include "number_text.h"
#include "platform/paths.h"
#include "reset.h"

namespace ts {
namespace {

struct OpenFile {
  Bytes name;
  FileMode mode = FileMode::Input;
  long recordLength = kDefaultRecordLength;
  bool mayRead = false, mayWrite = false;
  bool atEnd = false;
  int64_t position = 0;
  int fd = -1;
};

std::map<long, OpenFile> files;

constexpr int kEnd = -1;
constexpr char kCR = 13, kLF = 10;
// Ends a text file where it stands (Ctrl+Z).
constexpr unsigned char kEndOfText = 26;
// The most bytes one field read takes, a text's longest: a file without
// separators (a device behind a regular name, a log named by mistake)
// must not fill memory or hold the tool.
constexpr int64_t kLongestField = 32767;

bool IsLineEnd(int b) { return b == kCR || b == kLF; }
bool EndsField(int b) { return b == ',' || IsLineEnd(b); }

OpenFile* Checked(long number, FileMode mode, bool forReading) {
  auto it = files.find(number);
  if (it == files.end()) {
    RaiseError(52);
    return nullptr;
  }
  OpenFile& f = it->second;
  if (f.mode != mode) {
    RaiseError(54);
    return nullptr;
  }
  if (forReading ? !f.mayRead : !f.mayWrite) {
    RaiseError(75);
    return nullptr;
  }
  return &f;
}

// The checks of a record transfer; the position set to the record's start.
OpenFile* RecordFile(long number, int64_t record, size_t length, bool forReading) {
  if (ErrorPending()) return nullptr;
  OpenFile* f = Checked(number, FileMode::Random, forReading);
  if (!f) return nullptr;
  if (int64_t(length) > f->recordLength) {
    RaiseError(59);
    return nullptr;
  }
  int64_t position, last;
  if (record < 1 || __builtin_mul_overflow(record - 1, int64_t(f->recordLength), &position) ||
      __builtin_add_overflow(position, int64_t(length), &last)) {
    RaiseError(63);
    return nullptr;
  }
  f->position = position;
  return f;
}

// The byte at the position, not taken. The real end and a kEndOfText (which
// stays unread) are kEnd, and from then on the file stays at its end. A
// failed read raises its error and reads as the end.
int Peek(OpenFile& f) {
  if (f.atEnd) return kEnd;
  unsigned char b;
  ssize_t n;
  do n = pread(f.fd, &b, 1, f.position);
  while (n < 0 && errno == EINTR);
  if (n < 0) {
    RaiseError(AccessError(errno));
    return kEnd;
  }
  if (n == 0 || b == kEndOfText) {
    f.atEnd = true;
    return kEnd;
  }
  return b;
}

// Takes a comma, or a CR or LF with the one partner that follows it.
void TakeSeparator(OpenFile& f, int b) {
  if (b == ',') {
    ++f.position;
  } else if (IsLineEnd(b)) {
    ++f.position;
    int next = Peek(f);
    if ((b == kCR && next == kLF) || (b == kLF && next == kCR)) ++f.position;
  }
}

// A numbered file's entry as its open names it, without its descriptor.
OpenFile NewOpenFile(const Bytes& name, FileMode mode, long recordLength) {
  OpenFile f;
  f.name = name;
  std::replace(f.name.begin(), f.name.end(), '/', '\\');
  f.mode = mode;
  f.recordLength = recordLength == -1 ? kDefaultRecordLength : recordLength;
  return f;
}

void CloseEveryFile() {
  for (auto& [number, f] : files) close(f.fd);
  files.clear();
}

}  // namespace

bool MayOpenNumber(long number, long recordLength) {
  if (ErrorPending()) return false;
  if (number < 1) RaiseError(52);
  else if (files.count(number)) RaiseError(55);
  else if (recordLength == 0 || (recordLength < 0 && recordLength != -1)) RaiseError(5);
  return !ErrorPending();
}

void OpenNumberOn(int fd, const Bytes& name, long number, long recordLength, bool mayRead,
                  bool mayWrite) {
  OpenFile f = NewOpenFile(name, FileMode::Random, recordLength);
  f.mayRead = mayRead;
  f.mayWrite = mayWrite;
  f.fd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (f.fd < 0) return RaiseError(75);
  files[number] = f;
}

void OpenNumberedFile(const Bytes& name, FileMode mode, long number, long recordLength) {
  if (!MayOpenNumber(number, recordLength)) return;

  platform::NativePath native = platform::ToNative(name);
  if (native.error != platform::PathError::None) return RaiseError(68);

  OpenFile f = NewOpenFile(name, mode, recordLength);
  int err = 0;
  if (mode == FileMode::Random) {
    // Read and write, else read only, else write only; created when
    // missing, never truncated.
    const struct {
      int flags;
      bool read, write;
    } attempts[] = {{O_RDWR, true, true}, {O_RDONLY, true, false}, {O_WRONLY, false, true}};
    bool elsewhere = !platform::WritablePlace(native);
    for (const auto& a : attempts) {
      if (elsewhere) break;
      f.fd = open(native.path.c_str(), a.flags | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (f.fd >= 0) {
        f.mayRead = a.read;
        f.mayWrite = a.write;
        break;
      }
      err = errno;
      elsewhere = err == ELOOP;  // a link put there since the check
    }
    if (elsewhere) {
      // A link, or a folder off the drive: what is there may be read (a
      // data file kept elsewhere), but nothing is created or written.
      f.fd = OpenForReading(native.path, err);
      if (err == ENOENT) err = EACCES;  // it would have to be created there
      f.mayRead = true;
    }
  } else {
    f.fd = OpenForReading(native.path, err);
    f.mayRead = true;
  }
  if (f.fd < 0) return RaiseError(OpenError(err, native.path));

  if (mode == FileMode::Input) {
    unsigned char first;
    ssize_t n;
    do n = pread(f.fd, &first, 1, 0);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
      err = errno;
      close(f.fd);
      return RaiseError(AccessError(err));
    }
    if (n == 1 && first == kEndOfText) f.atEnd = true;
  }
  files[number] = f;
}

void CloseNumberedFile(long number) {
  if (ErrorPending()) return;
  auto it = files.find(number);
  if (it == files.end()) return;
  close(it->second.fd);
  files.erase(it);
}

void CloseAllFiles() {
  if (ErrorPending()) return;
  CloseEveryFile();
}

Bytes ReadField(long number) {
  if (ErrorPending()) return Bytes();
  OpenFile* f = Checked(number, FileMode::Input, true);
  if (!f) return Bytes();
  const int64_t start = f->position;
  auto tooLong = [&] { return f->position - start > kLongestField; };

  int b = Peek(*f);
  while (IsBlank(char(b)) && !tooLong()) {
    ++f->position;
    b = Peek(*f);
  }
  if (b == kEnd) {
    RaiseError(62);
    return Bytes();
  }

  Bytes field;
  if (b == '"') {
    ++f->position;
    for (b = Peek(*f); b != kEnd && !tooLong(); b = Peek(*f)) {
      ++f->position;
      if (b == '"') break;
      field += char(b);
    }
    for (b = Peek(*f); b != kEnd && !EndsField(b) && !tooLong(); b = Peek(*f)) ++f->position;
  } else {
    for (; b != kEnd && !EndsField(b) && !tooLong(); b = Peek(*f)) {
      field += char(b);
      ++f->position;
    }
    size_t keep = field.find_last_not_of(" \t");
    field.resize(keep == Bytes::npos ? 0 : keep + 1);
  }
  if (tooLong()) {
    RaiseError(6);
    return Bytes();
  }
  TakeSeparator(*f, b);
  return field;
}

float ReadNumber(long number) {
  if (ErrorPending()) return 0;
  OpenFile* f = Checked(number, FileMode::Input, true);
  if (!f) return 0;

  const int64_t start = f->position;
  auto tooLong = [&] { return f->position - start > kLongestField; };
  int b = Peek(*f);
  while (b == ' ' && !tooLong()) {
    ++f->position;
    b = Peek(*f);
  }
  if (b == kEnd) {
    RaiseError(62);
    return 0;
  }

  // The longest stretch that forms a number. A stretch past the longest
  // field is cut there; it has more digits than any number may have.
  struct FieldSource final : NumberSource {
    OpenFile& f;
    int& b;
    int64_t start;
    FieldSource(OpenFile& file, int& at, int64_t from) : f(file), b(at), start(from) {}
    int Current() override { return b; }
    void Take() override {
      ++f.position;
      b = Peek(f);
    }
    bool Spent() override { return f.position - start > kLongestField; }
  } source(*f, b, start);
  std::optional<float> value = FieldSingle(ScanNumber(source));
  bool overflow = !value;

  // What ended the number.
  for (;;) {
    if (b == kEnd) break;
    if (tooLong()) {
      overflow = true;
      break;
    }
    if (b == ',' || IsLineEnd(b)) {
      TakeSeparator(*f, b);
      break;
    }
    ++f->position;
    if (b == ' ') {
      b = Peek(*f);
      if (b == ' ' || EndsField(b)) continue;
      break;  // the next field's first byte stays unread
    }
    b = Peek(*f);
  }

  if (overflow) {
    RaiseError(6);
    return 0;
  }
  return *value;
}

void GetRecord(long number, int64_t record, Bytes& buffer) {
  OpenFile* f = RecordFile(number, record, buffer.size(), true);
  if (!f) return;
  int64_t position = f->position;
  size_t done = 0;
  while (done < buffer.size()) {
    ssize_t n = pread(f->fd, buffer.data() + done, buffer.size() - done, position + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return RaiseError(AccessError(errno));
    if (n == 0) break;
    done += size_t(n);
    f->position = position + int64_t(done);
  }
  if (done < buffer.size()) {
    std::fill(buffer.begin() + done, buffer.end(), '\0');
    f->atEnd = true;
  }
}

void PutRecord(long number, int64_t record, const Bytes& buffer) {
  OpenFile* f = RecordFile(number, record, buffer.size(), false);
  if (!f) return;
  int64_t position = f->position;
  size_t done = 0;
  while (done < buffer.size()) {
    ssize_t n = pwrite(f->fd, buffer.data() + done, buffer.size() - done, position + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return RaiseError(AccessError(errno));
    if (n == 0) return RaiseError(75);
    done += size_t(n);
    f->position = position + int64_t(done);
  }
}

int64_t FileLength(long number) {
  // RaiseError keeps an error that is already pending.
  auto it = files.find(number);
  if (it == files.end()) {
    RaiseError(52);
    return 0;
  }
  struct stat st;
  if (fstat(it->second.fd, &st) != 0) {
    RaiseError(75);
    return 0;
  }
  return int64_t(st.st_size);
}

void ResetNumberedFiles() { CloseEveryFile(); }

static RoomReset reg(&ResetNumberedFiles);

}  // namespace ts
