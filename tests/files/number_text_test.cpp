// One scanner under both readings of a number: a numeric field of a file
// (a blank ends it, overflow is an error) and a text that spells a number
// (blanks count for nothing, out of range stands at the edge).
#include <cfloat>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "textscreen/number_text.h"

namespace {

struct Reading {
  std::string text;
  std::optional<float> field;  // nothing: overflow
  size_t fieldTakes;           // bytes the field's scan takes
  float spelled;
};

void PrintTo(const Reading& r, std::ostream* os) { *os << '"' << r.text.substr(0, 40) << '"'; }

class NumberTextTest : public ::testing::TestWithParam<Reading> {};

TEST_P(NumberTextTest, ReadsAsAFieldAndAsASpelledText) {
  const Reading& r = GetParam();
  ts::TextSource source(r.text);
  const std::optional<float> field = ts::FieldSingle(ts::ScanNumber(source));
  EXPECT_EQ(field, r.field);
  EXPECT_EQ(source.Taken(), r.fieldTakes);
  EXPECT_EQ(ts::NumberFromText(r.text), r.spelled);
}

const std::string k256Digits = std::string(255, '0') + "7";
const std::string k257Digits = std::string(256, '0') + "7";

INSTANTIATE_TEST_SUITE_P(
    Readings, NumberTextTest,
    ::testing::Values(
        // The same in both.
        Reading{"18", 18.0f, 2, 18}, Reading{"", 0.0f, 0, 0}, Reading{"abc", 0.0f, 0, 0},
        Reading{"12px", 12.0f, 2, 12}, Reading{"-3.5", -3.5f, 4, -3.5f},
        Reading{"+7", 7.0f, 2, 7}, Reading{"-", 0.0f, 1, 0}, Reading{".5", 0.5f, 2, 0.5f},
        Reading{"5.", 5.0f, 2, 5}, Reading{"1.2.3", 1.2f, 3, 1.2f},
        Reading{"1.5E2", 150.0f, 5, 150}, Reading{"-2.5d-1", -0.25f, 7, -0.25f},
        Reading{"1e", 1.0f, 2, 1}, Reading{"1e-", 1.0f, 3, 1}, Reading{"e5", 0.0f, 0, 0},
        Reading{"&H1F", 31.0f, 4, 31}, Reading{"&o17", 15.0f, 4, 15},
        Reading{"&hZ", 0.0f, 2, 0}, Reading{"&O8", 0.0f, 2, 0}, Reading{"&X1", 0.0f, 1, 0},
        Reading{"1e-99", 0.0f, 5, 0}, Reading{k256Digits, 7.0f, 256, 7},
        Reading{"3.402823466e38", 3.402823466e38f, 14, 3.402823466e38f},
        Reading{"1e000000000000000001", 10.0f, 20, 10},
        // A comma is no decimal point, in either.
        Reading{"1,5", 1.0f, 1, 1},
        // Blanks: they end a field's number; a spelled text ignores them.
        Reading{"12 34", 12.0f, 2, 1234}, Reading{"1\t6", 1.0f, 1, 16},
        Reading{"- 5", 0.0f, 1, -5}, Reading{"&h ff", 0.0f, 2, 255},
        Reading{"1 e 2", 1.0f, 1, 100},
        // Overflow: an error in a field; the edge of the range in a text.
        Reading{"3.5e38", std::nullopt, 6, FLT_MAX}, Reading{"-1e99", std::nullopt, 5, -FLT_MAX},
        Reading{k257Digits, std::nullopt, 257, 7},
        Reading{"1e0000000000000000001", std::nullopt, 21, 10},
        Reading{"&H" + std::string(40, 'F'), std::nullopt, 42, FLT_MAX}));

// A bound on the stretch (a field's longest) stops the digits where it
// falls; the byte there stays current.
TEST(NumberScan, StopsTakingDigitsAtTheBound) {
  struct Bounded final : ts::NumberSource {
    std::string text;
    size_t at = 0, bound;
    Bounded(std::string t, size_t b) : text(std::move(t)), bound(b) {}
    int Current() override { return at < text.size() ? (unsigned char)text[at] : -1; }
    void Take() override { ++at; }
    bool Spent() override { return at >= bound; }
  };
  const struct {
    const char* text;
    long digits, exponentDigits;
  } cases[] = {{"123456", 4, 0}, {"&H123456", 2, 0}, {"1e123456", 1, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Bounded source(c.text, 4);
    const ts::ScannedNumber n = ts::ScanNumber(source);
    EXPECT_EQ(n.digits, c.digits);
    EXPECT_EQ(n.exponentDigits, c.exponentDigits);
    EXPECT_EQ(source.Current(), c.text[4]);
  }
}

}  // namespace
