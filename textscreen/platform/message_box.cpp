// Message boxes in place of MessageBoxA.
#include "message_box.h"

#include <errno.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "helper_parent.h"
#include "paths.h"
#include "program_start.h"
#include "textscreen/base/codepage437.h"
#include "textscreen/base/write_all.h"
#include "wait.h"

namespace ts::platform {

namespace {

BoxAnswerer answerer;

void LogBox(const std::string& caption, const std::string& text) {
  const char* file = std::getenv("LOGSHIP_BOX_LOG");
  if (!file || !*file) return;
  int fd = open(file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  WriteAll(fd, caption + "\n" + text + "\n\n");
  close(fd);
}

std::optional<BoxAnswer> AnswerFromEnvironment(BoxKind kind) {
  const char* answer = std::getenv("LOGSHIP_BOX_ANSWER");
  if (!answer) return std::nullopt;
  bool yes = strcasecmp(answer, "yes") == 0;
  if (!yes && strcasecmp(answer, "no") != 0) return std::nullopt;
  if (kind == BoxKind::Ok) return BoxAnswer::Ok;
  return yes ? BoxAnswer::Yes : BoxAnswer::No;
}

// The answer a box gets when the program ends while it asks.
BoxAnswer Unanswered(BoxKind kind) { return kind == BoxKind::Ok ? BoxAnswer::Ok : BoxAnswer::No; }

std::optional<BoxAnswer> AskHelper(const std::string& caption, const std::string& text,
                                   BoxKind kind, int interrupt) {
  std::string helper = ExecutableFolder() + "/logship-msgbox";
  if (access(helper.c_str(), X_OK) != 0) return std::nullopt;
  // In a group of its own: the toolkit's dialog is drawn by a process that
  // it forks, and the group takes that one along.
  pid_t pid = SpawnNative(helper,
                          {helper, kind == BoxKind::Ok ? "ok" : "yesno", caption, text,
                           ParentArgument()},
                          nullptr, true);
  if (pid < 0) return std::nullopt;
  std::optional<int> status = WaitForChild(pid, interrupt, true);
  if (!status) return Unanswered(kind);
  if (!WIFEXITED(*status)) return std::nullopt;
  int code = WEXITSTATUS(*status);
  if (kind == BoxKind::Ok) {
    if (code == kHelperOk) return BoxAnswer::Ok;
  } else {
    if (code == kHelperYes) return BoxAnswer::Yes;
    if (code == kHelperNo) return BoxAnswer::No;
  }
  return std::nullopt;
}

// One line from the terminal; false at its end, or once `interrupt` is
// readable.
bool ReadLine(int fd, std::string& line, int interrupt) {
  line.clear();
  for (;;) {
    if (AwaitReadable(fd, interrupt, -1) == Awoken::Interrupted) return false;
    char c;
    ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return !line.empty();
    if (c == '\n') return true;
    line += c;
  }
}

// Asks on the controlling terminal, or on standard input when that is a
// terminal without being the controlling one. Nothing when there is none.
std::optional<BoxAnswer> AskTerminal(BoxKind kind, int interrupt) {
  int in = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  int out = in;
  bool own = in >= 0;
  if (!own) {
    if (!isatty(STDIN_FILENO)) return std::nullopt;
    in = STDIN_FILENO;
    out = STDERR_FILENO;
  }
  BoxAnswer answer = Unanswered(kind);
  std::string line;
  for (;;) {
    WriteAll(out, kind == BoxKind::Ok ? "(OK) " : "(y/n) ");
    if (!ReadLine(in, line, interrupt) || kind == BoxKind::Ok) break;
    size_t first = line.find_first_not_of(" \t\r");
    char c = first == std::string::npos ? 0 : line[first];
    if (c == 'y' || c == 'Y') {
      answer = BoxAnswer::Yes;
      break;
    }
    if (c == 'n' || c == 'N') break;
  }
  if (own) close(in);
  return answer;
}

}  // namespace

void SetBoxAnswerer(BoxAnswerer a) { answerer = std::move(a); }

BoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, BoxKind kind,
                         int interrupt) {
  if (answerer) return answerer(caption, text, kind);

  std::string title = Cp437TextToUtf8(caption);
  std::string body = Cp437TextToUtf8(text);
  LogBox(title, body);
  if (auto a = AnswerFromEnvironment(kind)) return *a;

  const char* display = std::getenv("DISPLAY");
  if (display && *display) {
    if (auto a = AskHelper(title, body, kind, interrupt)) return *a;
  }
  if (AwaitReadable(-1, interrupt, 0) == Awoken::Interrupted) return Unanswered(kind);

  WriteAll(STDERR_FILENO, title + "\n" + body + "\n");
  if (auto a = AskTerminal(kind, interrupt)) return *a;
  return Unanswered(kind);
}

}  // namespace ts::platform
