#include "helper_parent.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace ts::platform {

namespace {

constexpr char kParentOption[] = "--parent=";
constexpr size_t kParentOptionLength = sizeof kParentOption - 1;

}  // namespace

std::string ParentArgument() { return kParentOption + std::to_string(getpid()); }

bool StayWithParent(int& argc, char** argv, int deathSignal) {
  // First, so that a parent that ends from here on sends the signal, and
  // one that ended before shows as another parent below.
  prctl(PR_SET_PDEATHSIG, deathSignal);
  if (argc < 2) return true;
  const char* last = argv[argc - 1];
  if (std::strncmp(last, kParentOption, kParentOptionLength) != 0) return true;
  char* end = nullptr;
  const long parent = std::strtol(last + kParentOptionLength, &end, 10);
  const bool named = end != last + kParentOptionLength && *end == '\0';
  argv[--argc] = nullptr;
  return named && getppid() == pid_t(parent);
}

}  // namespace ts::platform
