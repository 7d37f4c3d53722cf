// What the stand-in for WinExec gives back, case by case; what a result
// means for the program is not its business.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "support/child_process.h"
#include "support/scripted.h"
#include "textscreen/platform/paths.h"
#include "textscreen/platform/program_start.h"

namespace {

namespace fs = std::filesystem;
using namespace ts::platform;

struct ExecCase {
  const char* name;
  ts::Bytes commandLine;
  std::function<void(const std::string& dir)> prepare;
  int result;
};

TEST(ExecCommandLine, GivesWhatWinExecGaveBack) {
  const ExecCase cases[] = {
      {"started", "sub\\run.sh one",
       [](const std::string& d) {
         tst::WriteFile(d + "/sub/run.sh", tst::RecordingScript(d, "0"), 0755);
       },
       kExecStarted},
      {"no program", "  ", [](const std::string&) {}, kExecFileNotFound},
      {"missing", "missing.sh", [](const std::string&) {}, kExecFileNotFound},
      {"no such drive", "B:\\run.sh", [](const std::string&) {}, kExecPathNotFound},
      {"folder", "tools", [](const std::string& d) { fs::create_directory(d + "/tools"); },
       kExecAccessDenied},
      {"not executable", "plain.sh",
       [](const std::string& d) { tst::WriteFile(d + "/plain.sh", "#!/bin/sh\n", 0644); },
       kExecAccessDenied},
      {"no executable format", "text.exe",
       [](const std::string& d) { tst::WriteFile(d + "/text.exe", "just some text\n", 0755); },
       kExecBadFormat},
      {"missing interpreter", "orphan.sh",
       [](const std::string& d) {
         tst::WriteFile(d + "/orphan.sh", "#!/nonexistent/shell\n", 0755);
       },
       kExecBadFormat},
  };
  const char* drives = getenv("LOGSHIP_DRIVES");
  std::optional<std::string> savedDrives;
  if (drives) savedDrives = drives;
  setenv("LOGSHIP_DRIVES", "C=/", 1);
  ReloadDrives();
  for (const ExecCase& c : cases) {
    SCOPED_TRACE(c.name);
    tst::ScratchFolder folder("logship-exec");
    const std::string dir = fs::canonical(folder.path()).string();
    c.prepare(dir);
    EXPECT_EQ(ExecCommandLine(c.commandLine), c.result);
    if (c.result == kExecStarted) {
      EXPECT_TRUE(tst::WaitForFile(dir + "/finished"));
      EXPECT_EQ(tst::ReadFile(dir + "/args"), "one\n");
    }
  }
  if (savedDrives)
    setenv("LOGSHIP_DRIVES", savedDrives->c_str(), 1);
  else
    unsetenv("LOGSHIP_DRIVES");
  ReloadDrives();
}

}  // namespace
