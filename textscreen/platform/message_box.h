// Message boxes in place of MessageBoxA: a real dialog on the desktop
// (a small SDL 2 helper process), else standard error and the terminal,
// else No. Tests answer through the same seam.
//
// Where the answer comes from, first match wins:
//   1. the answerer set with SetBoxAnswerer (tests inside the process);
//   2. LOGSHIP_BOX_ANSWER=yes|no in the environment (tests that run the
//      built programs); an OK box answers OK whatever it says;
//   3. with DISPLAY set, the helper `logship-msgbox` beside the executable;
//   4. standard error, and the question on the terminal when there is one;
//   5. No (OK for an OK box).
// A box that `interrupt` cuts short (it becomes readable: the program is
// ending) answers No, or OK, at once: its dialog goes, with all that the
// dialog's process started, and the terminal is not asked.
// With LOGSHIP_BOX_LOG=<file> every box that reaches step 2 or later is
// first appended to that file as its caption, a line feed, its text, a
// line feed and an empty line; the answer then comes from 2 to 5.
#pragma once
#include <functional>
#include <string>

namespace ts::platform {

enum class BoxKind { YesNo, Ok };
enum class BoxAnswer { Yes, No, Ok };

BoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, BoxKind kind,
                         int interrupt = -1);

// Tests: every box goes to this answerer instead (nullptr: the real one).
using BoxAnswerer =
    std::function<BoxAnswer(const std::string& caption, const std::string& text, BoxKind kind)>;
void SetBoxAnswerer(BoxAnswerer answerer);

// The helper is run as `logship-msgbox yesno|ok CAPTION TEXT --parent=PID`
// (UTF-8), in a process group of its own, and answers by its exit status;
// any other status means it could not ask.
enum HelperExit : int { kHelperYes = 0, kHelperNo = 1, kHelperOk = 2, kHelperCannotAsk = 3 };

}  // namespace ts::platform
