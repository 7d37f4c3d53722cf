// The interpreter's reading of its one command line: the command and its
// arguments, and the redirections of standard output with ">" and ">>".
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

}  // namespace ts::cmd
