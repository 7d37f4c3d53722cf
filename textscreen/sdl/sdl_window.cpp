#include "sdl_window.h"

#include <SDL/SDL.h>
#include <errno.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>

#include "lost_display.h"
#include "native_window.h"
#include "sdl_events.h"
#include "sdl_port.h"
#include "sdl_redraw.h"
#include "truetype_font.h"
#include "textscreen/errors.h"
#include "textscreen/fatal_end.h"
#include "textscreen/font.h"
#include "textscreen/mouse.h"
#include "textscreen/platform/wait.h"
#include "textscreen/program_thread.h"
#include "textscreen/reset.h"
#include "textscreen/screen.h"
#include "textscreen/copy_transaction.h"
#include "textscreen/numbered_files.h"
#include "textscreen/shell_runner.h"

namespace ts::sdl {
namespace {

constexpr Uint32 kRedrawPeriodMs = 32;
constexpr Uint32 kHiddenCommandPauseMs = 64;
constexpr int kDisplayTries = 5;
constexpr Uint32 kDisplayRetryMs = 20;
// Without a descriptor to wait on (SDL's dummy driver), and while a key is
// held, the window looks for events this often between two redraws: SDL
// tells the X server's own repeats from a real release only once the press
// that follows has come.
constexpr Uint32 kEventPassMs = 16;
// The longest sleep of an idle window, should an event slip past it.
constexpr Uint32 kLongestIdleMs = 500;
constexpr Uint32 kRepeatDelayMs = 500;
constexpr Uint32 kRepeatIntervalMs = 30;
constexpr Uint32 kNoRepeat = UINT32_MAX;
// After the display is lost: how long the end waits for the program
// thread, which may be held up behind Xlib's lock; and how long a program
// thread that found the display lost waits for the window thread to end
// the process, before it does so itself: the window thread is held up
// for good behind the lock that the program thread's call holds, as soon
// as it calls Xlib once more.
constexpr int kLostDisplayStopMs = 1000;
constexpr int kLostDisplayHandOverMs = 200;

std::atomic<uint32_t> redrawCount{0};

// True for a key that SDL has seen go down and not yet up: one from the X
// server, not an event put into the queue, which no release follows.
bool KnownDown(SDLKey sym) {
  int count = 0;
  const Uint8* down = SDL_GetKeyState(&count);
  return sym > SDLK_UNKNOWN && sym < count && down[sym];
}

// The window thread owns the end of the process: the end signals, the
// close control and break keys, the program's own end and the loss of the
// display all end it here, the program thread stopped first.
class WindowThread {
 public:
  // `signals`: the descriptor of the end signals, already blocked.
  explicit WindowThread(int signals) : port_(window_), signals_(signals) {}
  // Installs the port and starts the program thread.
  void StartProgram(std::function<void()> programMain);
  // True once an end signal has come; takes one that waits.
  bool EndSignalCame();
  // Once SDL has started: the window until the program ends.
  int Run();
  // SDL cannot start, or an end signal came first: the program is ended
  // where it waits for the window.
  int Abandon(int code);
  // The display is lost; on the thread whose X call found it so.
  [[noreturn]] void EndAfterLostDisplay();
  void ParkProgram() { program_.Park(); }

 private:
  // Takes a pending end signal on the way.
  bool Ending();
  int Finish(int code);
  void RedrawTick();
  void Redraw();
  void TakeEvents();
  void TakeRequests();
  void WaitForHiddenCommand();
  void SetKeyRepeat(bool on);
  void NotePress(const SDL_Event& press);
  // Puts a repeat of the held key into the key buffer when one is due;
  // returns the milliseconds until the next, kNoRepeat when none comes.
  Uint32 RepeatWhenDue();
  // How many of the coming redraws would draw nothing, the screen staying
  // as it is: 0 when the next one would draw; kAll when none would.
  static constexpr Uint32 kAll = UINT32_MAX;
  Uint32 QuietRedraws();

  NativeWindow window_;
  SdlWindowPort port_;
  const int signals_;
  int endSignal_ = 0;
  ProgramThread program_;
  CellPainter painter_;
  EventTranslator events_;
  bool focused_ = true;
  bool repeating_ = false;
  std::set<SDLKey> held_;  // keys down
  // The key that repeats while it is held: its press and the next repeat's
  // time. SDL makes its repeats only as it looks for events, each late by
  // up to a pass; the window makes its own, on time.
  struct Held {
    SDL_Event press;
    Uint32 due = 0;
  };
  std::optional<Held> repeat_;
  int refusedWidth_ = 0, refusedHeight_ = 0;  // the size SDL could not make last
  // What the last redraw drew from.
  struct Drawn {
    bool valid = false;
    uint32_t changes = 0;  // ScreenChanges() as of its snapshot
    uint32_t count = 0;
    bool cursor = false, blinking = false;
  } drawn_;
};

WindowThread* endOwner = nullptr;

void WindowThread::StartProgram(std::function<void()> programMain) {
  InstallWindow(&port_);
  // Whatever the window sleeps for, the program's end wakes it.
  port_.WakeAlsoOn(signals_, program_.GoneDescriptor());
  program_.Start(std::move(programMain));
}

bool WindowThread::EndSignalCame() {
  if (endSignal_ == 0) endSignal_ = TakeEndSignal(signals_);
  return endSignal_ != 0;
}

bool WindowThread::Ending() {
  return EndSignalCame() || program_.Parked() || CloseRequested() || EndRequested();
}

int WindowThread::Run() {
  focused_ = (SDL_GetAppState() & SDL_APPINPUTFOCUS) != 0;
  SetKeyRepeat(focused_);
  port_.Started(true);
  const int xEvents = window_.EventDescriptor();

  Uint32 nextRedraw = SDL_GetTicks() + kRedrawPeriodMs;
  bool passedRedraws = false;
  while (!Ending()) {
    const uint32_t untilPlacement = port_.PlaceWhenDue();
    if (port_.HiddenCommandRunning()) {
      WaitForHiddenCommand();
      nextRedraw = SDL_GetTicks() + kRedrawPeriodMs;
      continue;
    }
    const Uint32 now = SDL_GetTicks();
    // A window just shown or placed need not wait a period for its first
    // picture, which comes with the caption asked for so far; from then
    // on the redraws keep their period.
    if (port_.TakeEarlyRedraw()) {
      TakeRequests();
      nextRedraw = now;
    }
    const int32_t untilRedraw = int32_t(nextRedraw - now);
    if (untilRedraw <= 0) {
      if (passedRedraws) {
        // The redraws slept through still count, so that the cursor keeps
        // its pace.
        const Uint32 passed = Uint32(-untilRedraw) / kRedrawPeriodMs;
        redrawCount += passed;
        nextRedraw += passed * kRedrawPeriodMs;
        passedRedraws = false;
      }
      RedrawTick();
      nextRedraw += kRedrawPeriodMs;
      // A redraw that came late is not made up for.
      if (int32_t(nextRedraw - SDL_GetTicks()) <= 0) nextRedraw = SDL_GetTicks() + kRedrawPeriodMs;
      continue;
    }
    TakeEvents();
    TakeRequests();
    // After the events: a release already come ends the repeat first.
    const Uint32 untilRepeat = RepeatWhenDue();
    // Under X11 an idle window sleeps until an event arrives or a redraw
    // would draw something: waking every few milliseconds would cost more
    // than the drawing itself.
    Uint32 idle = std::min(Uint32(untilRedraw), untilPlacement);
    std::function<bool()> stillQuiet;
    if (xEvents >= 0) {
      const Uint32 quiet = QuietRedraws();
      if (quiet > 0) {
        const uint64_t untilDrawing =
            quiet == kAll ? kAll : uint64_t(untilRedraw) + uint64_t(quiet) * kRedrawPeriodMs;
        idle = Uint32(std::min<uint64_t>({untilDrawing, untilPlacement, kLongestIdleMs}));
        // A hidden window stays quiet whatever the screen does: the
        // show wakes it.
        stillQuiet = [this] { return !port_.MayDraw() || ScreenChanges() == drawn_.changes; };
        passedRedraws = true;
      }
    }
    const bool looking = xEvents < 0 || !held_.empty();
    if (looking) idle = std::min(idle, kEventPassMs);
    idle = std::min(idle, untilRepeat);
    if (window_.EventsQueued()) idle = 0;
    port_.Idle(idle, looking ? -1 : xEvents, stillQuiet);
  }
  // A program thread parked in Xlib holds its lock: no X call from here.
  if (program_.Parked()) EndAfterLostDisplay();
  return Finish(0);
}

int WindowThread::Abandon(int code) {
  SetEndRequest();
  port_.Started(false);
  return Finish(code);
}

// The program thread stops at its next step boundary or in its wait, and
// ends its children there; then what it made goes, and the process ends.
int WindowThread::Finish(int code) {
  const bool stopped = program_.Stop(kProgramStopMs);
  RemoveNotedFiles();
  if (stopped) {
    // Every file closed, also after an error that ended the program, and
    // a copy's temporary file not yet in its place taken away.
    ResetNumberedFiles();
    ForgetCopyFiles();
    ResetShellRunner();
    InstallWindow(nullptr);
    SDL_Quit();
  }
  if (endSignal_ != 0) EndBySignal(endSignal_);
  // Beside a program thread that is still live, no destructor may run.
  if (!stopped) EndAtOnce(program_.Parked() ? 1 : code);
  return code;
}

void WindowThread::EndAfterLostDisplay() {
  program_.Stop(kLostDisplayStopMs);
  RemoveNotedFiles();
  if (endSignal_ != 0) EndBySignal(endSignal_);
  EndAtOnce(1);
}

// Xlib's handler, on the thread whose call found the display gone.
void OnLostDisplay() {
  if (!endOwner) return;
  if (!ProgramThread::OnProgramThread()) endOwner->EndAfterLostDisplay();
  // The program thread hands the end to the window thread, unless that is
  // held up behind the lock that this call holds; then it ends the process
  // itself, as the window thread would.
  endOwner->ParkProgram();
  platform::AwaitReadable(-1, -1, kLostDisplayHandOverMs);
}

Uint32 WindowThread::QuietRedraws() {
  // A hidden window draws nothing, and takes a new font when it is shown;
  // showing it wakes the window thread.
  if (!port_.MayDraw()) return kAll;
  if (port_.FontChangePending()) return 0;
  if (!drawn_.valid || drawn_.blinking || ScreenChanges() != drawn_.changes) return 0;
  if (!drawn_.cursor) return kAll;
  // The cursor turns on or off when its bit of the count changes.
  Uint32 quiet = 0;
  for (uint32_t count = redrawCount; ((count ^ drawn_.count) & kCursorPhase) == 0; ++count)
    ++quiet;
  return quiet;
}

void WindowThread::RedrawTick() {
  if (port_.MayDraw()) Redraw();
}

void WindowThread::Redraw() {
  auto drawing = port_.DrawingLock();
  drawn_.valid = false;  // until this redraw has drawn
  GlyphSource& font = CurrentFont();
  const int width = kColumns * font.CellWidth(), height = kRows * font.CellHeight();
  if (port_.TakeFontChange()) painter_.Forget();
  SDL_Surface* surface = SDL_GetVideoSurface();
  if (!surface || surface->w != width || surface->h != height) {
    // SDL is asked for a size once: after a failed SDL_SetVideoMode, one
    // more that fails crashes inside SDL.
    const bool refused = width == refusedWidth_ && height == refusedHeight_;
    const bool first = !window_.Made();
    surface = refused ? nullptr : window_.SetVideoMode(width, height);
    if (!surface) {
      if (!refused) {
        refusedWidth_ = width;
        refusedHeight_ = height;
        std::fprintf(stderr, "%s: no window of %d x %d: %s\n", program_invocation_short_name,
                     width, height, SDL_GetError());
      }
      // The built-in font's window keeps the tool usable.
      if (UseBuiltinFont())
        std::fprintf(stderr, "%s: the screen shows the built-in font\n",
                     program_invocation_short_name);
      return;
    }
    painter_.Forget();
    if (first && !events_.MouseSeen()) {
      int x = 0, y = 0;
      SDL_GetMouseState(&x, &y);
      SetMouseStartPosition(x, y);
    }
  }
  uint32_t changes = 0;
  const ScreenState shot = SnapshotScreen(&changes);
  painter_.Draw(surface, shot, font, redrawCount);
  bool blinking = false;
  for (const auto& row : shot.cells)
    for (const Cell& cell : row) blinking |= (cell.attr & 0x80) != 0;
  drawn_ = Drawn{true, changes, redrawCount, shot.cursorVisible, blinking};
  ++redrawCount;
}

void WindowThread::TakeEvents() {
  SDL_Event event;
  while (!Ending() && SDL_PollEvent(&event)) {
    if (event.type == SDL_ACTIVEEVENT && (event.active.state & SDL_APPINPUTFOCUS)) {
      focused_ = event.active.gain != 0;
      SetKeyRepeat(focused_);
      held_.clear();
      repeat_.reset();
    } else {
      if (event.type == SDL_KEYDOWN) {
        const bool again = !held_.insert(event.key.keysym.sym).second;
        // A key of the X server's that comes down once more without a
        // release between is a repeat of SDL's or of the server's: the
        // window makes its repeats itself.
        if (again && KnownDown(event.key.keysym.sym)) continue;
        NotePress(event);
      }
      if (event.type == SDL_KEYUP) {
        held_.erase(event.key.keysym.sym);
        if (repeat_ && repeat_->press.key.keysym.sym == event.key.keysym.sym) repeat_.reset();
      }
      events_.Deliver(event);
    }
  }
}

void WindowThread::TakeRequests() {
  if (auto caption = port_.TakeCaption()) SDL_WM_SetCaption(caption->c_str(), caption->c_str());
  if (port_.TakePointerRequest()) {
    SDL_ShowCursor(SDL_ENABLE);
    SDL_WM_GrabInput(SDL_GRAB_OFF);
  }
}

void WindowThread::WaitForHiddenCommand() {
  // The screen shows what was printed before the command started.
  if (port_.MayDraw()) Redraw();
  SetKeyRepeat(false);
  // The pause ends as soon as the command has, so that the scan's last
  // probe does not leave the menu undrawn for most of a pass.
  while (!Ending() && port_.PauseForHiddenCommand(kHiddenCommandPauseMs)) {
  }
  SetKeyRepeat(focused_);
}

void WindowThread::SetKeyRepeat(bool on) {
  if (on == repeating_) return;
  repeating_ = on;
  // SDL keeps the setting as well; its own repeats are dropped as they come.
  if (on) SDL_EnableKeyRepeat(int(kRepeatDelayMs), int(kRepeatIntervalMs));
  else SDL_EnableKeyRepeat(0, 0);
  repeat_.reset();
}

void WindowThread::NotePress(const SDL_Event& press) {
  const SDLKey sym = press.key.keysym.sym;
  // The pause key does not repeat, as a PC's does not, and ends the repeat
  // of the key held before it: every repeat would clear or set the pause.
  if (IsPauseKey(KeyPressFromSdl(press.key.keysym))) {
    repeat_.reset();
    return;
  }
  // A modifier neither repeats nor ends the repeat of the key held with it.
  if (sym >= SDLK_NUMLOCK && sym <= SDLK_COMPOSE) return;
  // The last key pressed repeats, and only while it is down.
  if (repeating_ && KnownDown(sym)) repeat_ = Held{press, SDL_GetTicks() + kRepeatDelayMs};
  else repeat_.reset();
}

Uint32 WindowThread::RepeatWhenDue() {
  if (!repeat_) return kNoRepeat;
  const Uint32 now = SDL_GetTicks();
  const int32_t left = int32_t(repeat_->due - now);
  if (left > 0) return Uint32(left);
  events_.Deliver(RepeatOf(repeat_->press, SDL_GetModState()));
  // Repeats keep their beat from the press; one that came too late to be
  // made is not made up for.
  do {
    repeat_->due += kRepeatIntervalMs;
  } while (int32_t(repeat_->due - now) <= 0);
  return repeat_->due - now;
}

}  // namespace

uint32_t RedrawCount() { return redrawCount; }

bool WaitForSdl() {
  auto* port = dynamic_cast<SdlWindowPort*>(&Window());
  return port && port->WaitForStart();
}

int RunWindowed(std::function<void()> programMain) {
  // Before any other thread starts, SDL's among them: the end signals are
  // events of the window thread, in every thread.
  const int signals = BlockEndSignals();
  // Every room of the layer in its start state (the palette among them)
  // before the window thread reads any of it.
  ResetLayer();
  // Before the program thread starts: its set-up loads the font.
  InstallFaceLoader(&TrueTypeFaces());
  NativeWindow::PrepareProcess();
  // The program's set-up (font, settings, the move's pause) needs no
  // display and overlaps SDL's start.
  WindowThread window(signals);
  struct Owner {
    explicit Owner(WindowThread* w) { endOwner = w; }
    ~Owner() { endOwner = nullptr; }
  } owner(&window);
  window.StartProgram(std::move(programMain));
  // SDL 1.2 opens the display twice in a row, and now and then (about one
  // start in ten under Xvfb) the second open fails on a display that is
  // there; a few more tries get through.
  const char* display = std::getenv("DISPLAY");
  const bool ownDriver = NativeWindow::OwnVideoDriver();
  for (int tries = 1; SDL_Init(SDL_INIT_VIDEO) < 0; ++tries) {
    const bool noDisplay = ownDriver && (!display || !*display);
    if (tries == kDisplayTries || noDisplay) {
      const char* self = program_invocation_short_name;
      if (noDisplay)
        std::fprintf(stderr, "%s: cannot open the window: no display is set (DISPLAY is "
                             "empty)\n", self);
      else if (ownDriver)
        std::fprintf(stderr, "%s: cannot open the window: the display \"%s\" does not "
                             "answer\n", self, display);
      else
        std::fprintf(stderr, "%s: cannot open the window: %s\n", self, SDL_GetError());
      return window.Abandon(1);
    }
    if (window.EndSignalCame()) return window.Abandon(0);
    SDL_Delay(kDisplayRetryMs);
  }
  WatchForLostDisplay(OnLostDisplay);
  SDL_EnableUNICODE(1);
  SDL_WM_SetCaption("Untitled", "Untitled");
  return window.Run();
}

}  // namespace ts::sdl
