// The built launcher, copied into a folder of its own and run as a user
// would: from another current directory, without a display or terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/child_process.h"

namespace {

namespace fs = std::filesystem;

const char kMissingBox[] =
    "Unhandled Error #53\n"
    "Line: 2 (in main module)\n"
    "File not found\n"
    "Continue?\n"
    "\n";

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = tst::FolderWithPrograms("logship-launcher", {"launcher"});
    ASSERT_FALSE(root.empty());
    app = root + "/app";
    fs::create_directories(root + "/elsewhere");
  }
  void TearDown() override { fs::remove_all(root); }

  tst::ChildResult RunLauncher(std::optional<std::string> answer) {
    tst::ChildOptions options;
    options.cwd = root + "/elsewhere";
    options.env = {{"DISPLAY", std::nullopt},
                   {"LOGSHIP_BOX_ANSWER", answer},
                   {"LOGSHIP_BOX_LOG", root + "/boxes.log"}};
    return tst::RunExecutable(app + "/launcher", options);
  }

  std::string root, app;
};

TEST_F(LauncherTest, StartsTheMainProgramFromItsOwnFolderAndEndsAtOnce) {
  // The main program ends only once the test says so: a launcher that waited
  // for it would never come back.
  tst::WriteFile(app + "/tarnvale/tarnvale.exe", tst::HeldRecordingScript(root), 0755);
  auto result = RunLauncher("no");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_FALSE(fs::exists(root + "/finished")) << "the launcher waited for the main program";
  ASSERT_TRUE(tst::WaitForFile(root + "/cwd"));
  EXPECT_EQ(tst::ReadFile(root + "/cwd"), app + "\n");
  EXPECT_EQ(tst::ReadFile(root + "/args"), "") << "nothing is passed to the main program";
  EXPECT_FALSE(fs::exists(root + "/boxes.log")) << "a started program shows no box";
  EXPECT_EQ(result.stderrText, "");
  tst::WriteFile(root + "/go", "");
  ASSERT_TRUE(tst::WaitForFile(root + "/finished"));
}

struct FailedStart {
  const char* name;
  const char* mainProgram;  // nullptr: missing; else its file content, not executable
  std::optional<std::string> answer;  // nullopt: nobody to ask
};
void PrintTo(const FailedStart& c, std::ostream* os) {
  *os << (c.answer ? "answered " + *c.answer : std::string("nobody to ask"));
}

class LauncherFailedStart : public LauncherTest,
                            public ::testing::WithParamInterface<FailedStart> {};

TEST_P(LauncherFailedStart, ShowsItsBoxAndEndsWithCodeZero) {
  if (GetParam().mainProgram)
    tst::WriteFile(app + "/tarnvale/tarnvale.exe", GetParam().mainProgram, 0644);
  auto result = RunLauncher(GetParam().answer);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(tst::ReadFile(root + "/boxes.log"), kMissingBox);
  if (!GetParam().answer) {
    EXPECT_EQ(result.stderrText, std::string(kMissingBox).substr(0, sizeof kMissingBox - 2));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LauncherFailedStart,
    ::testing::Values(FailedStart{"MissingYes", nullptr, "yes"},
                      FailedStart{"MissingNo", nullptr, "no"},
                      FailedStart{"MissingNobodyToAsk", nullptr, std::nullopt},
                      FailedStart{"NotExecutable", "#!/bin/sh\ntouch ran\n", "yes"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
