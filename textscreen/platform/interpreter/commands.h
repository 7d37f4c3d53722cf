// The internal commands of the small command interpreter that stands in
// for "cmd /c": cd, dir and ver.
#pragma once
#include <string>
#include <vector>

#include "textscreen/base/bytes.h"

namespace ts::cmd {

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
