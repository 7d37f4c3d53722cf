// The small command interpreter that stands in for "cmd /c": one command
// line, the internal commands cd, dir and ver, and the redirection of
// standard output with ">" and ">>".
#pragma once
#include <string>
#include <vector>

#include "textscreen/base/bytes.h"

namespace ts::cmd {

struct Redirection {
  Bytes target;  // tool-form path
  bool append = false;
};

struct CommandLine {
  std::vector<Bytes> words;  // the command and its arguments, quotes taken off
  std::vector<Redirection> redirections;
  std::string error;  // the message when the line cannot be parsed
};

CommandLine Parse(const Bytes& line);

// Each command appends its standard output and its messages (CR LF line
// ends, code page 437) and gives the exit status.
struct Output {
  Bytes out;
  std::string err;
};

int ChangeDirectoryCommand(const std::vector<Bytes>& args, Output& o);
int DirectoryCommand(const std::vector<Bytes>& args, Output& o);
int VersionCommand(const std::vector<Bytes>& args, Output& o);

}  // namespace ts::cmd
