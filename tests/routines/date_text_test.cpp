#include <chrono>
#include <cstdio>
#include <string>

#include "export/date_text.h"
#include "support/scripted.h"

namespace {

using tst::LayerTest;

class DateTextTest : public LayerTest {
 protected:
  std::string Today(int y, int m, int d) {
    clock.SetWallClock(y, m, d, 12, 0, 0);
    ts::Bytes text = "whatever was here";
    logship::FormatToday(text);
    return text;
  }
};

TEST_F(DateTextTest, KnownDates) {
  struct Case {
    int y, m, d;
    const char* text;
  } cases[] = {
      {2017, 12, 25, "Ma 25 Dec 2017"}, {2024, 1, 5, "Vr 05 Jan 2024"},
      {2024, 1, 1, "Ma 01 Jan 2024"},   {2000, 2, 29, "Di 29 Feb 2000"},
      {1999, 12, 31, "Vr 31 Dec 1999"}, {1970, 1, 1, "Do 01 Jan 1970"},
      {2038, 1, 19, "Di 19 Jan 2038"},  {2021, 5, 10, "Ma 10 Mei 2021"},
      {2023, 10, 3, "Di 03 Okt 2023"},  {1, 1, 1, "Ma 01 Jan 0001"},
      {9999, 12, 31, "Vr 31 Dec 9999"}, {1900, 3, 1, "Do 01 Mar 1900"},
  };
  for (const Case& c : cases) EXPECT_EQ(Today(c.y, c.m, c.d), c.text);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(DateTextTest, EveryDayFrom1900To2100) {
  using namespace std::chrono;
  const char* names[] = {"Zo", "Ma", "Di", "Wo", "Do", "Vr", "Za"};  // C++ weekday order
  const char* months[] = {"Jan", "Feb", "Mar", "Apr", "Mei", "Jun",
                          "Jul", "Aug", "Sep", "Okt", "Nov", "Dec"};
  const sys_days first{year{1900} / January / 1}, last{year{2100} / December / 31};
  int checked = 0;
  for (sys_days day = first; day <= last; day += std::chrono::days{1}) {
    year_month_day ymd{day};
    int y = int(ymd.year()), m = int(unsigned(ymd.month())), d = int(unsigned(ymd.day()));
    char want[32];
    std::snprintf(want, sizeof want, "%s %02d %s %04d", names[weekday{day}.c_encoding()], d,
                  months[m - 1], y);
    ASSERT_EQ(Today(y, m, d), want);
    ++checked;
  }
  EXPECT_EQ(checked, (last - first).count() + 1);
}

TEST_F(DateTextTest, AnUnreadableDateFailsAtItsFirstStep) {
  clock.SetReadable(false);
  answers.push_back(ts::platform::BoxAnswer::No);
  ts::Bytes text;
  EXPECT_TRUE(RunProgram([&] { logship::FormatToday(text); }));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Line:585\nIllegal function call\nContinue?");
}

TEST_F(DateTextTest, GoingOnAfterAnUnreadableDateRaisesNothingMore) {
  clock.SetReadable(false);
  ts::Bytes text = "old";
  logship::FormatToday(text);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_FALSE(ts::ErrorPending());
}

TEST_F(DateTextTest, ACallWhileAnErrorIsPendingLeavesTheText) {
  ts::RaiseError(62);
  ts::Bytes text = "kept";
  logship::FormatToday(text);
  EXPECT_EQ(text, "kept");
  EXPECT_EQ(ts::PendingError(), 62u);
}

}  // namespace
