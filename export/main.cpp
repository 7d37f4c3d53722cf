// logship: hands a contest data file over to an external drive or stick.
#include "export_main.h"
#include "textscreen/program.h"
#include "textscreen/sdl/sdl_window.h"

int main() {
  ts::MakeExecutableFolderCurrent();
  return ts::sdl::RunWindowed(logship::ExportMain);
}
