// logship: hands a contest data file over to an external drive or stick.
#include <csignal>

#include "export_main.h"
#include "textscreen/next_program.h"
#include "textscreen/platform/paths.h"
#include "textscreen/sdl/sdl_window.h"

int main() {
  // A message to a closed pipe is lost, and must not end the tool.
  std::signal(SIGPIPE, SIG_IGN);
  ts::MakeExecutableFolderCurrent();
  // A bad drive table is said once, at the start: the drive scan reads it
  // in child processes whose standard error goes nowhere.
  ts::platform::ReadDrives();
  return ts::sdl::RunWindowed(logship::ExportMain);
}
