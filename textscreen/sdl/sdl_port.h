// The layer's window port on SDL: what the program thread asks of the
// window, kept in flags and handshakes that the window thread takes up.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "native_window.h"
#include "textscreen/window.h"

namespace ts::sdl {

class SdlWindowPort : public WindowPort {
 public:
  explicit SdlWindowPort(NativeWindow& window);
  ~SdlWindowPort() override;
  SdlWindowPort(const SdlWindowPort&) = delete;
  SdlWindowPort& operator=(const SdlWindowPort&) = delete;

  // Program thread. The program sets itself up while the window thread
  // starts SDL, and waits for that start (false: SDL did not start)
  // before it shows the window or rings the bell.
  bool WaitForStart();
  void SetCaption(const Bytes& caption) override;
  // A window still waiting for its place comes up once it is placed.
  void SetVisible(bool visible) override;
  // Returns at once; the window thread places the window when the pause
  // is over.
  void MoveTo(int x, int y, uint32_t pauseMs) override;
  void Centre() override;
  void ShowPointer() override;
  void FontChanged() override;
  // Runs the change while no redraw is under way; a redraw that falls due
  // meanwhile waits for it.
  void BetweenRedraws(void (*change)(void*), void* arg) override;
  void ScreenChanged() override;
  void HiddenCommand(bool running) override;
  // The bell of the display, its pitch and length the display's.
  void Beep(double hz, int ms) override;
  bool CanMake(int width, int height) const override {
    return NativeWindow::CanMake(width, height);
  }

  // Window thread.
  // SDL has started (true) or cannot start (false, the program is being
  // ended); the program thread may go on past a show or a bell.
  void Started(bool up);
  // Held by the window thread over each redraw.
  std::unique_lock<std::mutex> DrawingLock() { return std::unique_lock<std::mutex>(drawing_); }
  // Shown, and placed when the window is still to be made: a window first
  // appears at its final place.
  bool MayDraw();
  // Places the window once its pause is over. Returns the milliseconds
  // until a placement still to come, kNothingDue when none waits.
  static constexpr uint32_t kNothingDue = UINT32_MAX;
  uint32_t PlaceWhenDue();
  // True once after the window was shown or placed: it is drawn at once
  // instead of at the next period.
  bool TakeEarlyRedraw() { return earlyRedraw_.exchange(false); }
  // Descriptors that end every sleep of the window thread, the ones below
  // and the pause for a hidden command, when they become readable: the
  // end signals, the end of the program thread. Before the first sleep.
  void WakeAlsoOn(int first, int second);
  // Sleeps up to `ms` (UINT32_MAX: no limit), less when the program
  // thread asks for something or the descriptor `input` (-1: none)
  // becomes readable. Given `stillQuiet`, the sleep may pass redraws that
  // would draw nothing: a change of the screen ends it, and it does not
  // begin when `stillQuiet` finds one already made.
  void Idle(uint32_t ms, int input = -1, const std::function<bool()>& stillQuiet = {});
  bool HiddenCommandRunning() const { return hiddenCommand_; }
  // One pass of the pause while a hidden command runs: up to `ms`, cut
  // short when the command ends. True when it still runs.
  bool PauseForHiddenCommand(uint32_t ms);
  bool TakeFontChange() { return fontChanged_.exchange(false); }
  bool FontChangePending() const { return fontChanged_; }
  bool TakePointerRequest() { return showPointer_.exchange(false); }
  // The caption in UTF-8 when it changed since the last call.
  std::optional<std::string> TakeCaption();

 private:
  using Instant = std::chrono::steady_clock::time_point;
  struct Placement {
    int x = 0, y = 0;
    Instant due;
  };
  enum class Start { Pending, Up, Failed };

  void Wake();
  // Up to `ms`, less when the program thread wakes the window or `input`
  // or a descriptor of WakeAlsoOn becomes readable.
  void Sleep(uint32_t ms, int input);
  // Under placeLock_: a show that waited for the placement comes now.
  void ShowNow();

  NativeWindow& window_;
  std::mutex startLock_;
  std::condition_variable startChanged_;
  Start start_ = Start::Pending;

  std::mutex placeLock_;
  std::optional<Placement> placement_;
  bool visible_ = true;
  bool showWhenPlaced_ = false;

  int wakeUp_ = -1;  // an eventfd the program thread writes to
  int also_[2] = {-1, -1};
  std::atomic<bool> sleepingThroughRedraws_{false};

  std::mutex drawing_;
  std::atomic<bool> earlyRedraw_{false};
  std::atomic<bool> hiddenCommand_{false};
  std::atomic<bool> fontChanged_{false};
  std::atomic<bool> showPointer_{false};
  std::mutex captionLock_;
  std::optional<std::string> caption_;
};

}  // namespace ts::sdl
