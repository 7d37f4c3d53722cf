// SDL 1.2 input events turned into the layer's own key presses, mouse
// events and close control, at the edge, so that no SDL type goes further.
#pragma once
#include <SDL/SDL.h>

#include "textscreen/keyboard.h"

namespace ts::sdl {

// The physical key, its modifiers and the character it types.
KeyPress KeyPressFromSdl(const SDL_keysym& keysym);

// A repeat of the held key's `press` under the modifiers `held` now: a
// letter types the capital or the small letter that they give. Any other
// key types the character of its press, since which one a modifier gives
// it is the keyboard layout's, told only with a press.
SDL_Event RepeatOf(const SDL_Event& press, SDLMod held);

// Window thread: hands key presses, mouse motion, buttons, wheel steps and
// the close control to the layer; every other event is ignored here.
class EventTranslator {
 public:
  void Deliver(const SDL_Event& event);
  // True once a mouse event has gone into the queue (the start position
  // is only set before that).
  bool MouseSeen() const { return mouseSeen_; }

 private:
  bool mouseSeen_ = false;
};

}  // namespace ts::sdl
