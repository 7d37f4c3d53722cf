// The clock at row 1: the seconds it reads from a time of day.
#include <gtest/gtest.h>

#include <string>

#include "export/clock_row.h"

namespace {

TEST(ClockSeconds, AreCharactersSevenAndEightReadAsANumber) {
  const struct {
    std::string time;
    float seconds;
  } cases[] = {
      {"09:05:07", 7},     {"23:59:59", 59}, {"10:00:00", 0},
      {"12:34:56.78", 56},  // only characters 7 and 8 count
      {"12:34:5", 0},       // shorter than a time: no seconds
      {"", 0},              // the clock could not be read
  };
  for (const auto& c : cases)
    EXPECT_EQ(logship::SecondsOf(c.time), c.seconds) << '"' << c.time << '"';
}

}  // namespace
