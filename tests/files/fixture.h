// A fresh temporary folder as the current directory, a drive table of the
// test's choosing, and small file helpers.
#pragma once
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "support/scripted.h"
#include "textscreen/errors.h"
#include "textscreen/platform/paths.h"

namespace tst {

class FilesTest : public LayerTest {
 protected:
  void SetUp() override {
    LayerTest::SetUp();
    char* old = getenv("LOGSHIP_DRIVES");
    if (old) savedDrives = old;
    char buffer[4096];
    savedCwd = getcwd(buffer, sizeof buffer);
    char pattern[] = "/tmp/logship-files-XXXXXX";
    dir = mkdtemp(pattern);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    Drives("C=/");
  }

  void TearDown() override {
    LayerTest::TearDown();  // closes the files before their folder goes
    EXPECT_EQ(chdir(savedCwd.c_str()), 0);
    std::filesystem::remove_all(dir);
    if (savedDrives)
      setenv("LOGSHIP_DRIVES", savedDrives->c_str(), 1);
    else
      unsetenv("LOGSHIP_DRIVES");
    ts::platform::ReloadDrives();
  }

  // nullptr: the variable unset.
  static void Drives(const char* mapping) {
    if (mapping)
      setenv("LOGSHIP_DRIVES", mapping, 1);
    else
      unsetenv("LOGSHIP_DRIVES");
    ts::platform::ReloadDrives();
  }

  // Paths below the temporary folder.
  std::string In(const std::string& rel) const { return dir + "/" + rel; }

  void Write(const std::string& rel, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(In(rel)).parent_path());
    std::ofstream(In(rel), std::ios::binary) << bytes;
  }
  void Folder(const std::string& rel) { std::filesystem::create_directories(In(rel)); }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
  }
  static std::string Cwd() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? buffer : "";
  }

  // The pending error number, then nothing pending.
  static uint32_t TakeError() {
    uint32_t n = ts::PendingError();
    ts::ResetErrorModel();
    return n;
  }

  std::string dir, savedCwd;
  std::optional<std::string> savedDrives;
};

}  // namespace tst
