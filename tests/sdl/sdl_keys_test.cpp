// Real SDL key events through the window thread into the key buffer.
#include <gtest/gtest.h>

#include "textscreen/input_wake.h"
#include "textscreen/keyboard.h"
#include "windowed_child.h"

namespace {

using sdltest::ChildRun;
using sdltest::PushKey;
using sdltest::Report;
using sdltest::RunWindowedInChild;

struct KeyCase {
  const char* name;
  SDLKey sym;
  int mod;
  uint16_t unicode;
  const char* code;  // what ReadKey gives: bytes in decimal, "none" for no entry
};

const KeyCase kKeyCases[] = {
    {"Down", SDLK_DOWN, KMOD_NONE, 0, "0 80"},
    {"a", SDLK_a, KMOD_NONE, 'a', "97"},
    {"Shift+A", SDLK_a, KMOD_LSHIFT, 'A', "65"},
    {"Caps Lock a", SDLK_a, KMOD_CAPS, 'A', "65"},
    {"digit 7", SDLK_7, KMOD_NONE, '7', "55"},
    {"Shift+Tab", SDLK_TAB, KMOD_LSHIFT, 9, "0 15"},
    {"Tab", SDLK_TAB, KMOD_NONE, 9, "9"},
    {"Alt+X", SDLK_x, KMOD_LALT, 'x', "0 45"},
    {"right Alt+Y", SDLK_y, KMOD_RALT, 'y', "0 21"},
    {"Ctrl+X", SDLK_x, KMOD_LCTRL, 24, "24"},
    {"Enter", SDLK_RETURN, KMOD_NONE, 13, "13"},
    {"Esc", SDLK_ESCAPE, KMOD_NONE, 27, "27"},
    {"Backspace", SDLK_BACKSPACE, KMOD_NONE, 8, "8"},
    {"F6", SDLK_F6, KMOD_NONE, 0, "0 64"},
    {"Ctrl+F1", SDLK_F1, KMOD_RCTRL, 0, "0 94"},
    {"F12", SDLK_F12, KMOD_NONE, 0, "0 134"},
    {"Alt+Del", SDLK_DELETE, KMOD_LALT, 0, "0 163"},
    {"keypad 2, Num Lock off", SDLK_KP2, KMOD_NONE, 0, "0 80"},
    {"keypad 5, Num Lock off", SDLK_KP5, KMOD_NONE, 0, "0 76"},
    {"keypad point, Num Lock off", SDLK_KP_PERIOD, KMOD_NONE, 0, "0 83"},
    {"keypad 2, Num Lock on", SDLK_KP2, KMOD_NUM, '2', "50"},
    {"e acute", SDLKey(0xE9), KMOD_NONE, 0xE9, "130"},
    // AltGr types characters; it is not Alt.
    {"AltGr+q", SDLK_q, KMOD_MODE, '@', "64"},
    {"full-width A", SDLK_UNKNOWN, KMOD_NONE, 0xFF21, "65"},
    {"Shift alone", SDLK_LSHIFT, KMOD_LSHIFT, 0, "none"},
    {"Alt+Enter", SDLK_RETURN, KMOD_LALT, 13, "none"},
    {"Menu key", SDLK_MENU, KMOD_NONE, 0, "none"},
};

std::string CodeText(const ts::Bytes& key) {
  std::string text;
  for (unsigned char c : key) text += (text.empty() ? "" : " ") + std::to_string(c);
  return text;
}

ts::Bytes ReadKeyWithin(int ms) {
  ts::Bytes key;
  sdltest::WaitUntil([&] { return !(key = ts::ReadKey()).empty(); }, ms);
  return key;
}

TEST(SdlKeys, EveryPressReachesTheKeyBufferAsItsPcCode) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    for (const KeyCase& c : kKeyCases) {
      // A marker key after each case tells "no entry" from "not yet".
      PushKey(c.sym, c.mod, c.unicode);
      PushKey(SDLK_z, KMOD_NONE, 'z');
      ts::Bytes first = ReadKeyWithin(3000);
      std::string got;
      if (first == "z") {
        got = "none";
      } else {
        got = first.empty() ? "timeout" : CodeText(first);
        if (ReadKeyWithin(3000) != "z") got += " (marker lost)";
      }
      report.Line(std::string(c.name) + ": " + got);
    }
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.lines.size(), std::size(kKeyCases) + 1) << run.Text();
  for (size_t i = 0; i < std::size(kKeyCases); ++i)
    EXPECT_EQ(run.lines[i], std::string(kKeyCases[i].name) + ": " + kKeyCases[i].code);
}

TEST(SdlKeys, ModifierAloneSetsTheKeyPressFlag) {
  ChildRun run = RunWindowedInChild([](Report& report) {
    ts::ClearKeyPressFlag();
    PushKey(SDLK_LSHIFT, KMOD_LSHIFT, 0);
    report.Line(sdltest::WaitUntil([] { return ts::KeyPressFlag(); }) ? "flag" : "no flag");
    report.Line("waiting " + std::to_string(ts::KeysWaiting()));
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.Text(), "flag\nwaiting 0\nreturned 0\n");
}

}  // namespace
