#include "command_line.h"

namespace ts::cmd {

CommandLine Parse(const Bytes& line) {
  CommandLine parsed;
  size_t i = 0;
  // One word from i: up to a blank or an operator outside double quotes,
  // the quotes taken off.
  auto word = [&] {
    Bytes w;
    bool quoted = false;
    for (; i < line.size(); ++i) {
      char c = line[i];
      if (c == '"') {
        quoted = !quoted;
        continue;
      }
      if (!quoted && (IsBlank(c) || c == '>' || c == '<' || c == '|' || c == '&')) break;
      w += c;
    }
    return w;
  };
  while (i < line.size()) {
    char c = line[i];
    if (IsBlank(c)) {
      ++i;
    } else if (c == '>') {
      Redirection r;
      ++i;
      if (i < line.size() && line[i] == '>') {
        r.append = true;
        ++i;
      }
      while (i < line.size() && IsBlank(line[i])) ++i;
      r.target = word();
      if (r.target.empty()) {
        parsed.error = "The syntax of the command is incorrect.\r\n";
        return parsed;
      }
      parsed.redirections.push_back(r);
    } else if (c == '<' || c == '|' || c == '&') {
      parsed.error = std::string("'") + c + "' is not supported by this command interpreter.\r\n";
      return parsed;
    } else {
      parsed.words.push_back(word());
    }
  }
  return parsed;
}

}  // namespace ts::cmd
