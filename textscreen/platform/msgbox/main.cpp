// logship-msgbox yesno|ok CAPTION TEXT [--parent=PID]
//
// The desktop dialog of the message boxes, in a process of its own so that
// SDL 2 never meets the SDL 1.2 of the export tool. It answers by its exit
// status (see message_box.h).
#include <SDL.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "../helper_parent.h"
#include "../message_box.h"

using namespace ts::platform;

namespace {

// A box of a tool that is gone has no one to answer to. SDL draws the
// dialog in a process that it forks, which the death signal does not
// reach: started as the leader of a group of its own, the helper takes
// the whole group along.
void EndWithGroup(int) {
  if (getpgrp() == getpid()) kill(0, SIGKILL);
  _exit(kHelperCannotAsk);
}

}  // namespace

int main(int argc, char** argv) {
  struct sigaction end {};
  end.sa_handler = EndWithGroup;
  sigemptyset(&end.sa_mask);
  sigaction(SIGHUP, &end, nullptr);
  // A group of its own is a background job on the tool's terminal: a
  // message of SDL's there must not stop it.
  signal(SIGTTOU, SIG_IGN);
  if (!StayWithParent(argc, argv, SIGHUP)) return kHelperCannotAsk;
  if (argc != 4) return kHelperCannotAsk;
  bool ok = std::strcmp(argv[1], "ok") == 0;
  if (!ok && std::strcmp(argv[1], "yesno") != 0) return kHelperCannotAsk;

  enum { kYes, kNo, kOk };
  const SDL_MessageBoxButtonData yesNo[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, kYes, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kNo, "No"},
  };
  const SDL_MessageBoxButtonData okOnly[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kOk,
       "OK"},
  };

  // No icon flag: the boxes have none. No owner window either: SDL then
  // marks it a dialog of its own, which window managers keep on top.
  SDL_MessageBoxData box{};
  box.flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  box.window = nullptr;
  box.title = argv[2];
  box.message = argv[3];
  box.numbuttons = ok ? 1 : 2;
  box.buttons = ok ? okOnly : yesNo;

  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) != 0) return kHelperCannotAsk;
  if (ok) return kHelperOk;
  // Closing the dialog by its title bar is the Esc of the box: No.
  return pressed == kYes ? kHelperYes : kHelperNo;
}
