// The copy tests' fixture: a scratch folder as the current directory, a
// drive table of the test's choosing, the copy run under ExportHandler or
// without a handler, pictures of a folder's contents, and copies run in
// child processes of their own.
#pragma once
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "export/copy_file.h"
#include "export/copy_policy.h"
#include "export/flow.h"
#include "export/globals.h"
#include "support/child_process.h"
#include "support/scripted.h"
#include "textscreen/errors.h"
#include "textscreen/numbered_files.h"
#include "textscreen/platform/paths.h"
#include "textscreen/program.h"

namespace tst {

namespace fs = std::filesystem;

constexpr uint32_t kExportHandlerStep = 307;

inline std::string Pattern(std::size_t n, int seed = 0) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += char((i * 7 + 3 + seed) % 256);  // zero bytes among them
  return s;
}

inline std::string ReadBytes(const fs::path& p) { return tst::ReadFile(p).value_or(""); }

class CopyTest : public LayerTest {
 protected:
  void SetUp() override {
    LayerTest::SetUp();
    scratch = std::make_unique<ScratchFolder>("logship-copy");
    dir = scratch->path();
    logship::ResetGlobals();
  }
  void TearDown() override {
    ts::CloseAllFiles();
    scratch.reset();
    unsetenv("LOGSHIP_DRIVES");
    ts::platform::ReloadDrives();
    LayerTest::TearDown();
  }

  void MapDrive(const std::string& mapping) {
    setenv("LOGSHIP_DRIVES", mapping.c_str(), 1);
    ts::platform::ReloadDrives();
  }

  // Runs the copy with ExportHandler armed; the error that entered it, or 0.
  uint32_t CopyUnderHandler(const std::string& source, const std::string& destination) {
    logship::SetHandlerPlan();
    ts::ArmHandler(2);
    try {
      logship::CopyFile(source, destination);
    } catch (const ts::HandlerEntry& entry) {
      EXPECT_EQ(entry.firstStep, kExportHandlerStep);
      return ts::CurrentErrorNumber();
    }
    return 0;
  }

  // The copy without a handler: the text of its one box, which is
  // answered No and so ends the program.
  std::string UnhandledBoxText(const std::string& source, const std::string& destination) {
    answers.push_back(ts::platform::BoxAnswer::No);
    EXPECT_TRUE(RunProgram([&] { logship::CopyFile(source, destination); }));
    if (boxes.size() != 1) {
      ADD_FAILURE() << boxes.size() << " boxes, expected 1";
      return "";
    }
    return boxes[0].text;
  }

  // True when number n is free (opening it raises nothing).
  bool NumberFree(long n) {
    ts::OpenNumberedFile("probe.tmp", ts::FileMode::Random, n, 1);
    bool free = !ts::ErrorPending();
    ts::CloseNumberedFile(n);
    if (!free) ts::EndStep(1);  // answered by the box
    return free;
  }

  std::unique_ptr<ScratchFolder> scratch;
  fs::path dir;
};

// Everything in a folder, file names with their bytes and link names with
// where they lead, to see that nothing in it changed.
inline std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> seen;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    std::string name = fs::relative(e.path(), folder).string();
    if (e.is_symlink()) seen[name] = "-> " + fs::read_symlink(e.path()).string();
    else if (e.is_regular_file()) seen[name] = ReadBytes(e.path());
    else if (e.is_directory()) seen[name] = "<folder>";
    else seen[name] = "<other>";
  }
  return seen;
}

// As Contents, and besides each entry's kind, permission bits and inode:
// a file that was deleted and made again, or changed its kind or its
// mode, shows too. A FIFO is not read.
inline std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> seen;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    struct stat st;
    if (lstat(e.path().c_str(), &st) != 0) continue;
    const char* kind = S_ISREG(st.st_mode)    ? "file"
                       : S_ISLNK(st.st_mode)  ? "link"
                       : S_ISDIR(st.st_mode)  ? "folder"
                       : S_ISFIFO(st.st_mode) ? "fifo"
                                              : "other";
    char head[80];
    std::snprintf(head, sizeof head, "%s %04o #%llu ", kind, unsigned(st.st_mode & 07777),
                  static_cast<unsigned long long>(st.st_ino));
    std::string content = S_ISREG(st.st_mode)   ? ReadBytes(e.path())
                          : S_ISLNK(st.st_mode) ? fs::read_symlink(e.path()).string()
                                                : "";
    seen[fs::relative(e.path(), folder).string()] = head + content;
  }
  return seen;
}

// The names in a folder that have the shape of the copy's temporary files.
inline std::vector<std::string> TemporaryFiles(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    if (logship::IsCopyTemporaryName(e.path().filename().string()))
      names.push_back(e.path().filename());
  return names;
}

// A copy in a child process of its own, so that two run at once or one is
// killed on its way. At the first boundary of step `stopAt` it runs
// `atStop` and then waits there until the test lets it go on. Its exit
// code is what `copy` gives back.
class CopyInChild {
 public:
  CopyInChild(const std::function<int()>& copy, uint32_t stopAt,
              const std::function<void()>& atStop = {}) {
    int arrived[2], resume[2];
    if (pipe(arrived) != 0 || pipe(resume) != 0) {
      ADD_FAILURE() << "no pipe";
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      close(arrived[0]);
      close(resume[1]);
      bool stopped = false;
      ts::SetStepHook([&](uint32_t step) {
        if (step != stopAt || stopped) return;
        stopped = true;
        if (atStop) atStop();
        char c = 's';
        if (write(arrived[1], &c, 1) != 1 || read(resume[0], &c, 1) < 0) _exit(98);
      });
      _exit(copy());
    }
    close(arrived[1]);
    close(resume[0]);
    arrived_ = arrived[0];
    resume_ = resume[1];
  }
  ~CopyInChild() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (arrived_ >= 0) close(arrived_);
    if (resume_ >= 0) close(resume_);
  }
  CopyInChild(const CopyInChild&) = delete;
  CopyInChild& operator=(const CopyInChild&) = delete;

  // False when the child ended or did not come there in time.
  bool WaitUntilStopped(int timeoutMs = 20000) {
    struct pollfd p = {arrived_, POLLIN, 0};
    char c;
    return poll(&p, 1, timeoutMs) == 1 && read(arrived_, &c, 1) == 1;
  }
  void GoOn() {
    char c = 'g';
    if (write(resume_, &c, 1) != 1) ADD_FAILURE() << "the child is gone";
  }
  // The exit code; -1 when a signal ended the child, -2 when it did not
  // end in time (it is then killed).
  int Wait(int timeoutMs = 20000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    pid_t done;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (done != pid_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      status = -1;
    }
    ended_ = true;
    if (status == -1) return -2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int arrived_ = -1, resume_ = -1;
  bool ended_ = false;
};

}  // namespace tst
