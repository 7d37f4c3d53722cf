// Message boxes in place of MessageBoxA: a real dialog on the desktop
// (a small SDL 2 helper process), else standard error and the terminal,
// else No. Tests answer through the same seam.
#pragma once
#include <functional>
#include <string>

namespace ts::platform {

enum class BoxKind { YesNo, Ok };
enum class BoxAnswer { Yes, No, Ok };

BoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, BoxKind kind);

// Tests: every box goes to this answerer instead (nullptr: the real one).
using BoxAnswerer =
    std::function<BoxAnswer(const std::string& caption, const std::string& text, BoxKind kind)>;
void SetBoxAnswerer(BoxAnswerer answerer);

}  // namespace ts::platform
