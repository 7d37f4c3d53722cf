#include "sdl_events.h"

#include "textscreen/mouse.h"

namespace ts::sdl {
namespace {

Key KeyOf(SDLKey sym) {
  if (sym >= SDLK_a && sym <= SDLK_z) return Key(int(Key::A) + (sym - SDLK_a));
  if (sym >= SDLK_0 && sym <= SDLK_9) return Key(int(Key::Digit0) + (sym - SDLK_0));
  if (sym >= SDLK_KP0 && sym <= SDLK_KP9) return Key(int(Key::Kp0) + (sym - SDLK_KP0));
  if (sym >= SDLK_F1 && sym <= SDLK_F12) return Key(int(Key::F1) + (sym - SDLK_F1));
  switch (sym) {
    case SDLK_HOME: return Key::Home;
    case SDLK_UP: return Key::Up;
    case SDLK_PAGEUP: return Key::PgUp;
    case SDLK_LEFT: return Key::Left;
    case SDLK_RIGHT: return Key::Right;
    case SDLK_END: return Key::End;
    case SDLK_DOWN: return Key::Down;
    case SDLK_PAGEDOWN: return Key::PgDn;
    case SDLK_INSERT: return Key::Ins;
    case SDLK_DELETE: return Key::Del;
    case SDLK_RETURN: return Key::Enter;
    case SDLK_ESCAPE: return Key::Esc;
    case SDLK_BACKSPACE: return Key::Backspace;
    case SDLK_TAB: return Key::Tab;
    case SDLK_SPACE: return Key::Space;
    case SDLK_KP_PERIOD: return Key::KpPeriod;
    case SDLK_KP_ENTER: return Key::KpEnter;
    case SDLK_KP_DIVIDE: return Key::KpDivide;
    case SDLK_KP_MULTIPLY: return Key::KpMultiply;
    case SDLK_KP_MINUS: return Key::KpMinus;
    case SDLK_KP_PLUS: return Key::KpPlus;
    case SDLK_PAUSE: return Key::Pause;
    case SDLK_BREAK: return Key::Break;
    case SDLK_SCROLLOCK: return Key::ScrollLock;
    case SDLK_NUMLOCK: return Key::NumLock;
    case SDLK_CAPSLOCK: return Key::CapsLock;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return Key::Shift;
    case SDLK_LCTRL: case SDLK_RCTRL: return Key::Ctrl;
    case SDLK_LALT: case SDLK_RALT: return Key::Alt;
    default: return Key::Other;
  }
}

unsigned ModsOf(SDLMod mod) {
  unsigned mods = 0;
  if (mod & KMOD_SHIFT) mods |= kModShift;
  if (mod & KMOD_CTRL) mods |= kModCtrl;
  // AltGr comes as KMOD_MODE and types characters; it is not Alt.
  if (mod & KMOD_ALT) mods |= kModAlt;
  if (mod & KMOD_NUM) mods |= kModNumLock;
  return mods;
}

uint32_t ButtonBit(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return kMouseLeft;
    case SDL_BUTTON_MIDDLE: return kMouseMiddle;
    case SDL_BUTTON_RIGHT: return kMouseRight;
    default: return 0;
  }
}

}  // namespace

KeyPress KeyPressFromSdl(const SDL_keysym& keysym) {
  return KeyPress{KeyOf(keysym.sym), ModsOf(keysym.mod), keysym.unicode};
}

SDL_Event RepeatOf(const SDL_Event& press, SDLMod held) {
  SDL_Event repeat = press;
  SDL_keysym& key = repeat.key.keysym;
  key.mod = held;
  // With AltGr a letter key may type anything.
  const bool altGr = ((press.key.keysym.mod | held) & KMOD_MODE) != 0;
  if (key.sym >= SDLK_a && key.sym <= SDLK_z && !altGr) {
    const bool capital = ((held & KMOD_SHIFT) != 0) != ((held & KMOD_CAPS) != 0);
    key.unicode = Uint16((capital ? 'A' : 'a') + (key.sym - SDLK_a));
  }
  return repeat;
}

void EventTranslator::Deliver(const SDL_Event& event) {
  switch (event.type) {
    case SDL_KEYDOWN:
      OnKeyPress(KeyPressFromSdl(event.key.keysym));
      break;
    case SDL_MOUSEMOTION:
      mouseSeen_ = true;
      OnMouseMotion(event.motion.x, event.motion.y, event.motion.xrel, event.motion.yrel);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const SDL_MouseButtonEvent& b = event.button;
      const bool down = event.type == SDL_MOUSEBUTTONDOWN;
      if (b.button == SDL_BUTTON_WHEELUP || b.button == SDL_BUTTON_WHEELDOWN) {
        // SDL reports a wheel step as a press and a release; the step is
        // one event of the queue.
        if (down) {
          mouseSeen_ = true;
          OnMouseWheel(b.x, b.y, b.button == SDL_BUTTON_WHEELUP);
        }
      } else if (uint32_t bit = ButtonBit(b.button)) {
        mouseSeen_ = true;
        OnMouseButton(b.x, b.y, bit, down);
      }
      break;
    }
    case SDL_QUIT:
      OnCloseControl();
      break;
    default:
      break;
  }
}

}  // namespace ts::sdl
