// The pieces of the CSV and NetCDF layouts that the read-back test meets only now and then: the
// times of stamps that are no whole minutes or cross a year, fields that need quoting, the shares
// of a step's daylight, and a file system that fills up under the CSV writer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "csv_writer.hpp"
#include "result_text.hpp"
#include "step/results.hpp"  // kMissingValue

namespace kelvarin {
namespace {

TEST(ResultLayoutsTest, TimesAreIso8601) {
  struct Case {
    double minutes;
    const char* text;
  };
  const Case cases[] = {
      {0.0, "1970-01-01T00:00"},
      {28123200.0, "2023-06-22T00:00"},               // hour 24 of 21 June: the next day
      {27993600.0 + 10.0000002, "2023-03-24T00:10"},  // 0.1666667 h: ten minutes
      {27993600.0 + 0.5, "2023-03-24T00:00:30"},
      {-1440.0, "1969-12-31T00:00"},
      {std::nan(""), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isoTime(c.minutes), c.text) << c.minutes;
  }
}

TEST(ResultLayoutsTest, ObservedShares) {
  EXPECT_EQ(observedShare(600.0, 0.0), 1.0);
  EXPECT_EQ(observedShare(0.0, 0.0), 1.0);  // the night: nothing to observe, nothing missing
  EXPECT_EQ(observedShare(600.0, 60.0), 0.9);
  EXPECT_EQ(observedShare(0.0, 5.0), 0.0);
}

TEST(ResultLayoutsTest, AnglesAsTheyWereWritten) {
  EXPECT_EQ(shortestText(13.4f), "13.4");
  EXPECT_EQ(shortestText(139.7667f), "139.7667");
  EXPECT_EQ(shortestDouble(-33.9f), -33.9);
}

TEST(ResultLayoutsTest, StationsAreQuotedWhereNeeded) {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* file = open_memstream(&text, &size);
  CsvWriter writer(file);
  ASSERT_TRUE(writer.begin({{"a,b", "say \"x\""}, {1.0f, 2.0f}, {3.0f, 4.0f}}));
  const double sums[] = {0.0, 30.0, 0.0};
  const double possible[] = {0.0, 60.0, 60.0};
  const double missing[] = {0.0, 0.0, 60.0};
  const double relative[] = {0.0, 0.5, kMissingValue};
  ASSERT_TRUE(writer.step(
      {{2023, 6, 21, 13.0f}, 27993600.0, 27993660.0, relative, sums, possible, missing, 2}));
  ASSERT_TRUE(writer.finish());
  const std::string csv(text, size);
  std::free(text);
  EXPECT_NE(csv.find("\r\n\"a,b\",1,3,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\r\n\"say \"\"x\"\"\",2,4,2023-"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",0.500,30.000,60.000,1.0000\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",,,60.000,0.0000\r\n"), std::string::npos) << csv;
}

TEST(ResultLayoutsTest, AFullDiskIsAFailedWrite) {
  std::FILE* file = std::fopen("/dev/full", "w");
  ASSERT_NE(file, nullptr);
  CsvWriter writer(file);
  bool written = writer.begin({{"433"}, {52.5f}, {13.4f}});
  const double sums[] = {0.0, 30.0};
  const double possible[] = {0.0, 60.0};
  const double missing[] = {0.0, 0.0};
  const double relative[] = {0.0, 0.5};
  for (int k = 0; k < 2000 && written; ++k) {
    written = writer.step({{2023, 6, 21, 13.0f}, 0.0, 60.0, relative, sums, possible, missing, 1});
  }
  const bool finished = writer.finish();
  EXPECT_FALSE(written && finished);
}

}  // namespace
}  // namespace kelvarin
