#include "sdl_port.h"

#include <chrono>
#include <thread>

#include "textscreen/clock.h"
#include "textscreen/errors.h"
#include "textscreen/font.h"
#include "textscreen/platform/paths.h"
#include "textscreen/screen.h"

namespace ts::sdl {

void SdlWindowPort::SetCaption(const Bytes& caption) {
  std::lock_guard<std::mutex> guard(captionLock_);
  caption_ = platform::Cp437ToUtf8(caption);
}

std::optional<std::string> SdlWindowPort::TakeCaption() {
  std::lock_guard<std::mutex> guard(captionLock_);
  std::optional<std::string> taken;
  taken.swap(caption_);
  return taken;
}

void SdlWindowPort::SetVisible(bool visible) {
  visible_ = visible;
  window_.SetVisible(visible, kColumns * CellWidth(), kRows * CellHeight());
}

void SdlWindowPort::MoveTo(int x, int y) { window_.MoveTo(x, y); }

void SdlWindowPort::Centre() { window_.Centre(kColumns * CellWidth(), kRows * CellHeight()); }

void SdlWindowPort::ShowPointer() { showPointer_ = true; }

void SdlWindowPort::FontChanged() { fontChanged_ = true; }

void SdlWindowPort::BetweenRedraws(void (*change)(void*), void* arg) {
  holdSeen_ = false;
  hold_ = true;
  while (!holdSeen_ && !EndRequested()) std::this_thread::yield();
  change(arg);
  hold_ = false;
}

bool SdlWindowPort::TakeRedrawHold() {
  if (!hold_) return false;
  holdSeen_ = true;
  return true;
}

void SdlWindowPort::HiddenCommand(bool running) {
  {
    std::lock_guard<std::mutex> lock(hiddenLock_);
    hiddenCommand_ = running;
  }
  if (!running) hiddenEnded_.notify_all();
}

bool SdlWindowPort::PauseForHiddenCommand(uint32_t ms) {
  std::unique_lock<std::mutex> lock(hiddenLock_);
  hiddenEnded_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !hiddenCommand_; });
  return hiddenCommand_;
}

void SdlWindowPort::Beep(double, int ms) {
  window_.Bell();
  if (ms > 0) Clock().SleepMs(uint32_t(ms));
}

}  // namespace ts::sdl
