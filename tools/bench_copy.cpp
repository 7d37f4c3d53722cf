// Times the export's copy, logship::CopyFile, with the real file services:
// a data file of each size given (in bytes; default 64 KiB and 1 MiB) copied
// from the current directory to the root of drive E, a folder of its own.
// Beside it the floor: "dd bs=100" (the copy's own record size) and "cp" of
// the same file into the same folder, each a whole command waited for; and
// the flush alone (file and folder onto the medium), part of CopyFile.
// Prints per size and way "<way>: <bytes> bytes, median <ms> ms, min <ms> ms"
// with <way> CopyFile, dd bs=100, cp or flush.
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "export/copy_file.h"
#include "textscreen/errors.h"
#include "textscreen/platform/paths.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 9;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point start, Clock::time_point stop) {
  return std::chrono::duration<double, std::milli>(stop - start).count();
}

void PrintFigure(const char* way, long bytes, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%s: %ld bytes, median %.2f ms, min %.2f ms\n", way, bytes, ms[ms.size() / 2],
              ms.front());
}

// Runs a command and waits for it; its time in ms, or -1 when it did not
// start or failed.
double TimeCommand(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  auto start = Clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  auto stop = Clock::now();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Ms(start, stop) : -1;
}

// What the copy's flush costs on its own: the file written, then the time
// to put it and its folder onto the medium. -1 when that failed.
double TimeFlush(const std::string& data, const fs::path& target) {
  int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || write(fd, data.data(), data.size()) != ssize_t(data.size())) {
    if (fd >= 0) close(fd);
    return -1;
  }
  auto start = Clock::now();
  bool flushed = fsync(fd) == 0;
  close(fd);
  int folder = open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  flushed = flushed && folder >= 0 && fsync(folder) == 0;
  if (folder >= 0) close(folder);
  auto stop = Clock::now();
  return flushed ? Ms(start, stop) : -1;
}

struct Way {
  const char* name;
  fs::path target;
  std::function<double()> copy;  // ms, or -1 when the copy failed
  std::vector<double> ms;
};

// The data file copied kRuns times by each way in turn, so that a change in
// the load of the machine meets every way; false (with a message) when a
// copy failed or came out different.
bool TimeCopies(long bytes, const fs::path& stick) {
  std::string data(size_t(bytes), '\0');
  std::mt19937 random{uint32_t(bytes)};
  for (char& c : data) c = char(random());
  std::ofstream("bench.log", std::ios::binary).write(data.data(), std::streamsize(data.size()));

  const fs::path dd = stick / "DD.cbr", cp = stick / "CP.cbr", flushed = stick / "FLUSH.cbr";
  std::vector<Way> ways = {
      {"CopyFile", stick / "BENCH.cbr",
       [] {
         auto start = Clock::now();
         logship::CopyFile("bench.log", "E:\\BENCH.cbr");
         auto stop = Clock::now();
         if (!ts::ErrorPending()) return Ms(start, stop);
         std::fprintf(stderr, "CopyFile failed with error %u\n", ts::PendingError());
         return -1.0;
       }, {}},
      {"dd bs=100", dd,
       [&] { return TimeCommand({"dd", "if=bench.log", "of=" + dd.string(), "bs=100", "status=none"}); },
       {}},
      {"cp", cp, [&] { return TimeCommand({"cp", "bench.log", cp.string()}); }, {}},
      {"flush", flushed, [&] { return TimeFlush(data, flushed); }, {}},
  };
  for (int run = 0; run < kRuns; ++run) {
    for (Way& way : ways) {
      fs::remove(way.target);
      double took = way.copy();
      if (took < 0) {
        std::fprintf(stderr, "%s: the copy of %ld bytes failed\n", way.name, bytes);
        return false;
      }
      way.ms.push_back(took);
    }
  }
  for (Way& way : ways) {
    if (ReadAll(way.target) != data) {
      std::fprintf(stderr, "%s: the copy of %ld bytes differs from its source\n", way.name, bytes);
      return false;
    }
    PrintFigure(way.name, bytes, way.ms);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atol(argv[i]));
  if (sizes.empty()) sizes = {64L * 1024, 1024L * 1024};

  char folder[] = "/tmp/bench-copy-XXXXXX";
  if (!mkdtemp(folder)) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path root = folder, stick = root / "stick";
  fs::create_directory(stick);
  setenv("LOGSHIP_DRIVES", ("C=" + root.string() + ";E=" + stick.string()).c_str(), 1);
  setenv("LOGSHIP_BOX_ANSWER", "no", 1);
  ts::platform::ReloadDrives();
  if (chdir(folder) != 0) {
    std::perror("chdir");
    return 1;
  }

  bool ok = true;
  try {
    for (long bytes : sizes) ok = TimeCopies(bytes, stick) && ok;
  } catch (const ts::ProgramStop&) {
    std::fprintf(stderr, "the copy raised an error that ended the program\n");
    ok = false;
  }
  fs::remove_all(root);
  return ok ? 0 : 1;
}
