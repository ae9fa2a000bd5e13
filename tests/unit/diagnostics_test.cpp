#include "diagnostics/diagnostics.hpp"

#include "captured_stream.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvarin {
namespace {

TEST(DiagnosticsTest, StampsLieOnTheRealCalendar) {
  struct Case {
    RecordStamp earlier;
    RecordStamp later;
    double apartMin;
  };
  const Case cases[] = {
      // earlier stamp          later stamp            minutes apart
      {{2024, 2, 28, 24.0f}, {2024, 2, 29, 1.0f}, 60.0},     // a leap day follows the 28th
      {{2023, 2, 28, 24.0f}, {2023, 3, 1, 1.0f}, 60.0},      // none in 2023
      {{2023, 6, 21, 24.0f}, {2023, 6, 22, 0.0f}, 0.0},      // hour 24 is hour 0 of the next day
      {{2023, 12, 31, 23.0f}, {2024, 1, 1, 0.0f}, 60.0},     // across the year
      {{2023, 12, 31, 24.0f}, {2023, 13, 1, 0.0f}, 0.0},     // month 13 counts on into January
      {{2023, 6, 30, 12.0f}, {2023, 6, 31, 12.0f}, 1440.0},  // so does the 31st of June
      {{2100, 2, 28, 12.0f}, {2100, 3, 1, 12.0f}, 1440.0},   // 2100 is no leap year
      {{2000, 2, 28, 12.0f}, {2000, 3, 1, 12.0f}, 2880.0},   // 2000 is one
      {{2023, 6, 21, 0.5f}, {2023, 6, 21, 1.0f}, 30.0},
  };
  for (const Case& c : cases) {
    const auto earlier = stampMinutes(c.earlier);
    const auto later = stampMinutes(c.later);
    ASSERT_TRUE(earlier && later);
    EXPECT_EQ(*later - *earlier, c.apartMin)
        << c.later.year << " " << c.later.month << " " << c.later.day << " " << c.later.hourH;
  }
  EXPECT_FALSE(stampMinutes({2147483647, 6, 21, 12.0f}));
  EXPECT_FALSE(stampMinutes({2023, 6, 21, 1e30f * 1e30f}));
}

// Feeds stamps one by one and returns what the console got.
std::string checkStamps(const std::vector<RecordStamp>& stamps, float inputStepMin,
                        bool strict = false, std::string* fault = nullptr) {
  testing::CapturedStream console;
  RunParameters params;
  params.inputStepMin = inputStepMin;
  Diagnostics d = makeDiagnostics({nullptr, testing::openCapture(console)}, params, strict);
  std::uint64_t line = 6;
  for (const RecordStamp& stamp : stamps) {
    if (!checkStamp(d, stamp, line++)) {
      break;
    }
  }
  reportDiagnostics(d);
  if (fault != nullptr) {
    *fault = d.fault.text.empty() ? std::string() : faultMessage(d.fault);
  }
  return testing::closeCapture(console);
}

TEST(DiagnosticsTest, NamesEachKindOfStampAnomaly) {
  struct Case {
    std::vector<RecordStamp> stamps;
    float inputStepMin;
    const char* firstWarning;  // "" for none
  };
  const Case cases[] = {
      {{{2023, 6, 21, 23}, {2023, 6, 21, 24}, {2023, 6, 22, 1}}, 60, ""},
      {{{2023, 6, 21, 0.1666667f}, {2023, 6, 21, 0.3333333f}, {2023, 6, 21, 0.5f}}, 10, ""},
      {{{2023, 6, 21, 9}, {2023, 6, 21, 12}},
       60,
       "warning: line 7: time stamp 2023 6 21 12 follows 2023 6 21 9: 2 records missing"},
      {{{2023, 6, 21, 9}, {2023, 6, 21, 9}},
       60,
       "warning: line 7: time stamp 2023 6 21 9 repeats the one before"},
      {{{2023, 6, 21, 9}, {2023, 6, 21, 8}},
       60,
       "warning: line 7: time stamp 2023 6 21 8 goes back from 2023 6 21 9"},
      {{{2023, 6, 21, 9}, {2023, 6, 21, 9.5f}},
       60,
       "warning: line 7: time stamp 2023 6 21 9.5 lies 30 min after 2023 6 21 9, not one input "
       "step (60 min)"},
      {{{2023, 6, 20, 24}, {2023, 6, 21, 24}},
       60,
       "warning: line 7: time stamp 2023 6 21 24 follows 2023 6 20 24: 23 records missing"},
      {{{2023, 6, 20, 24}, {2023, 6, 21, 24}}, 1440, ""},
      // Hours rounded to the two decimals they are written with: 10.2 and 9.6 minutes apart.
      {{{2023, 6, 21, 0.83f},
        {2023, 6, 21, 1},
        {2023, 6, 21, 1.17f},
        {2023, 6, 21, 1.33f},
        {2023, 6, 21, 1.5f},
        {2023, 6, 21, 1.67f}},
       10,
       ""},
      {{{2023, 6, 21, 1.17f}, {2023, 6, 21, 1.5f}},
       10,
       "warning: line 7: time stamp 2023 6 21 1.5 follows 2023 6 21 1.17: 1 record missing"},
      // Rounding is allowed up to a quarter of the step, no more.
      {{{2023, 6, 21, 1}, {2023, 6, 21, 1.3f}},
       10,
       "warning: line 7: time stamp 2023 6 21 1.3 follows 2023 6 21 1: 1 record missing"},
      // Whole hours are exact: an hourly file is held to a hundredth of its step.
      {{{2023, 6, 21, 9}, {2023, 6, 21, 10.1f}},
       60,
       "warning: line 7: time stamp 2023 6 21 10.1 lies 66 min after 2023 6 21 9, not one input "
       "step (60 min)"},
  };
  for (const Case& c : cases) {
    const std::string console = checkStamps(c.stamps, c.inputStepMin);
    EXPECT_EQ(console.substr(0, console.find(';')), c.firstWarning) << console;
  }
}

TEST(DiagnosticsTest, ShowsTheFirstFiveAndCountsAll) {
  std::vector<RecordStamp> stamps;
  for (int day = 1; day <= 9; ++day) {
    stamps.push_back({2023, 6, day, 12});  // a day apart in an hourly file: 23 missing each time
  }
  const std::string console = checkStamps(stamps, 60);
  std::size_t lines = 0;
  for (char c : console) {
    lines += (c == '\n');
  }
  EXPECT_EQ(lines, 6u) << console;
  EXPECT_NE(console.find("warning: 8 time stamp anomalies in all (the first 5 shown): 8 gaps with "
                         "184 records missing;"),
            std::string::npos)
      << console;
}

TEST(DiagnosticsTest, StrictMakesTheFirstAnomalyTheFault) {
  std::string fault;
  const std::string console =
      checkStamps({{2023, 6, 21, 9}, {2023, 6, 21, 10}, {2023, 6, 21, 12}}, 60, true, &fault);
  EXPECT_EQ(console, "");
  EXPECT_EQ(fault.substr(0, fault.find(';')),
            "error reading input file: line 8: time stamp 2023 6 21 12 follows 2023 6 21 10: 1 "
            "record missing");
}

TEST(DiagnosticsTest, PossibleSunshineOfAWindow) {
  struct Case {
    SunSpan span;
    double startH;
    double endH;
    double reachH;
    double possibleMin;
  };
  const double pad = kRealSkyPadH * 60.0;
  const Case cases[] = {
      // span          window      reach  possible minutes
      {{4.0, 20.0}, 11.0, 12.0, 1.0, 60.0},
      {{4.0, 20.0}, 3.0, 4.0, 1.0, pad},  // before sunrise: the pad only
      {{4.0, 20.0}, 0.0, 24.0, 1.0, 960.0 + 2 * pad},
      {{4.0, 20.0}, -24.0, 0.0, 1.0, 0.0},  // the day before lies beyond the reach
      {{4.0, 20.0}, -24.0, 0.0, 24.0, 960.0 + 2 * pad},
      {{0.0, 24.0}, 24.0, 25.0, 2.0, 60.0},  // polar day: the next day's first hour is light
      {{0.0, 24.0}, 25.0, 26.0, 1.0, 0.0},
      {{12.0, 12.0}, 0.0, 24.0, 1.0, 0.0},  // polar night
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(possibleSunshineMin(c.span, c.startH, c.endH, c.reachH), c.possibleMin, 1e-9)
        << c.startH << " to " << c.endH;
  }
}

}  // namespace
}  // namespace kelvarin
