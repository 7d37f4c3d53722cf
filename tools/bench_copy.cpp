// Times the export's copy, logship::CopyFile, with the real file services:
// a data file of each size given (in bytes; default 64 KiB and 1 MiB) copied
// from the current directory to the root of drive E, a folder of its own.
// Prints one line per size: "copy <bytes> bytes: median <ms> ms, best <ms> ms".
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
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

// Copies a data file of `bytes` kRuns times; false (with a message) when a
// copy failed or came out different.
bool TimeCopies(long bytes, const fs::path& stick) {
  std::string data(size_t(bytes), '\0');
  std::mt19937 random{uint32_t(bytes)};
  for (char& c : data) c = char(random());
  std::ofstream("bench.log", std::ios::binary).write(data.data(), std::streamsize(data.size()));

  std::vector<double> ms;
  for (int run = 0; run < kRuns; ++run) {
    fs::remove(stick / "BENCH.cbr");
    auto start = std::chrono::steady_clock::now();
    logship::CopyFile("bench.log", "E:\\BENCH.cbr");
    auto stop = std::chrono::steady_clock::now();
    if (ts::ErrorPending()) {
      std::fprintf(stderr, "the copy failed with error %u\n", ts::PendingError());
      return false;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
  }
  if (ReadAll(stick / "BENCH.cbr") != data) {
    std::fprintf(stderr, "the copy of %ld bytes differs from its source\n", bytes);
    return false;
  }
  std::sort(ms.begin(), ms.end());
  std::printf("copy %ld bytes: median %.1f ms, best %.1f ms\n", bytes, ms[ms.size() / 2],
              ms.front());
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
