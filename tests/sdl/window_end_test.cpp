// The window thread's end of the process closes every file, however the
// program stopped.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "textscreen/errors.h"
#include "textscreen/numbered_files.h"
#include "textscreen/platform/message_box.h"
#include "textscreen/platform/paths.h"
#include "textscreen/sdl/sdl_window.h"

namespace {

namespace fs = std::filesystem;

bool OpenInThisProcess(const fs::path& file) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
    std::error_code linkError;
    if (fs::read_symlink(entry.path(), linkError) == file) return true;
  }
  return false;
}

enum Outcome { kClosed = 0, kLeftOpen = 1, kNeverOpened = 2 };

// In a child under SDL's dummy driver: the program opens `file` as number 1
// and stops; what the process still holds once the window thread is done.
int EndWithAFileOpen(const fs::path& file, const std::function<void()>& stop) {
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(10);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("LOGSHIP_DRIVES", "C=/", 1);
    ts::platform::ReloadDrives();
    ts::platform::SetBoxAnswerer(
        [](const std::string&, const std::string&, ts::platform::BoxKind) {
          return ts::platform::BoxAnswer::No;
        });
    bool opened = false;
    ts::sdl::RunWindowed([&] {
      ts::OpenNumberedFile("C:" + file.string(), ts::FileMode::Random, 1);
      opened = !ts::ErrorPending() && OpenInThisProcess(file);
      stop();
    });
    _exit(!opened ? kNeverOpened : OpenInThisProcess(file) ? kLeftOpen : kClosed);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(WindowEnd, ClosesAllFilesEvenWithAnErrorPending) {
  char pattern[] = "/tmp/logship-end-XXXXXX";
  const fs::path folder = mkdtemp(pattern);
  const fs::path file = folder / "open.dat";
  struct Case {
    const char* how;
    std::function<void()> stop;
  };
  const Case cases[] = {
      {"the program returns", [] {}},
      {"No in the box of an error", [] { ts::Step(7, [] { ts::RaiseError(53); }); }},
      {"the end request with an error pending", [] {
         ts::Step(8, [] {
           ts::RaiseError(53);
           ts::SetEndRequest();
         });
       }},
  };
  for (const Case& c : cases) EXPECT_EQ(EndWithAFileOpen(file, c.stop), kClosed) << c.how;
  fs::remove_all(folder);
}

}  // namespace
