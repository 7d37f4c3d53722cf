// A virtual X server of the test's own, and what the tests look at on it
// and in the processes around it.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tst {

// Xvfb on a free display, 800x600x24, until the object goes or Kill().
// Without -noreset the server resets whenever its last client leaves, and
// a window that comes then finds no server.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      int null = open("/dev/null", O_RDWR);
      dup2(null, 1);
      dup2(null, 2);
      std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten",
             "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char ch;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &ch, 1) == 1 && ch != '\n') number += ch;
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  ~VirtualDisplay() { Kill(SIGTERM); }
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  // True when the tools that the tests drive it with are there.
  static bool ToolsInstalled() {
    return std::system("command -v Xvfb >/dev/null && command -v xdotool >/dev/null && "
                       "command -v xwininfo >/dev/null") == 0;
  }

  // ":N", or empty when the server did not start.
  const std::string& Name() const { return name_; }
  pid_t Pid() const { return pid_; }

  // The server goes, as when the desktop session ends.
  void Kill(int signal = SIGKILL) {
    if (pid_ <= 0) return;
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  // Output of a shell command run against this display.
  std::string Shell(const std::string& command) const {
    std::string full = "DISPLAY=" + name_ + " " + command + " 2>/dev/null";
    std::string out;
    if (FILE* f = popen(full.c_str(), "r")) {
      char buffer[512];
      while (size_t n = fread(buffer, 1, sizeof buffer, f)) out.append(buffer, n);
      pclose(f);
    }
    return out;
  }

  // Whether a window of that name is mapped.
  bool Shows(const std::string& windowName) const {
    return Shell("xwininfo -name '" + windowName + "'").find("IsViewable") != std::string::npos;
  }
  // Whether a window of that name exists at all.
  bool Has(const std::string& windowName) const {
    return Shell("xwininfo -name '" + windowName + "'").find("Window id") != std::string::npos;
  }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// A process's state letter from /proc, 0 once it is gone.
inline char ProcessState(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) return 0;
  return line[line.rfind(')') + 2];
}

// Gone, or a zombie that nothing runs in any more.
inline bool ProcessEnded(pid_t pid) {
  const char state = ProcessState(pid);
  return state == 0 || state == 'Z';
}

// Every process below `root`, children of any of its threads included.
inline std::vector<pid_t> Descendants(pid_t root) {
  std::vector<pid_t> found{root};
  for (size_t i = 0; i < found.size(); ++i) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
      const std::string name = entry.path().filename();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      std::ifstream stat(entry.path() / "stat");
      std::string line;
      if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
      const pid_t parent = std::atoi(line.c_str() + line.rfind(')') + 4);
      if (parent == found[i]) found.push_back(std::atoi(name.c_str()));
    }
  }
  found.erase(found.begin());
  return found;
}

}  // namespace tst
