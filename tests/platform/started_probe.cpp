// A program for the tests to start: it writes what it inherited, read
// from itself before it does anything else, into marks/ beside its own
// executable: its open descriptors (fds, one number a line), its
// environment (env, one entry a line) and the SigBlk and SigIgn lines of
// its own /proc/self/status (signals). fds comes last and whole, so that
// a test waiting for it finds the other two there.
#include <dirent.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

extern char** environ;

namespace {

std::string Descriptors() {
  std::string fds;
  DIR* listing = opendir("/proc/self/fd");
  if (!listing) return fds;
  while (const dirent* e = readdir(listing)) {
    if (e->d_name[0] == '.' || atoi(e->d_name) == dirfd(listing)) continue;
    fds += std::string(e->d_name) + "\n";
  }
  closedir(listing);
  return fds;
}

std::string SignalLines() {
  std::string lines;
  FILE* status = fopen("/proc/self/status", "re");
  if (!status) return lines;
  char line[512];
  while (fgets(line, sizeof line, status))
    if (strncmp(line, "SigBlk:", 7) == 0 || strncmp(line, "SigIgn:", 7) == 0) lines += line;
  fclose(status);
  return lines;
}

bool Write(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "we");
  if (!f) return false;
  const bool written = fwrite(text.data(), 1, text.size(), f) == text.size();
  return fclose(f) == 0 && written;
}

}  // namespace

int main() {
  const std::string signals = SignalLines(), fds = Descriptors();
  std::string env;
  for (char** e = environ; *e; ++e) env += std::string(*e) + "\n";

  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return 1;
  std::string marks(self, size_t(n));
  marks = marks.substr(0, marks.rfind('/')) + "/marks/";
  if (!Write(marks + "signals", signals) || !Write(marks + "env", env) ||
      !Write(marks + "fds.tmp", fds))
    return 1;
  return rename((marks + "fds.tmp").c_str(), (marks + "fds").c_str()) == 0 ? 0 : 1;
}
