#include "sdl_port.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "textscreen/base/codepage437.h"
#include "textscreen/font.h"
#include "textscreen/screen.h"

namespace ts::sdl {
namespace {

// The window's drawing area in the current font.
int AreaWidth() { return kColumns * CellWidth(); }
int AreaHeight() { return kRows * CellHeight(); }

}  // namespace

SdlWindowPort::SdlWindowPort(NativeWindow& window)
    : window_(window), wakeUp_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

SdlWindowPort::~SdlWindowPort() {
  if (wakeUp_ >= 0) close(wakeUp_);
}

void SdlWindowPort::SetCaption(const Bytes& caption) {
  std::lock_guard<std::mutex> guard(captionLock_);
  caption_ = Cp437TextToUtf8(caption);
  Wake();
}

std::optional<std::string> SdlWindowPort::TakeCaption() {
  std::lock_guard<std::mutex> guard(captionLock_);
  std::optional<std::string> taken;
  taken.swap(caption_);
  return taken;
}

void SdlWindowPort::SetVisible(bool visible) {
  if (visible && !WaitForStart()) return;
  {
    std::lock_guard<std::mutex> guard(placeLock_);
    visible_ = visible;
    showWhenPlaced_ = visible && placement_.has_value();
    if (!showWhenPlaced_) window_.SetVisible(visible, AreaWidth(), AreaHeight());
    if (visible) earlyRedraw_ = true;
  }
  Wake();
}

void SdlWindowPort::MoveTo(int x, int y, uint32_t pauseMs) {
  const Instant due = std::chrono::steady_clock::now() + std::chrono::milliseconds(pauseMs);
  {
    std::lock_guard<std::mutex> guard(placeLock_);
    placement_ = Placement{x, y, due};
  }
  Wake();
}

void SdlWindowPort::Centre() {
  std::lock_guard<std::mutex> guard(placeLock_);
  // The later request wins over a placement still to come.
  placement_.reset();
  window_.Centre(AreaWidth(), AreaHeight());
  ShowNow();
  // Xlib may have queued events while it talked to the server here.
  Wake();
}

void SdlWindowPort::ShowNow() {
  if (!showWhenPlaced_) return;
  showWhenPlaced_ = false;
  window_.SetVisible(true, AreaWidth(), AreaHeight());
  earlyRedraw_ = true;
}

bool SdlWindowPort::MayDraw() {
  std::lock_guard<std::mutex> guard(placeLock_);
  return visible_ && (!placement_ || window_.Made());
}

uint32_t SdlWindowPort::PlaceWhenDue() {
  std::lock_guard<std::mutex> guard(placeLock_);
  if (!placement_) return kNothingDue;
  const auto left = placement_->due - std::chrono::steady_clock::now();
  if (left > std::chrono::steady_clock::duration::zero())
    return uint32_t(std::chrono::ceil<std::chrono::milliseconds>(left).count());
  window_.MoveTo(placement_->x, placement_->y);
  placement_.reset();
  // A window not made yet is made at the early redraw, in its place.
  if (visible_ && !window_.Made()) earlyRedraw_ = true;
  ShowNow();
  return kNothingDue;
}

void SdlWindowPort::ShowPointer() {
  showPointer_ = true;
  Wake();
}

void SdlWindowPort::FontChanged() {
  fontChanged_ = true;
  Wake();
}

void SdlWindowPort::ScreenChanged() {
  if (sleepingThroughRedraws_) Wake();
}

void SdlWindowPort::BetweenRedraws(void (*change)(void*), void* arg) {
  std::lock_guard<std::mutex> guard(drawing_);
  change(arg);
}

void SdlWindowPort::Started(bool up) {
  {
    std::lock_guard<std::mutex> guard(startLock_);
    start_ = up ? Start::Up : Start::Failed;
  }
  startChanged_.notify_all();
}

bool SdlWindowPort::WaitForStart() {
  std::unique_lock<std::mutex> lock(startLock_);
  startChanged_.wait(lock, [this] { return start_ != Start::Pending; });
  return start_ == Start::Up;
}

void SdlWindowPort::Wake() {
  const uint64_t one = 1;
  if (write(wakeUp_, &one, sizeof one) < 0) {
    // Only a counter at its limit refuses; the window thread wakes anyway.
  }
}

void SdlWindowPort::WakeAlsoOn(int first, int second) {
  also_[0] = first;
  also_[1] = second;
}

void SdlWindowPort::Idle(uint32_t ms, int input, const std::function<bool()>& stillQuiet) {
  if (stillQuiet) {
    // Either the program thread sees the flag and wakes the window, or
    // the window sees the program's change here and does not sleep.
    sleepingThroughRedraws_ = true;
    if (!stillQuiet()) ms = 0;
  }
  Sleep(ms, input);
  sleepingThroughRedraws_ = false;
}

void SdlWindowPort::Sleep(uint32_t ms, int input) {
  pollfd watched[4] = {
      {wakeUp_, POLLIN, 0}, {also_[0], POLLIN, 0}, {also_[1], POLLIN, 0}, {input, POLLIN, 0}};
  const int timeout = ms > uint32_t(INT32_MAX) ? -1 : int(ms);
  if (poll(watched, 4, timeout) > 0 && (watched[0].revents & POLLIN)) {
    uint64_t count = 0;
    if (read(wakeUp_, &count, sizeof count) < 0) {
      // Already taken: nothing to clear.
    }
  }
}

void SdlWindowPort::HiddenCommand(bool running) {
  hiddenCommand_ = running;
  // To stop taking events, even from an idle sleep; to go on at once.
  Wake();
}

bool SdlWindowPort::PauseForHiddenCommand(uint32_t ms) {
  if (hiddenCommand_) Sleep(ms, -1);
  return hiddenCommand_;
}

void SdlWindowPort::Beep(double, int) {
  if (WaitForStart()) {
    window_.Bell();
    Wake();
  }
}

}  // namespace ts::sdl
