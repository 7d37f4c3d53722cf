// A scratch folder `root` whose tool/ is the current directory, as the
// tool's own folder is when it runs; the drive table goes back to its
// default before the folder goes.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <utility>

#include "support/scripted.h"
#include "textscreen/platform/paths.h"

namespace tst {

class ToolFolderTest : public LayerTest {
 protected:
  // The folder is /tmp/<prefix>-XXXXXX.
  explicit ToolFolderTest(std::string prefix) : prefix_(std::move(prefix)) {}

  void SetUp() override {
    LayerTest::SetUp();
    std::string pattern = "/tmp/" + prefix_ + "-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    tool = root / "tool";
    std::filesystem::create_directories(tool);
    oldCwd_ = std::filesystem::current_path();
    std::filesystem::current_path(tool);
  }

  void TearDown() override {
    std::filesystem::current_path(oldCwd_);
    unsetenv("LOGSHIP_DRIVES");
    ts::platform::ReloadDrives();
    std::filesystem::remove_all(root);
    LayerTest::TearDown();
  }

  std::filesystem::path root, tool;

 private:
  std::string prefix_;
  std::filesystem::path oldCwd_;
};

}  // namespace tst
