// The key buffer (a ring of 16 two-byte entries, at most 15 waiting), the
// translation of key presses into PC key codes and the close trap.
#pragma once
#include <cstdint>
#include <optional>

#include "base/bytes.h"

namespace ts {

// Physical keys as the window back end reports them, free of SDL types.
enum class Key : uint16_t {
  None,
  F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
  Home, Up, PgUp, Left, Right, End, Down, PgDn, Ins, Del,
  Enter, Esc, Backspace, Tab, Space,
  A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,
  Digit0, Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
  Kp0, Kp1, Kp2, Kp3, Kp4, Kp5, Kp6, Kp7, Kp8, Kp9, KpPeriod, KpEnter,
  KpDivide, KpMultiply, KpMinus, KpPlus,
  Pause, Break, ScrollLock, NumLock, CapsLock,
  Shift, Ctrl, Alt,
  Other  // any other key that may still type a character
};

enum KeyMods : unsigned { kModShift = 1, kModCtrl = 2, kModAlt = 4, kModNumLock = 8 };

struct KeyPress {
  Key key = Key::None;
  unsigned mods = 0;      // KeyMods
  uint32_t unicode = 0;   // the character it types, 0 when none
};

// The two bytes of a key-buffer entry: character code, scan code.
struct KeyEntry {
  uint8_t ch = 0;
  uint8_t scan = 0;
};

// The key-code rules: what entry a press gives, or none.
std::optional<KeyEntry> TranslateKey(const KeyPress& press);
// Pause, or Ctrl with Num Lock: sets the pause request.
bool IsPauseKey(const KeyPress& press);

// Window thread: one key press of the window. Sets the key-press flag
// (input_wake.h), handles the pause key and the break keys, and queues
// the entry.
void OnKeyPress(const KeyPress& press);
// Window thread: the window's close control was used.
void OnCloseControl();

// Queues an entry directly (drops it when 15 wait). Window thread and tests.
void PushKeyEntry(KeyEntry e);

// Program thread: the oldest key as a key code ("" when none); never
// waits, gives up the time slice.
Bytes ReadKey();
int KeysWaiting();

// The close trap: from the first call on, the close control and the break
// keys only set request bits (1 close, 2 break); returns and clears them.
int TrapCloseRequests();
void ReleaseCloseTrap();
bool CloseTrapped();

}  // namespace ts
