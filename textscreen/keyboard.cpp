#include "keyboard.h"

#include <array>
#include <atomic>

#include "base/codepage437.h"
#include "clock.h"
#include "errors.h"
#include "input_wake.h"
#include "reset.h"

namespace ts {
namespace {

// One writer (the window thread) moves the write position, one reader (the
// program thread) the read position; one entry always stays free.
constexpr unsigned kRingSize = 16;
std::array<KeyEntry, kRingSize> ring;
std::atomic<unsigned> readPos{0}, writePos{0};

std::atomic<bool> closeTrapped{false};
std::atomic<int> closeRequestBits{0};

constexpr int kRequestClose = 1;
constexpr int kRequestBreak = 2;

void ResetKeys() {
  readPos = 0;
  writePos = 0;
  closeTrapped = false;
  closeRequestBits = 0;
}

RoomReset registration(&ResetKeys);

bool Between(Key k, Key first, Key last) { return k >= first && k <= last; }
int Offset(Key k, Key first) { return int(k) - int(first); }

// Scan codes of the PC keyboard, by position.
uint8_t LetterScan(Key k) {
  static constexpr uint8_t kScan[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                        49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
  return kScan[Offset(k, Key::A)];
}

uint8_t ScanCode(Key k) {
  if (Between(k, Key::A, Key::Z)) return LetterScan(k);
  if (Between(k, Key::Digit1, Key::Digit9)) return uint8_t(2 + Offset(k, Key::Digit1));
  switch (k) {
    case Key::Digit0: return 11;
    case Key::Esc: return 1;
    case Key::Backspace: return 14;
    case Key::Tab: return 15;
    case Key::Enter: case Key::KpEnter: return 28;
    case Key::Space: return 57;
    case Key::KpDivide: return 53;
    case Key::KpMultiply: return 55;
    case Key::KpMinus: return 74;
    case Key::KpPlus: return 78;
    default: return 0;
  }
}

enum Column { kAlone, kShift, kCtrl, kAlt };

Column ColumnOf(unsigned mods) {
  if (mods & kModAlt) return kAlt;
  if (mods & kModCtrl) return kCtrl;
  if (mods & kModShift) return kShift;
  return kAlone;
}

// The extended codes of the function and editing keys, one per column.
struct ExtendedRow {
  Key key;
  uint8_t codes[4];
};
constexpr ExtendedRow kExtended[] = {
    {Key::F11, {133, 133, 137, 139}}, {Key::F12, {134, 134, 138, 140}},
    {Key::Home, {71, 71, 119, 151}},  {Key::Up, {72, 72, 141, 152}},
    {Key::PgUp, {73, 73, 132, 153}},  {Key::Left, {75, 75, 115, 155}},
    {Key::Right, {77, 77, 116, 157}}, {Key::End, {79, 79, 117, 159}},
    {Key::Down, {80, 80, 145, 160}},  {Key::PgDn, {81, 81, 118, 161}},
    {Key::Ins, {82, 82, 146, 162}},   {Key::Del, {83, 83, 147, 163}},
};

std::optional<KeyEntry> Extended(uint8_t scan) { return KeyEntry{0, scan}; }

std::optional<KeyEntry> EditingKey(Key key, Column column) {
  if (Between(key, Key::F1, Key::F10)) {
    static constexpr uint8_t kFirst[4] = {59, 84, 94, 104};
    return Extended(uint8_t(kFirst[column] + Offset(key, Key::F1)));
  }
  for (const ExtendedRow& row : kExtended)
    if (row.key == key) return Extended(row.codes[column]);
  return std::nullopt;
}

// With Num Lock off the keypad is a second set of editing keys.
Key KeypadEditingKey(Key key) {
  static constexpr Key kKeys[10] = {Key::Ins,  Key::End,   Key::Down, Key::PgDn, Key::Left,
                                    Key::None, Key::Right, Key::Home, Key::Up,   Key::PgUp};
  if (key == Key::KpPeriod) return Key::Del;
  return kKeys[Offset(key, Key::Kp0)];
}

std::optional<int> TypedCode(uint32_t unicode) {
  if (unicode >= 0xFF01 && unicode <= 0xFF5E) return int(unicode - 0xFEE0);
  if (unicode == 0x3000) return ' ';
  if (unicode >= 32 && unicode < 127) return int(unicode);
  if (unicode > 127) {
    int code = UnicodeToCp437(unicode);
    if (code > 0) return code;
  }
  return std::nullopt;
}

// X11 reports the PC's Break key as Pause with Ctrl.
bool IsBreakKey(const KeyPress& p) {
  return p.key == Key::Break ||
         ((p.key == Key::ScrollLock || p.key == Key::Pause) && (p.mods & kModCtrl));
}

void Request(int bit) {
  if (closeTrapped) closeRequestBits |= bit;
  else SetEndRequest();
}

void TakeKeyPress(const KeyPress& press) {
  NoteKeyPress();
  // The key that ends a pause is swallowed, except that a break key still
  // does its work.
  const bool endsPause = PauseRequested();
  if (endsPause) SetPauseRequest(false);
  if (IsBreakKey(press)) {
    Request(kRequestBreak);
    return;
  }
  if (endsPause) return;
  if (IsPauseKey(press)) {
    SetPauseRequest(true);
    return;
  }
  if (auto entry = TranslateKey(press)) PushKeyEntry(*entry);
}

}  // namespace

bool IsPauseKey(const KeyPress& p) {
  if (p.key == Key::Pause) return !(p.mods & kModCtrl);
  return p.key == Key::NumLock && (p.mods & kModCtrl);
}

std::optional<KeyEntry> TranslateKey(const KeyPress& press) {
  const Key key = press.key;
  const Column column = ColumnOf(press.mods);

  if (Between(key, Key::Kp0, Key::KpPeriod) && !(press.mods & kModNumLock)) {
    if (key == Key::Kp5) {
      if (column == kAlone || column == kShift) return Extended(76);
      return std::nullopt;
    }
    return EditingKey(KeypadEditingKey(key), column);
  }
  if (auto e = EditingKey(key, column)) return e;

  switch (key) {
    case Key::Enter:
    case Key::KpEnter:
      if (column == kAlt) return std::nullopt;
      return KeyEntry{13, 28};
    case Key::Esc:
      if (column == kAlt) return std::nullopt;
      return KeyEntry{27, 1};
    case Key::Backspace:
      if (column == kAlt) return std::nullopt;
      return KeyEntry{8, 14};
    case Key::Tab:
      if (column == kAlone) return KeyEntry{9, 15};
      if (column == kShift) return Extended(15);
      return std::nullopt;
    default:
      break;
  }

  if (Between(key, Key::A, Key::Z)) {
    if (column == kAlt) return Extended(LetterScan(key));
    if (column == kCtrl) return KeyEntry{uint8_t(1 + Offset(key, Key::A)), LetterScan(key)};
  }
  if (column == kAlt || column == kCtrl) return std::nullopt;

  uint32_t unicode = press.unicode;
  if (unicode == 0 && Between(key, Key::Kp0, Key::Kp9))
    unicode = uint32_t('0' + Offset(key, Key::Kp0));
  if (unicode == 0 && key == Key::KpPeriod) unicode = '.';
  auto code = TypedCode(unicode);
  if (!code) return std::nullopt;
  uint8_t scan = ScanCode(key);
  if (Between(key, Key::Kp0, Key::KpPeriod)) {
    static constexpr uint8_t kKeypadScan[11] = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73, 83};
    scan = kKeypadScan[Offset(key, Key::Kp0)];
  }
  return KeyEntry{uint8_t(*code), scan};
}

void OnKeyPress(const KeyPress& press) {
  TakeKeyPress(press);
  WakeForInput();
}

void OnCloseControl() {
  Request(kRequestClose);
  WakeForInput();
}

void PushKeyEntry(KeyEntry e) {
  unsigned w = writePos.load(std::memory_order_relaxed);
  unsigned next = (w + 1) % kRingSize;
  if (next == readPos.load(std::memory_order_acquire)) return;
  ring[w] = e;
  writePos.store(next, std::memory_order_release);
}

Bytes ReadKey() {
  Clock().Yield();
  if (ErrorPending()) return "";
  unsigned r = readPos.load(std::memory_order_relaxed);
  if (r == writePos.load(std::memory_order_acquire)) return "";
  KeyEntry e = ring[r];
  readPos.store((r + 1) % kRingSize, std::memory_order_release);
  if (e.ch != 0) return Bytes(1, char(e.ch));
  if (e.scan == 0) return Bytes(1, '\0');
  return Bytes{'\0', char(e.scan)};
}

int KeysWaiting() {
  unsigned r = readPos.load(std::memory_order_acquire);
  unsigned w = writePos.load(std::memory_order_acquire);
  return int((w + kRingSize - r) % kRingSize);
}

int TrapCloseRequests() {
  closeTrapped = true;
  return closeRequestBits.exchange(0);
}

void ReleaseCloseTrap() { closeTrapped = false; }
bool CloseTrapped() { return closeTrapped; }

}  // namespace ts
