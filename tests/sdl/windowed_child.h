// Runs the SDL window back end for real, in a child process under SDL's
// dummy video driver: the child's first thread becomes the window thread
// and `program` runs on the program thread. What the program reports goes
// back to the test through a pipe, one line at a time.
#pragma once
#include <SDL/SDL.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/installed_font.h"
#include "textscreen/platform/paths.h"
#include "textscreen/reset.h"
#include "textscreen/sdl/sdl_window.h"
#include "textscreen/window.h"

namespace sdltest {

// The installed face, by its path in the tool's form (C is "/").
inline const std::string kDejaVu = "C:" + tst::kInstalledFace;

class Report {
 public:
  explicit Report(int fd) : fd_(fd) {}
  void Line(const std::string& text) {
    std::string line = text + "\n";
    for (size_t done = 0; done < line.size();) {
      ssize_t n = write(fd_, line.data() + done, line.size() - done);
      if (n <= 0) return;
      done += size_t(n);
    }
  }

 private:
  int fd_;
};

struct ChildRun {
  bool exited = false;  // ended by itself, not by a signal or the deadline
  int exitCode = -1;
  bool timedOut = false;
  double cpuSeconds = 0;
  std::vector<std::string> lines;
  std::string Text() const {
    std::string all;
    for (const auto& l : lines) all += l + "\n";
    return all;
  }
};

// When the test's program starts: once the window thread has started SDL
// (test programs call SDL themselves), or at once, while SDL starts, as a
// real program does.
enum class ProgramStart { AfterSdl, WithSdl };

inline ChildRun RunWindowedInChild(const std::function<void(Report&)>& program,
                                   ProgramStart start = ProgramStart::AfterSdl,
                                   const char* videoDriver = "dummy", int deadlineMs = 10000) {
  ChildRun run;
  int fds[2];
  if (pipe(fds) != 0) return run;
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    close(fds[0]);
    setenv("SDL_VIDEODRIVER", videoDriver, 1);
    setenv("LOGSHIP_DRIVES", "C=/", 1);
    ts::platform::ReloadDrives();
    ts::ResetLayer();
    Report report(fds[1]);
    const int rc = ts::sdl::RunWindowed([&] {
      if (start == ProgramStart::AfterSdl) ts::sdl::WaitForSdl();
      program(report);
    });
    report.Line("returned " + std::to_string(rc));
    _exit(rc);
  }
  close(fds[1]);
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      run.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, int(left)) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, size_t(n));
  }
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  run.exited = !run.timedOut && WIFEXITED(status);
  if (run.exited) run.exitCode = WEXITSTATUS(status);
  run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) run.lines.push_back(line);
  return run;
}

// Program-thread helpers for the child.

inline bool WaitUntil(const std::function<bool()>& done, int ms = 3000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Waits until `count` more redraws have been drawn.
inline bool WaitRedraws(uint32_t count) {
  const uint32_t from = ts::sdl::RedrawCount();
  return WaitUntil([&] { return ts::sdl::RedrawCount() - from >= count; });
}

// Runs `look` on the program thread while the window thread is between
// two redraws, so that the surface holds still.
inline void BetweenRedraws(const std::function<void()>& look) {
  auto call = [](void* arg) { (*static_cast<const std::function<void()>*>(arg))(); };
  ts::Window().BetweenRedraws(call, const_cast<std::function<void()>*>(&look));
}

inline void PushKey(SDLKey sym, int mod, uint16_t unicode) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.type = SDL_KEYDOWN;
  e.key.state = SDL_PRESSED;
  e.key.keysym.sym = sym;
  e.key.keysym.mod = SDLMod(mod);
  e.key.keysym.unicode = unicode;
  SDL_PushEvent(&e);
}

inline void PushEvent(SDL_Event e) { SDL_PushEvent(&e); }

// "WxH" of the video surface, "none" without one.
inline std::string SurfaceSize() {
  std::string size = "none";
  BetweenRedraws([&] {
    if (SDL_Surface* s = SDL_GetVideoSurface()) size = std::to_string(s->w) + "x" + std::to_string(s->h);
  });
  return size;
}

// 0xRRGGBB of a pixel of the video surface, -1 without one.
inline long PixelAt(int x, int y) {
  SDL_Surface* s = SDL_GetVideoSurface();
  if (!s || x >= s->w || y >= s->h || s->format->BytesPerPixel != 4) return -1;
  const Uint32 raw =
      *reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(s->pixels) + y * s->pitch + x * 4);
  Uint8 r, g, b;
  SDL_GetRGB(raw, s->format, &r, &g, &b);
  return (long(r) << 16) | (long(g) << 8) | long(b);
}

inline std::string Hex(long rgb) {
  if (rgb < 0) return "none";
  char text[24];
  std::snprintf(text, sizeof text, "%06lX", rgb);
  return text;
}

}  // namespace sdltest
