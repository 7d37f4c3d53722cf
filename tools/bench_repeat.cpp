// Key repeat as it reaches the key buffer: a window that reads keys as fast
// as they come and prints, for each, its time on the monotonic clock in ms
// (the clock of Python's time.monotonic) and its first byte, one line a key
// ("<ms> <code>"); Esc ends it.
// tools/bench.py holds a key down in it and takes the times apart.
#include <chrono>
#include <cstdio>

#include "textscreen/keyboard.h"
#include "textscreen/sdl/sdl_window.h"
#include "textscreen/window.h"

int main() {
  return ts::sdl::RunWindowed([] {
    ts::SetTitle("logship key repeat bench");
    ts::ScreenShow();
    for (;;) {
      // ReadKey gives up the time slice on every call: a key is seen within
      // a fraction of a millisecond of its entry.
      const ts::Bytes key = ts::ReadKey();
      if (key.empty()) continue;
      const auto now = std::chrono::steady_clock::now().time_since_epoch();
      const double ms = std::chrono::duration<double, std::milli>(now).count();
      std::printf("%.2f %d\n", ms, static_cast<unsigned char>(key[0]));
      std::fflush(stdout);
      if (key == "\x1b") return;
    }
  });
}
