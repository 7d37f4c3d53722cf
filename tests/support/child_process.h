// Child processes for tests that run a program, or a piece of this one,
// away from the test's own terminal, display and environment.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "textscreen/platform/paths.h"

namespace tst {

struct ChildOptions {
  std::string cwd;  // empty: the test's own
  // name -> value; nullopt unsets the variable.
  std::vector<std::pair<std::string, std::optional<std::string>>> env;
  // Own session (no controlling terminal) and standard input from /dev/null.
  bool detached = true;
  int timeoutMs = 10000;
};

struct ChildResult {
  int exitCode = -1;   // -1: ended by a signal, -2: killed after the timeout
  std::string stderrText;
};

// Runs `body` in a forked child whose exit code is what `body` returns.
inline ChildResult RunInChild(const ChildOptions& options, const std::function<int()>& body) {
  ChildResult result;
  char errName[] = "/tmp/logship-child-stderr-XXXXXX";
  int errFd = mkstemp(errName);
  if (errFd < 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    if (options.detached) {
      setsid();
      int null = open("/dev/null", O_RDONLY);
      dup2(null, STDIN_FILENO);
    }
    dup2(errFd, STDERR_FILENO);
    for (const auto& [name, value] : options.env) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
    _exit(body());
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeoutMs);
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      break;
    }
    if (done < 0 || std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.exitCode = -2;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::ifstream err(errName, std::ios::binary);
  std::stringstream text;
  text << err.rdbuf();
  result.stderrText = text.str();
  close(errFd);
  unlink(errName);
  return result;
}

inline ChildResult RunExecutable(const std::string& path, const ChildOptions& options) {
  return RunInChild(options, [&] {
    execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    return 127;
  });
}

inline void WriteFile(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
  auto folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  chmod(path.c_str(), mode);
}

// The file's bytes; nullopt when it does not exist.
inline std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh folder /tmp/<prefix>-XXXXXX, by its real path, whose app/ holds
// copies of the built `programs` as an install has them; "" when no folder
// could be made.
inline std::string FolderWithPrograms(const std::string& prefix,
                                      std::initializer_list<const char*> programs) {
  std::string pattern = "/tmp/" + prefix + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return "";
  const std::string root = std::filesystem::canonical(pattern).string(), app = root + "/app";
  std::filesystem::create_directories(app);
  for (const char* program : programs) {
    std::filesystem::copy_file(ts::platform::ExecutableFolder() + "/" + program, app + "/" + program);
    chmod((app + "/" + program).c_str(), 0755);
  }
  return root;
}

inline bool WaitForFile(const std::string& path, int timeoutMs = 5000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!std::filesystem::exists(path)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// A shell script that records that it ran: its arguments (one a line) in
// `<marks>/args`, its current directory in `<marks>/cwd` (written last,
// so that `cwd` existing means both are there), then after `sleepSeconds`
// a line in `<marks>/finished`.
inline std::string RecordingScript(const std::string& marks, const std::string& sleepSeconds) {
  return "#!/bin/sh\n"
         "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + marks + "/args'\n"
         "pwd -P > '" + marks + "/cwd.tmp' && mv '" + marks + "/cwd.tmp' '" + marks + "/cwd'\n"
         "sleep " + sleepSeconds + "\n"
         "echo done > '" + marks + "/finished'\n";
}

// As RecordingScript, but in place of the sleep it holds until
// `<marks>/go` exists (30 s at most): a start that waited for its program
// shows as a `finished` that is there before the test wrote `go`.
inline std::string HeldRecordingScript(const std::string& marks) {
  return RecordingScript(marks, "0; i=0; while [ ! -e '" + marks +
                                    "/go' ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done");
}

}  // namespace tst
