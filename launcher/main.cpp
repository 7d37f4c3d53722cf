// launcher: no window, no console, no settings; its command line is ignored.
#include <csignal>

#include "launch_main.h"
#include "textscreen/errors.h"
#include "textscreen/next_program.h"
#include "textscreen/program_thread.h"

int main() {
  // The box's text may go to a closed pipe; the launcher still ends with 0.
  std::signal(SIGPIPE, SIG_IGN);
  // The main program's path is relative to the launcher's own folder,
  // whatever folder the launcher was started from.
  ts::MakeExecutableFolderCurrent();

  ts::SetBoxTextFormat(launcher::LauncherBoxText);
  return ts::RunWithoutWindow(launcher::LaunchMain);
}
