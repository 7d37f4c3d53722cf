// logship-cmd /c <command line> [--parent=PID]
//
// Opens the redirections first, as cmd does, so that "dir Q: > direct.tmp"
// leaves an empty direct.tmp when Q is no drive; the tool measures it.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "command_line.h"
#include "commands.h"
#include "textscreen/base/write_all.h"
#include "textscreen/platform/helper_parent.h"
#include "textscreen/platform/paths.h"

namespace ts::cmd {
namespace {

// Standard output into the file; false with the message when it fails.
bool Redirect(const Redirection& r, std::string& err) {
  platform::NativePath native = platform::ToNative(r.target);
  if (native.error == platform::PathError::NoDrive) {
    err += "The system cannot find the drive specified.\r\n";
    return false;
  }
  if (native.error == platform::PathError::NotReady) {
    err += "The device is not ready.\r\n";
    return false;
  }
  // Never through a link: it could lead to any file, the user's log among
  // them. Nor into a FIFO or a device: the open could wait for ever, and
  // what is written there is no file the tool can read back.
  int fd = -1, code = ELOOP;
  struct stat st;
  if (platform::WritablePlace(native) &&
      (lstat(native.path.c_str(), &st) != 0 || S_ISREG(st.st_mode))) {
    fd = open(native.path.c_str(),
              O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK |
                  (r.append ? O_APPEND : O_TRUNC) | O_CLOEXEC,
              0666);
    code = errno;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
      close(fd);
      fd = -1;
      code = EACCES;
    }
  }
  if (fd < 0) {
    if (code == ENOENT || code == ENOTDIR)
      err += "The system cannot find the path specified.\r\n";
    else if (code == EACCES || code == EPERM || code == EROFS || code == EISDIR || code == ELOOP ||
             code == ENXIO)
      err += "Access is denied.\r\n";
    else
      err += std::string(std::strerror(code)) + "\r\n";
    return false;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  dup2(fd, 1);
  close(fd);
  return true;
}

int Run(const Bytes& line, Output& o) {
  CommandLine parsed = Parse(line);
  if (!parsed.error.empty()) {
    o.err += parsed.error;
    return 1;
  }
  for (const Redirection& r : parsed.redirections)
    if (!Redirect(r, o.err)) return 1;
  if (parsed.words.empty()) return 0;

  Bytes name = UpperAZ(parsed.words[0]);
  std::vector<Bytes> args(parsed.words.begin() + 1, parsed.words.end());
  if (name == "CD") return ChangeDirectoryCommand(args, o);
  if (name == "DIR") return DirectoryCommand(args, o);
  if (name == "VER") return VersionCommand(args, o);
  o.err += "'" + parsed.words[0] +
           "' is not recognized as an internal or external command,\r\n"
           "operable program or batch file.\r\n";
  return 1;
}

}  // namespace

}  // namespace ts::cmd

int main(int argc, char** argv) {
  // The tool waits for its command; a command of a tool that is gone has
  // no one to read what it writes.
  if (!ts::platform::StayWithParent(argc, argv, SIGKILL)) return 1;
  ts::cmd::Output o;
  int status;
  if (argc < 3 || (std::strcmp(argv[1], "/c") != 0 && std::strcmp(argv[1], "/C") != 0)) {
    o.err = "usage: logship-cmd /c command-line\r\n";
    status = 1;
  } else {
    // A caller that split the line into words gets them joined again.
    ts::Bytes line = argv[2];
    for (int k = 3; k < argc; ++k) line += std::string(" ") + argv[k];
    status = ts::cmd::Run(line, o);
  }
  ts::WriteAll(1, o.out);
  ts::WriteAll(2, o.err);
  return status;
}
