#include <string>

#include "support/scripted.h"
#include "textscreen/reset.h"
#include "textscreen/base/codepage437.h"
#include "textscreen/keyboard.h"
#include "textscreen/input_wake.h"

namespace {

using ts::Key;

class KeyboardTest : public tst::LayerTest {};

std::string Ext(int scan) { return std::string{'\0', char(scan)}; }
std::string Byte(int b) { return std::string(1, char(b)); }

constexpr unsigned kShift = ts::kModShift, kCtrl = ts::kModCtrl, kAlt = ts::kModAlt,
                   kNum = ts::kModNumLock;

struct KeyCase {
  const char* what;
  Key key;
  unsigned mods;
  uint32_t unicode;
  std::string code;  // "" = no entry
};

TEST_F(KeyboardTest, KeyPressesGiveTheirKeyCodes) {
  const KeyCase cases[] = {
      {"Down", Key::Down, 0, 0, Ext(80)},
      {"Shift+Tab", Key::Tab, kShift, 0, Ext(15)},
      {"Tab", Key::Tab, 0, 9, Byte(9)},
      {"Alt+X", Key::X, kAlt, 'x', Ext(45)},
      {"Alt+Y", Key::Y, kAlt, 'y', Ext(21)},
      {"Alt+Shift+A", Key::A, kAlt | kShift, 'A', Ext(30)},
      {"F1", Key::F1, 0, 0, Ext(59)},
      {"F6", Key::F6, 0, 0, Ext(64)},
      {"Shift+F10", Key::F10, kShift, 0, Ext(93)},
      {"Ctrl+F1", Key::F1, kCtrl, 0, Ext(94)},
      {"Alt+F10", Key::F10, kAlt, 0, Ext(113)},
      {"F11", Key::F11, 0, 0, Ext(133)},
      {"F12", Key::F12, 0, 0, Ext(134)},
      {"Shift+F12", Key::F12, kShift, 0, Ext(134)},
      {"Ctrl+F11", Key::F11, kCtrl, 0, Ext(137)},
      {"Alt+F12", Key::F12, kAlt, 0, Ext(140)},
      {"Home", Key::Home, 0, 0, Ext(71)},
      {"Ctrl+Home", Key::Home, kCtrl, 0, Ext(119)},
      {"Ctrl+PgUp", Key::PgUp, kCtrl, 0, Ext(132)},
      {"Shift+End", Key::End, kShift, 0, Ext(79)},
      {"Alt+Del", Key::Del, kAlt, 0, Ext(163)},
      {"Ctrl+Ins", Key::Ins, kCtrl, 0, Ext(146)},
      {"Alt over Ctrl", Key::Left, kCtrl | kAlt, 0, Ext(155)},
      {"Ctrl over Shift", Key::Right, kCtrl | kShift, 0, Ext(116)},
      {"Enter", Key::Enter, 0, 13, Byte(13)},
      {"Esc", Key::Esc, 0, 27, Byte(27)},
      {"Backspace", Key::Backspace, 0, 8, Byte(8)},
      {"Alt+Enter", Key::Enter, kAlt, 13, ""},
      {"Ctrl+A", Key::A, kCtrl, 1, Byte(1)},
      {"Ctrl+X", Key::X, kCtrl, 24, Byte(24)},
      {"Ctrl+Shift+Z", Key::Z, kCtrl | kShift, 26, Byte(26)},
      {"a", Key::A, 0, 'a', "a"},
      {"Shift+a", Key::A, kShift, 'A', "A"},
      {"Shift+1", Key::Digit1, kShift, '!', "!"},
      {"space", Key::Space, 0, ' ', " "},
      {"comma", Key::Other, 0, ',', ","},
      {"e acute", Key::Other, 0, 0x00E9, Byte(130)},
      {"section sign, a graphic symbol", Key::Other, kShift, 0x00A7, Byte(21)},
      {"middle dot", Key::Other, 0, 0x00B7, Byte(250)},
      {"full-width A", Key::Other, 0, 0xFF21, "A"},
      {"full-width tilde", Key::Other, 0, 0xFF5E, "~"},
      {"ideographic space", Key::Other, 0, 0x3000, " "},
      {"a character outside the code page", Key::Other, 0, 0x4E00, ""},
      {"no-break space", Key::Other, 0, 0x00A0, ""},
      {"Shift alone", Key::Shift, kShift, 0, ""},
      {"keypad 7, Num Lock", Key::Kp7, kNum, '7', "7"},
      {"keypad 0, Num Lock, no character", Key::Kp0, kNum, 0, "0"},
      {"keypad 7", Key::Kp7, 0, 0, Ext(71)},
      {"keypad 0", Key::Kp0, 0, 0, Ext(82)},
      {"keypad 2", Key::Kp2, 0, 0, Ext(80)},
      {"keypad 5", Key::Kp5, 0, 0, Ext(76)},
      {"keypad 9", Key::Kp9, 0, 0, Ext(73)},
      {"keypad decimal", Key::KpPeriod, 0, 0, Ext(83)},
      {"Ctrl+keypad 1", Key::Kp1, kCtrl, 0, Ext(117)},
      {"keypad Enter", Key::KpEnter, kNum, 13, Byte(13)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Press(c.key, c.mods, c.unicode);
    EXPECT_EQ(ts::ReadKey(), c.code);
    EXPECT_EQ(ts::KeysWaiting(), 0);
  }
}

TEST_F(KeyboardTest, TypedCharactersKeepTheirKeysScanCode) {
  struct Case {
    Key key;
    uint32_t unicode;
    int ch, scan;
  };
  const Case cases[] = {{Key::Q, 'q', 'q', 16}, {Key::P, 'p', 'p', 25}, {Key::A, 'a', 'a', 30},
                        {Key::L, 'l', 'l', 38}, {Key::Z, 'z', 'z', 44}, {Key::M, 'm', 'm', 50},
                        {Key::Digit1, '1', '1', 2}, {Key::Digit9, '9', '9', 10},
                        {Key::Digit0, '0', '0', 11}, {Key::Space, ' ', ' ', 57},
                        {Key::Enter, 13, 13, 28}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ch);
    auto e = ts::TranslateKey({c.key, 0, c.unicode});
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->ch, c.ch);
    EXPECT_EQ(e->scan, c.scan);
  }
}

TEST_F(KeyboardTest, EntryWithBothBytesZeroReadsAsOneByte) {
  ts::PushKeyEntry({0, 0});
  EXPECT_EQ(ts::ReadKey(), std::string(1, '\0'));
}

TEST_F(KeyboardTest, RingHoldsFifteenKeysAndDropsTheSixteenth) {
  const std::string keys = "abcdefghijklmnop";
  Type(keys);
  EXPECT_EQ(ts::KeysWaiting(), 15);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(ts::ReadKey(), keys.substr(i, 1));
  EXPECT_EQ(ts::ReadKey(), "");
  // The ring goes on working after wrapping round.
  Type("xyz");
  EXPECT_EQ(ts::ReadKey(), "x");
  EXPECT_EQ(ts::KeysWaiting(), 2);
}

TEST_F(KeyboardTest, ReadKeyYieldsAndReturnsNothingWhileAnErrorIsPending) {
  Type("a");
  uint64_t before = clock.Micros();
  ts::RaiseError(5);
  EXPECT_EQ(ts::ReadKey(), "");
  EXPECT_GT(clock.Micros(), before);
  EXPECT_EQ(ts::KeysWaiting(), 1);
}

TEST_F(KeyboardTest, EveryPressSetsTheKeyPressFlag) {
  EXPECT_FALSE(ts::KeyPressFlag());
  Press(Key::Shift, kShift);
  EXPECT_TRUE(ts::KeyPressFlag());
  EXPECT_EQ(ts::KeysWaiting(), 0);
  ts::ClearKeyPressFlag();
  EXPECT_FALSE(ts::KeyPressFlag());
}

TEST_F(KeyboardTest, PauseKeyHoldsUntilTheNextKeyWhichIsSwallowed) {
  for (auto [key, mods] : {std::pair{Key::Pause, 0u}, {Key::NumLock, kCtrl}}) {
    SCOPED_TRACE(int(key));
    ts::ResetLayer();
    Press(key, mods);
    EXPECT_TRUE(ts::PauseRequested());
    EXPECT_EQ(ts::KeysWaiting(), 0);
    ts::ClearKeyPressFlag();
    Type("x");
    EXPECT_FALSE(ts::PauseRequested());
    EXPECT_TRUE(ts::KeyPressFlag());
    EXPECT_EQ(ts::KeysWaiting(), 0);
    Type("y");
    EXPECT_EQ(ts::ReadKey(), "y");
  }
}

TEST_F(KeyboardTest, BreakKeyEndsTheProgramEvenDuringAPause) {
  Press(Key::Pause);
  Press(Key::Break);
  EXPECT_TRUE(ts::EndRequested());
  EXPECT_FALSE(ts::PauseRequested());
}

TEST_F(KeyboardTest, BreakKeysAndCloseControlEndTheProgramUntilTrapped) {
  Press(Key::ScrollLock, kCtrl);
  EXPECT_TRUE(ts::EndRequested());
  ts::ResetLayer();
  ts::OnCloseControl();
  EXPECT_TRUE(ts::EndRequested());
  ts::ResetLayer();
  Press(Key::ScrollLock);  // without Ctrl it is no break key
  EXPECT_FALSE(ts::EndRequested());
}

// X11 gives the PC's Break key as Pause with Ctrl.
TEST_F(KeyboardTest, PauseWithCtrlIsABreakKey) {
  struct Case {
    const char* what;
    Key key;
    unsigned mods;
    bool trapped;
    bool pauses, ends;
    int bits;
  } cases[] = {
      {"Pause", Key::Pause, 0, false, true, false, 0},
      {"Pause, trapped", Key::Pause, 0, true, true, false, 0},
      {"Shift+Pause", Key::Pause, kShift, false, true, false, 0},
      {"Ctrl+Pause", Key::Pause, kCtrl, false, false, true, 0},
      {"Ctrl+Pause, trapped", Key::Pause, kCtrl, true, false, false, 2},
      {"Ctrl+Shift+Pause, trapped", Key::Pause, kCtrl | kShift, true, false, false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ts::ResetLayer();
    if (c.trapped) ts::TrapCloseRequests();
    Press(c.key, c.mods);
    EXPECT_EQ(ts::PauseRequested(), c.pauses);
    EXPECT_EQ(ts::EndRequested(), c.ends);
    EXPECT_EQ(ts::TrapCloseRequests(), c.bits);
    // Only a pause swallows the next key.
    Type("x");
    EXPECT_EQ(ts::ReadKey(), c.pauses ? "" : "x");
  }
}

TEST_F(KeyboardTest, TrappedRequestsOnlySetTheirBits) {
  EXPECT_EQ(ts::TrapCloseRequests(), 0);
  EXPECT_TRUE(ts::CloseTrapped());
  ts::OnCloseControl();
  EXPECT_EQ(ts::TrapCloseRequests(), 1);
  Press(Key::Break);
  EXPECT_EQ(ts::TrapCloseRequests(), 2);
  ts::OnCloseControl();
  Press(Key::ScrollLock, kCtrl);
  EXPECT_EQ(ts::TrapCloseRequests(), 3);
  EXPECT_EQ(ts::TrapCloseRequests(), 0);
  EXPECT_FALSE(ts::EndRequested());
  EXPECT_EQ(ts::KeysWaiting(), 0);

  ts::ReleaseCloseTrap();
  ts::OnCloseControl();
  EXPECT_TRUE(ts::EndRequested());
}

TEST(CodePage437, TableReadsBothWays) {
  const std::pair<uint8_t, uint32_t> shown[] = {{0, 0x20},     {255, 0x20},   {1, 0x263A},
                                                {31, 0x25BC},  {127, 0x2302}, {179, 0x2502},
                                                {219, 0x2588}, {250, 0x00B7}};
  for (auto [code, unicode] : shown) EXPECT_EQ(ts::Cp437ToUnicode(code), unicode) << int(code);
  EXPECT_EQ(ts::Cp437TextToUnicode(1), 1u);
  EXPECT_EQ(ts::Cp437TextToUnicode(127), 127u);
  EXPECT_EQ(ts::Cp437TextToUnicode(130), 0x00E9u);
  // Every visible code has a character of its own.
  for (int c = 1; c < 255; ++c) EXPECT_EQ(ts::UnicodeToCp437(ts::Cp437ToUnicode(uint8_t(c))), c);
  EXPECT_EQ(ts::UnicodeToCp437(0x4E00), -1);
}

}  // namespace
