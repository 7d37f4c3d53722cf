// The font and window set-up from inifiles\Fontnr.ini and
// inifiles\fontkeus.ini, and the number that a text spells.
#include <gtest/gtest.h>

#include <cctype>
#include <cfloat>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "export/font_setup.h"
#include "support/installed_font.h"
#include "support/scripted.h"
#include "textscreen/errors.h"
#include "textscreen/font.h"
#include "textscreen/number_text.h"
#include "textscreen/numbered_files.h"

namespace {

namespace fs = std::filesystem;
using ts::NumberFromText;
using logship::SetupFont;
using Position = std::pair<int, int>;


struct Spelled {
  std::string text;
  float value;
};

// The text with its blanks, tabs and signs spelled out, so that the case
// reads well in a test name; long runs of one digit are counted.
std::string CaseName(const std::string& text) {
  if (text.empty()) return "Empty";
  std::string name;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t run = 1;
    while (i + run < text.size() && text[i + run] == text[i]) ++run;
    const char c = text[i];
    if (run > 3 && std::isdigit(static_cast<unsigned char>(c))) {
      name += "_" + std::to_string(run) + "x" + c + "_";
      i += run;
      continue;
    }
    switch (c) {
      case ' ': name += "_"; break;
      case '\t': name += "Tab"; break;
      case '-': name += "Minus"; break;
      case '+': name += "Plus"; break;
      case '.': name += "Point"; break;
      case '&': name += "Amp"; break;
      default: name += std::isalnum(static_cast<unsigned char>(c)) ? std::string(1, c) : "X";
    }
    ++i;
  }
  return name;
}

// The name shows the text; the value is what it should spell.
void PrintTo(const Spelled& s, std::ostream* os) { *os << s.value; }

class NumberFromTextTest : public ::testing::TestWithParam<Spelled> {};

TEST_P(NumberFromTextTest, Spells) {
  EXPECT_FLOAT_EQ(NumberFromText(GetParam().text), GetParam().value) << '"' << GetParam().text
                                                                     << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberFromTextTest,
    ::testing::Values(Spelled{"18", 18}, Spelled{"1 6", 16}, Spelled{" \t2\t0 ", 20},
                      Spelled{"12px", 12}, Spelled{"abc", 0}, Spelled{"", 0}, Spelled{"-", 0},
                      Spelled{"+7", 7}, Spelled{"- 5", -5}, Spelled{"-3.5", -3.5f},
                      Spelled{".5", 0.5f}, Spelled{"5.", 5}, Spelled{".", 0},
                      Spelled{"1.2.3", 1.2f}, Spelled{"1.5e2", 150}, Spelled{"2D1", 20},
                      Spelled{"25d-1", 2.5f}, Spelled{"1 e 2", 100}, Spelled{"1E+2", 100},
                      Spelled{"1e", 1}, Spelled{"1e-", 1}, Spelled{"e5", 0},
                      Spelled{"&H1F", 31}, Spelled{"&h ff", 255}, Spelled{"&HG", 0},
                      Spelled{"&O17", 15}, Spelled{"&o8", 0}, Spelled{"&", 0},
                      Spelled{"&X12", 0}, Spelled{"1e99", FLT_MAX}, Spelled{"-1e99", -FLT_MAX},
                      Spelled{"1e-99", 0}, Spelled{"1" + std::string(60, '0'), FLT_MAX},
                      Spelled{"0." + std::string(400, '0') + "1", 0},
                      Spelled{"1e9999999999999999999", FLT_MAX}),
    [](const auto& info) { return CaseName(info.param.text); });

class FontSetupTest : public tst::LayerTest {
 protected:
  void SetUp() override {
    tst::LayerTest::SetUp();
    scratch = std::make_unique<tst::ScratchFolder>("logship-font");
    fs::create_directory("inifiles");
    fs::create_directory("Fonts");
  }
  void TearDown() override {
    ts::CloseAllFiles();
    scratch.reset();
    tst::LayerTest::TearDown();
  }

  void Settings(const std::string& fontnr) { Write("inifiles/Fontnr.ini", fontnr); }
  void FontName(const std::string& name) { Write("inifiles/fontkeus.ini", name + "\r\n"); }
  void ProvideFont(const std::string& name) {
    fs::copy_file(tst::kInstalledFace, fs::path("Fonts") / name);
  }
  static void Write(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }

  std::vector<Position> Moves() const { return window.moves; }
  std::string BoxTexts() const {
    std::string all;
    for (const tst::Box& b : boxes) all += b.text + "|";
    return all;
  }

  std::unique_ptr<tst::ScratchFolder> scratch;
};

TEST_F(FontSetupTest, NeitherFileGivesTheDefaults) {
  ProvideFont("Lucon.ttf");
  SetupFont();
  EXPECT_TRUE(boxes.empty()) << BoxTexts();
  EXPECT_EQ(ts::CellHeight(), 15);
  EXPECT_EQ(25 * ts::CellHeight(), 375);
  EXPECT_EQ(Moves(), (std::vector<Position>{{10, 10}}));
  EXPECT_TRUE(window.pointerShown);
}

TEST_F(FontSetupTest, MissingDefaultFontIsInvalidHandleAt694) {
  SetupFont();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Unhandled Error #258");
  EXPECT_EQ(boxes[0].text, "Line:694\nInvalid handle\nContinue?");
  EXPECT_EQ(ts::CellHeight(), 16);  // the built-in font stays
  EXPECT_EQ(ts::CellWidth(), 8);
  EXPECT_EQ(Moves(), (std::vector<Position>{{10, 10}}));
}

TEST_F(FontSetupTest, SizeAndPositionFromTheSettings) {
  ProvideFont("Lucon.ttf");
  struct Row {
    std::string fontnr;
    int cellHeight;
    Position at;
  };
  const std::vector<Row> rows = {
      {"20,100,50\r\n", 20, {100, 50}},
      {"20\r\n100\r\n50\r\n", 20, {100, 50}},
      {"12,0,0", 15, {0, 0}},  // raised to 15
      {"14,1,1", 15, {1, 1}},
      {"15,2,2", 15, {2, 2}},
      {"15.5,3,3", 16, {3, 3}},  // not raised; the cell height rounds halves to even
      {"abc,5,6", 15, {5, 6}},
      {"1 8,1,2", 18, {1, 2}},
      {"15,10.5,11.5", 15, {10, 12}},  // halves to even
      {"17.5,3,4", 18, {3, 4}},
  };
  for (const Row& r : rows) {
    ts::ResetFonts();
    window.moves.clear();
    Settings(r.fontnr);
    SetupFont();
    EXPECT_TRUE(boxes.empty()) << r.fontnr << BoxTexts();
    EXPECT_EQ(ts::CellHeight(), r.cellHeight) << r.fontnr;
    EXPECT_EQ(Moves(), (std::vector<Position>{r.at})) << r.fontnr;
  }
}

TEST_F(FontSetupTest, SizeAloneGivesTwoEndOfFileBoxes) {
  ProvideFont("Lucon.ttf");
  Settings("18\r\n");
  SetupFont();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "Line:673\nInput past end of file\nContinue?");
  EXPECT_EQ(boxes[1].text, "Line:674\nInput past end of file\nContinue?");
  EXPECT_EQ(ts::CellHeight(), 18);
  EXPECT_EQ(Moves(), (std::vector<Position>{{0, 0}}));
}

TEST_F(FontSetupTest, FontNamedInFontkeus) {
  ProvideFont(tst::kInstalledFaceName);
  FontName(tst::kInstalledFaceName);
  SetupFont();
  EXPECT_TRUE(boxes.empty()) << BoxTexts();
  EXPECT_EQ(ts::CellHeight(), 15);
  EXPECT_EQ(25 * ts::CellHeight(), 375);
  EXPECT_GT(window.fontChanges, 0);
}

TEST_F(FontSetupTest, FontThatDoesNotLoadKeepsTheBuiltInFontAtThePositionRead) {
  ProvideFont("Lucon.ttf");
  Write("Fonts/Notatruetype.ttf", "plain text");
  fs::copy_file(tst::kProportionalFace, "Fonts/Proportional.ttf");
  struct Row {
    std::string fontnr, fontName;
    Position at;
  };
  std::vector<Row> rows = {
      {"20,30,40", "Nothere.ttf", {30, 40}},
      {"20,31,41", "Notatruetype.ttf", {31, 41}},
      {"2000,1,1", "Lucon.ttf", {1, 1}},  // LoadFont gives 0
      {"20,32,42", "Proportional.ttf", {32, 42}},
  };
  for (const Row& r : rows) {
    boxes.clear();
    window.moves.clear();
    Settings(r.fontnr);
    FontName(r.fontName);
    SetupFont();
    ASSERT_EQ(boxes.size(), 1u) << r.fontName;
    EXPECT_EQ(boxes[0].caption, "Unhandled Error #258");
    EXPECT_EQ(boxes[0].text, "Line:694\nInvalid handle\nContinue?");
    EXPECT_EQ(ts::CellHeight(), 16) << r.fontName;
    EXPECT_EQ(Moves(), (std::vector<Position>{r.at})) << r.fontName;
  }
}

TEST_F(FontSetupTest, NoAtTheBoxEndsBeforeTheWindowMoves) {
  answers.push_back(ts::platform::BoxAnswer::No);
  EXPECT_TRUE(RunProgram([] { SetupFont(); }));
  EXPECT_TRUE(Moves().empty());
}

TEST_F(FontSetupTest, EmptySettingsFiles) {
  ProvideFont("Lucon.ttf");
  Settings("");
  Write("inifiles/fontkeus.ini", "");
  SetupFont();
  // Fontnr.ini: 672, 673, 674; fontkeus.ini: 684; then "Fonts\" loads nothing.
  EXPECT_EQ(BoxTexts(),
            "Line:672\nInput past end of file\nContinue?|"
            "Line:673\nInput past end of file\nContinue?|"
            "Line:674\nInput past end of file\nContinue?|"
            "Line:684\nInput past end of file\nContinue?|"
            "Line:694\nInvalid handle\nContinue?|");
  EXPECT_EQ(Moves(), (std::vector<Position>{{0, 0}}));
}

TEST_F(FontSetupTest, PendingErrorAtTheCallDoesNothing) {
  ts::RaiseError(5);
  SetupFont();
  EXPECT_TRUE(Moves().empty());
  EXPECT_FALSE(window.pointerShown);
  EXPECT_EQ(ts::PendingError(), 5u);
  ts::EndStep(31);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Line:31\nIllegal function call\nContinue?");
}

}  // namespace
