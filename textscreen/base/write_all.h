// Writes a whole text to a file descriptor: short writes go on, an
// interrupted one is tried again, an error gives up (there is nowhere left
// to report it).
#pragma once
#include <unistd.h>

#include <cerrno>
#include <string>

namespace ts {

inline void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += size_t(n);
  }
}

}  // namespace ts
