// The layer's window port on SDL: what the program thread asks of the
// window, kept in flags and handshakes that the window thread takes up.
#pragma once
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

#include "native_window.h"
#include "textscreen/window.h"

namespace ts::sdl {

class SdlWindowPort : public WindowPort {
 public:
  explicit SdlWindowPort(NativeWindow& window) : window_(window) {}

  // Program thread.
  void SetCaption(const Bytes& caption) override;
  void SetVisible(bool visible) override;
  void MoveTo(int x, int y) override;
  void Centre() override;
  void ShowPointer() override;
  void FontChanged() override;
  // Raises the hold and gives up its time slice until the window thread
  // acknowledges it at the start of a redraw (or the program is being
  // ended, when the window thread draws no more); runs the change; lets
  // the redraws go on.
  void BetweenRedraws(void (*change)(void*), void* arg) override;
  void HiddenCommand(bool running) override;
  // The bell of the display (the pitch is the display's); the program
  // thread then waits as long as the tone would last.
  void Beep(double hz, int ms) override;
  bool CanMake(int width, int height) const override {
    return NativeWindow::CanMake(width, height);
  }

  // Window thread.
  bool Visible() const { return visible_; }
  bool HiddenCommandRunning() const { return hiddenCommand_; }
  // One pass of the pause while a hidden command runs: up to `ms`, cut
  // short when the command ends. True when it still runs.
  bool PauseForHiddenCommand(uint32_t ms);
  // At the start of a redraw: true when the redraw must be skipped
  // because the program thread holds it.
  bool TakeRedrawHold();
  bool TakeFontChange() { return fontChanged_.exchange(false); }
  bool TakePointerRequest() { return showPointer_.exchange(false); }
  // The caption in UTF-8 when it changed since the last call.
  std::optional<std::string> TakeCaption();

 private:
  NativeWindow& window_;
  std::atomic<bool> visible_{true};
  std::atomic<bool> hiddenCommand_{false};
  std::mutex hiddenLock_;
  std::condition_variable hiddenEnded_;
  std::atomic<bool> fontChanged_{false};
  std::atomic<bool> showPointer_{false};
  std::atomic<bool> hold_{false};
  std::atomic<bool> holdSeen_{false};
  std::mutex captionLock_;
  std::optional<std::string> caption_;
};

}  // namespace ts::sdl
