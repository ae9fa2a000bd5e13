#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "station_file.hpp"
#include "tables.hpp"
#include "time_stamps.hpp"

namespace kelvarin::prepare {
namespace {

TEST(PrepareTest, ReadsEveryStampFormat) {
  struct Case {
    const char* text;
    std::optional<StampFormat> format;
    const char* read;  // as describeMinutes writes it; nullptr: refused
  };
  const Case cases[] = {
      // text                      format                         read
      {"2023062113", StampFormat::kCompactHour, "2023-06-21 13:00"},
      {"2023062100", StampFormat::kCompactHour, "2023-06-20 24:00"},
      {"202306211350", StampFormat::kCompactMinute, "2023-06-21 13:50"},
      {"20230621", StampFormat::kCompactDate, "2023-06-21 24:00"},  // the end of the day
      {"20240229", StampFormat::kCompactDate, "2024-02-29 24:00"},
      {"20230229", StampFormat::kCompactDate, nullptr},  // no leap day in 2023
      {"2023-06-21T13:00", StampFormat::kIso, "2023-06-21 13:00"},
      {"2023-06-21 13:00:00Z", StampFormat::kIso, "2023-06-21 13:00"},
      {"2023-06-21T13:00:30", StampFormat::kIso, nullptr},  // not on a minute
      {"2023-06-21T24:00", StampFormat::kIso, "2023-06-21 24:00"},
      {"2023-06-21T24:30", StampFormat::kIso, nullptr},
      {"2023-06-21", StampFormat::kIsoDate, "2023-06-21 24:00"},
      {"21.06.2023 13:00", StampFormat::kDotted, "2023-06-21 13:00"},
      {"21.06.2023", StampFormat::kDottedDate, "2023-06-21 24:00"},
      {"31.04.2023", StampFormat::kDottedDate, nullptr},
      {"2023062125", StampFormat::kCompactHour, nullptr},
      {"2023-13-01", StampFormat::kIsoDate, nullptr},
      {"21/06/2023", std::nullopt, nullptr},
      {"202306211", std::nullopt, nullptr},
      {"", std::nullopt, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(detectStampFormat(c.text), c.format) << c.text;
    if (!c.format) {
      continue;
    }
    const std::optional<std::int64_t> minutes = readStamp(c.text, *c.format);
    if (c.read == nullptr) {
      EXPECT_FALSE(minutes.has_value()) << c.text;
    } else {
      ASSERT_TRUE(minutes.has_value()) << c.text;
      EXPECT_EQ(describeMinutes(*minutes), c.read) << c.text;
    }
  }
}

TEST(PrepareTest, MidnightIsHour24OfTheDayBefore) {
  struct Case {
    const char* text;
    int year;
    unsigned month;
    unsigned day;
    std::int64_t minuteOfDay;
  };
  const Case cases[] = {
      {"2023062100", 2023, 6, 20, 1440}, {"2023010100", 2022, 12, 31, 1440},
      {"2024030100", 2024, 2, 29, 1440}, {"2023062101", 2023, 6, 21, 60},
      {"202306210010", 2023, 6, 21, 10},
  };
  for (const Case& c : cases) {
    const auto format = detectStampFormat(c.text);
    ASSERT_TRUE(format.has_value());
    const StationStamp stamp = stationStamp(*readStamp(c.text, *format));
    EXPECT_EQ(stamp.year, c.year) << c.text;
    EXPECT_EQ(stamp.month, c.month) << c.text;
    EXPECT_EQ(stamp.day, c.day) << c.text;
    EXPECT_EQ(stamp.minuteOfDay, c.minuteOfDay) << c.text;
  }
}

TEST(PrepareTest, SplitsAndFindsSeparators) {
  EXPECT_EQ(detectSeparator("STATIONS_ID;MESS_DATUM;QN_7;SD_SO;eor"), ';');
  EXPECT_EQ(detectSeparator("time,station,value"), ',');
  EXPECT_EQ(detectSeparator("time\tstation\tvalue, in hours"), '\t');
  EXPECT_EQ(detectSeparator("time station value"), std::nullopt);
  const auto fields = splitFields("        433;2023062101;    3;  12;eor\r\n", ';');
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[0], "433");
  EXPECT_EQ(fields[3], "12");
  EXPECT_EQ(fields[4], "eor");
  EXPECT_EQ(splitFields("a,,b", ',')[1], "");
}

// Builds a collection of stations with the given stamps (minutes) and values.
Collection stations(const std::vector<std::vector<std::int64_t>>& times) {
  Collection collection;
  for (std::size_t s = 0; s < times.size(); ++s) {
    Series series{std::to_string(100 + s), std::to_string(100 + s), times[s], {}};
    series.values.assign(times[s].size(), 1.0);
    collection.rows += times[s].size();
    collection.stations.push_back(series);
  }
  return collection;
}

TEST(PrepareTest, GridsFromTheCommonStep) {
  struct Case {
    std::vector<std::vector<std::int64_t>> times;
    GridSettings settings;
    std::int64_t first;  // -1: refused
    std::int64_t last;
    std::int64_t step;
  };
  const Case cases[] = {
      // stations' stamps (minutes)                 settings        first last step
      {{{60, 120, 180, 240}}, {}, 60, 240, 60},
      {{{60, 120, 240}, {180, 240, 300}}, {}, 60, 300, 60},    // a gap, a later start
      {{{60, 120, 180}}, {std::nullopt, true}, 120, 240, 60},  // stamps at the start of the hour
      {{{30, 60, 90, 150}}, {}, 30, 150, 30},
      {{{60, 120, 180, 240, 270}}, {}, -1, 0, 0},  // 270 lies off the hourly grid
      {{{60}, {120}}, {}, -1, 0, 0},               // no two stamps of one station: no step
      {{{60}, {120}}, {60, false}, 60, 120, 60},
      {{{60, 180, 300}}, {60, false}, 60, 300, 60},
  };
  for (const Case& c : cases) {
    Collection collection = stations(c.times);
    Grid grid{};
    const std::optional<std::string> fault = makeGrid(collection, {}, c.settings, grid);
    if (c.first < 0) {
      EXPECT_TRUE(fault.has_value()) << c.times.front().size();
      continue;
    }
    ASSERT_FALSE(fault.has_value()) << *fault;
    EXPECT_EQ(grid.firstMin, c.first);
    EXPECT_EQ(grid.lastMin, c.last);
    EXPECT_EQ(grid.stepMin, c.step);
  }
}

TEST(PrepareTest, RepeatedRowsMergeOnlyWhenTheyAgree) {
  Collection same = stations({{60, 120, 120, 180}});
  Grid grid{};
  EXPECT_FALSE(makeGrid(same, {}, {}, grid).has_value());
  EXPECT_EQ(same.stations[0].times.size(), 3u);
  Collection differ = stations({{60, 120, 120, 180}});
  differ.stations[0].values[2] = 2.0;
  const std::optional<std::string> fault = makeGrid(differ, {}, {}, grid);
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->substr(0, fault->find(" (")),
            "station 100 has two different values for 1970-01-01 02:00: 1 and 2");
}

TEST(PrepareTest, NumbersStationsByTheirIdentifiersOrInOrder) {
  Collection numeric = stations({{60}, {60}});
  EXPECT_EQ(stationNumbers(numeric), (std::vector<std::string>{"100", "101"}));
  numeric.stations[1].key = "Potsdam";
  EXPECT_EQ(stationNumbers(numeric), (std::vector<std::string>{"1", "2"}));
}

}  // namespace
}  // namespace kelvarin::prepare
