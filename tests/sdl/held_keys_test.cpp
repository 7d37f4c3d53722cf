// Keys held down on a real X server, in the window the back end makes
// there: the window's own repeat of a held key, the pause key that does
// not repeat, and a repeat under a modifier pressed after the key.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "support/xvfb.h"
#include "textscreen/errors.h"
#include "textscreen/keyboard.h"
#include "textscreen/window.h"
#include "windowed_child.h"

namespace {

using sdltest::ChildRun;
using sdltest::Report;
using sdltest::RunWindowedInChild;

constexpr char kTitle[] = "logship held keys";

class HeldKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tst::VirtualDisplay::ToolsInstalled())
      GTEST_SKIP() << "no Xvfb, xdotool or xwininfo (scripts/setup.sh installs them)";
    ASSERT_FALSE(x.Name().empty()) << "Xvfb did not start";
    if (const char* d = std::getenv("DISPLAY")) saved = d;
    setenv("DISPLAY", x.Name().c_str(), 1);
  }
  void TearDown() override {
    if (saved) setenv("DISPLAY", saved->c_str(), 1);
    else unsetenv("DISPLAY");
  }

  // Runs `keys` in a child whose window has the keyboard focus, on the
  // program thread, once a first key has reached the buffer through it.
  ChildRun WithFocusedWindow(const std::function<void(Report&)>& keys) {
    return RunWindowedInChild(
        [&](Report& report) {
          ts::SetTitle(kTitle);
          ts::ScreenShow();
          if (!Xdo(std::string("search --sync --onlyvisible --name '^") + kTitle +
                   "$' windowfocus --sync") ||
              !Xdo("key z") || Take([](const std::string& k) { return k == "z"; }) != "z") {
            report.Line("the window did not get the keys");
            return;
          }
          keys(report);
        },
        sdltest::ProgramStart::AfterSdl, "x11", 60000);
  }

  // Program thread: xdotool with these arguments, on the test's display.
  static bool Xdo(const std::string& args) {
    return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) == 0;
  }

  // Program thread: the first bytes of the keys that come until `enough`
  // holds for them, or 5 s have passed.
  static std::string Take(const std::function<bool(const std::string&)>& enough) {
    std::string keys;
    sdltest::WaitUntil(
        [&] {
          for (ts::Bytes k = ts::ReadKey(); !k.empty(); k = ts::ReadKey()) keys += k[0];
          return enough(keys);
        },
        5000);
    return keys;
  }

  tst::VirtualDisplay x;
  std::optional<std::string> saved;
};

// The keys as runs of one character each: "aaaAA" is "a+A+".
std::string Runs(const std::string& keys) {
  std::string runs;
  for (size_t i = 0; i < keys.size(); ++i)
    if (i == 0 || keys[i] != keys[i - 1]) runs += std::string(1, keys[i]) + "+";
  return runs;
}

bool Has(char c, const std::string& keys) { return keys.find(c) != std::string::npos; }

// However long Pause is held, the tool is paused after it; the next key
// resumes it and is lost. A repeat of Pause would set and clear the pause
// in turn, leaving it as the count of repeats falls (holds 15 ms apart
// meet both counts); a key held before Pause that went on repeating, as a
// modifier lets it, would clear it.
TEST_F(HeldKeys, PauseIsOnePressHoweverLongItIsHeld) {
  const int holds[] = {520, 545, 1000, 1015, 1500, 2000};
  ChildRun run = WithFocusedWindow([&](Report& report) {
    for (int ms : holds) {
      Xdo("keydown Pause sleep " + std::to_string(ms / 1000.0) + " keyup Pause key x key y");
      const std::string keys = Take([](const std::string& k) { return Has('y', k); });
      report.Line("Pause held " + std::to_string(ms) + " ms: " + keys +
                  (ts::PauseRequested() ? ", paused" : ""));
    }
    Xdo("keydown a");
    std::string keys = Take([](const std::string& k) { return k.size() >= 2; });
    Xdo("keydown Pause keyup Pause sleep 0.7 keyup a key x key y");
    keys += Take([](const std::string& k) { return Has('y', k); });
    report.Line("Pause while a is held: " + Runs(keys) + (ts::PauseRequested() ? ", paused" : ""));
  });
  ASSERT_TRUE(run.exited) << run.Text();
  std::string expected;
  for (int ms : holds) expected += "Pause held " + std::to_string(ms) + " ms: y\n";
  EXPECT_EQ(run.Text(), expected + "Pause while a is held: a+y+\nreturned 0\n");
}

// A held key repeats with the modifiers held at each repeat: a modifier
// pressed once the key repeats changes what the repeats type.
TEST_F(HeldKeys, ARepeatTakesTheModifiersHeldAtItsMoment) {
  struct Case {
    const char* name;
    const char* press;    // xdotool arguments that bring the modifier
    const char* release;  // and that take it back
    char typed;
  };
  const Case cases[] = {
      {"Shift", "keydown Shift_L", "keyup Shift_L", 'A'},
      {"Caps Lock", "key Caps_Lock", "key Caps_Lock", 'A'},
      {"Ctrl", "keydown Control_L", "keyup Control_L", 1},
  };
  ChildRun run = WithFocusedWindow([&](Report& report) {
    for (const Case& c : cases) {
      Xdo("keydown a");
      std::string keys = Take([](const std::string& k) { return k.size() >= 2; });
      Xdo(c.press);
      keys += Take([&](const std::string& k) { return Has(c.typed, k); });
      // The repeats that came before the release, up to a marker key.
      Xdo(std::string("keyup a ") + c.release + " key z");
      keys += Take([](const std::string& k) { return Has('z', k); });
      if (!keys.empty() && keys.back() == 'z') keys.pop_back();
      std::string runs = Runs(keys);
      if (const size_t at = runs.find('\x01'); at != std::string::npos) runs.replace(at, 1, "^A");
      report.Line(std::string(c.name) + ": " + runs);
    }
  });
  ASSERT_TRUE(run.exited) << run.Text();
  EXPECT_EQ(run.Text(), "Shift: a+A+\nCaps Lock: a+A+\nCtrl: a+^A+\nreturned 0\n");
}

}  // namespace
