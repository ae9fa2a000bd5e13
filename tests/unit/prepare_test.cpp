#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>  // std::memcmp
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "input_files.hpp"
#include "network_places.hpp"
#include "station_file.hpp"
#include "table_fields.hpp"
#include "tables.hpp"
#include "text_rows.hpp"
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

// A series keeps its stamps and lines in runs of one step: every value's must come back as added,
// and kept again after sorting or merging, whatever the runs; a regular station takes one run.
TEST(PrepareTest, SeriesGiveBackEveryStampAndLine) {
  struct Case {
    const char* name;
    std::vector<std::int64_t> times;
    std::vector<std::uint64_t> lines;
    std::size_t timeRuns;
    std::size_t lineRuns;
  };
  const Case cases[] = {
      {"hourly, line after line", {60, 120, 180, 240}, {5, 6, 7, 8}, 1, 1},
      {"a gap", {60, 120, 300, 360}, {5, 6, 7, 8}, 2, 1},
      {"a stamp repeated", {60, 120, 120, 180}, {5, 6, 7, 8}, 2, 1},
      {"out of order", {180, 60, 120, 0}, {9, 2, 30, 4}, 2, 2},
      {"stations interleaved, every third line", {60, 120, 180}, {10, 13, 16}, 1, 1},
      {"falling, as sorting may leave them", {300, 240, 180}, {20, 10, 0}, 1, 1},
      {"one value", {-1440}, {1}, 1, 1},
  };
  for (const Case& c : cases) {
    Series series{"1", "1"};
    for (std::size_t i = 0; i < c.times.size(); ++i) {
      series.add(c.times[i], static_cast<double>(i), c.lines[i]);
    }
    EXPECT_EQ(series.times(), c.times) << c.name;
    EXPECT_EQ(series.lines(), c.lines) << c.name;
    EXPECT_EQ(series.timeRuns.size(), c.timeRuns) << c.name;
    EXPECT_EQ(series.lineRuns.size(), c.lineRuns) << c.name;
    for (std::size_t i = 0; i < c.times.size(); ++i) {
      EXPECT_EQ(series.timeOf(i), c.times[i]) << c.name << " " << i;
      EXPECT_EQ(series.lineOf(i), c.lines[i]) << c.name << " " << i;
    }
    Series kept = series;
    kept.keepTimes(c.times);
    kept.keepLines(c.lines);
    EXPECT_EQ(kept.times(), c.times) << c.name;
    EXPECT_EQ(kept.lines(), c.lines) << c.name;
    kept.shiftTimes(60);
    EXPECT_EQ(kept.timeOf(0), c.times[0] + 60) << c.name;
  }
}

// Values are kept as floats while each one is a float exactly, else all as doubles: every one
// must come back bit for bit, the sign of a zero and a missing value too, also when one that is
// no float comes after others, or is set in place of one.
TEST(PrepareTest, SeriesGiveBackEveryValueBitForBit) {
  const double nan = std::nan("");
  const std::vector<std::vector<double>> cases = {
      {0.0, 60.0, 12.0, 59.0},     // minutes
      {6.0, 0.1, 0.5},             // hours with a decimal, one no float
      {nan, -0.0, 0.25, nan},      // missing, a negative zero
      {1.0, 2.0, 1e300, 3.0},      // beyond a float's range
      {0.30000000000000004, 0.3},  // doubles a float would merge
  };
  for (const std::vector<double>& values : cases) {
    Series series{"1", "1"};
    for (std::size_t i = 0; i < values.size(); ++i) {
      series.add(60 * static_cast<std::int64_t>(i), values[i], i + 1);
    }
    ASSERT_EQ(series.values.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      const double kept = series.values[i];
      EXPECT_EQ(std::memcmp(&kept, &values[i], sizeof kept) == 0 ||
                    (std::isnan(kept) && std::isnan(values[i])),
                true)
          << values[i];
    }
    Series set = series;
    set.values.set(0, 0.1);  // no float: the series turns to doubles, keeping the rest
    EXPECT_EQ(set.values[0], 0.1);
    for (std::size_t i = 1; i < values.size(); ++i) {
      EXPECT_TRUE(set.values[i] == values[i] ||
                  (std::isnan(set.values[i]) && std::isnan(values[i])));
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

// A value cell is the double from_chars reads from it, bit for bit, whichever way it is read: the
// short decimals a word at a time, the rest by from_chars. A '+' may lead; "+-5" is no number.
TEST(PrepareTest, ReadsValueCellsAsFromCharsDoes) {
  std::mt19937 rng(11);
  const std::string alphabet = "0123456789.-+e";
  const Columns columns;  // no markers
  for (int i = 0; i < 200000; ++i) {
    const auto length = static_cast<unsigned>(1 + rng() % 11);
    std::string text;
    for (unsigned k = 0; k < length; ++k) {
      const auto pick = static_cast<unsigned>(rng() % 30);
      text += pick < 24 ? alphabet[pick % 10] : alphabet[10 + pick % 4];
    }
    std::string_view digits = text;
    bool plus = false;
    if (digits.front() == '+') {
      digits.remove_prefix(1);
      plus = true;
    }
    double expected = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(),
                                              expected, std::chars_format::general);
    const bool readable = !digits.empty() && !(plus && digits.front() == '-') &&
                          error == std::errc() && end == digits.data() + digits.size() &&
                          std::isfinite(expected);
    double value = 0.0;
    ASSERT_EQ(readValue(text, columns, value), readable) << '"' << text << '"';
    if (readable) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected))
          << '"' << text << '"';
    }
  }
}

TEST(PrepareTest, FindsSeparators) {
  EXPECT_EQ(detectSeparator("STATIONS_ID;MESS_DATUM;QN_7;SD_SO;eor"), ';');
  EXPECT_EQ(detectSeparator("time,station,value"), ',');
  EXPECT_EQ(detectSeparator("time\tstation\tvalue, in hours"), '\t');
  EXPECT_EQ(detectSeparator("time station value"), std::nullopt);
}

TEST(PrepareTest, SplitsRowsAsDelimitedTextWritesThem) {
  struct Case {
    const char* row;
    char separator;
    FieldStatus status;
    std::vector<std::string> fields;  // the first three at most
    std::size_t count;
  };
  const Case cases[] = {
      // row                                   sep   status                        fields  count
      {"        433;2023062101;    3;  12;eor",
       ';',
       FieldStatus::kTooMany,
       {"433", "2023062101", "3"},
       5},
      {"a,,b", ',', FieldStatus::kFields, {"a", "", "b"}, 3},
      {"\"Berlin, Dahlem\",0.5", ',', FieldStatus::kFields, {"Berlin, Dahlem", "0.5"}, 2},
      {"\"A;7;B\";0.5", ';', FieldStatus::kFields, {"A;7;B", "0.5"}, 2},
      {" \"say \"\"x\"\"\" ,1", ',', FieldStatus::kFields, {"say \"x\"", "1"}, 2},
      {"\"\",\"\"\"\"", ',', FieldStatus::kFields, {"", "\""}, 2},
      {"\"two\nlines\";1", ';', FieldStatus::kFields, {"two\nlines", "1"}, 2},
      {"a\t b \t",
       '\t',
       FieldStatus::kFields,
       {"a", "b", ""},
       3},  // tabs separate, blanks are trimmed
      {"1,2,3,4", ',', FieldStatus::kTooMany, {"1", "2", "3"}, 4},
      {"\"a\"b,1", ',', FieldStatus::kTextAfterQuote, {"a", "1"}, 2},
      {"5\",1", ',', FieldStatus::kStrayQuote, {"5\"", "1"}, 2},
      {"\"open,1", ',', FieldStatus::kStrayQuote, {}, 1},
  };
  for (const Case& c : cases) {
    Fields fields;
    EXPECT_EQ(splitRow(c.row, c.separator, 3, fields), c.status) << c.row;
    EXPECT_EQ(fields.count, c.count) << c.row;
    ASSERT_EQ(fields.views.size(), c.fields.size()) << c.row;
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
      EXPECT_EQ(fields.views[i], c.fields[i]) << c.row << " field " << i + 1;
    }
  }
}

// Reads every row of `text` through a RowReader; returns the rows and the final status.
std::pair<std::vector<std::string>, RowStatus> rowsOf(const std::string& text) {
  std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  RowReader reader;
  reader.file = file;
  std::vector<std::string> rows;
  RowStatus status;
  while ((status = nextRow(reader)) == RowStatus::kRow) {
    rows.emplace_back(reader.row);
    rows.back() += "@" + std::to_string(reader.line);
  }
  std::fclose(file);
  return {rows, status};
}

TEST(PrepareTest, ReadsRowsOfAnyLineEndAndQuotedLineBreaks) {
  using Rows = std::vector<std::string>;
  EXPECT_EQ(rowsOf("a;b\r\n1;2\r\n").first, (Rows{"a;b@1", "1;2@2"}));
  EXPECT_EQ(rowsOf("a;b\n1;2").first, (Rows{"a;b@1", "1;2@2"}));  // no line break at the end
  EXPECT_EQ(rowsOf("a;\"b\nc\";d\n1;2\n").first, (Rows{"a;\"b\nc\";d@1", "1;2@3"}));
  EXPECT_EQ(rowsOf("a;\"b\n1;2\n").second, RowStatus::kOpenQuote);
  // A line of more than a chunk, and one beyond the bound.
  const std::string wide(200000, 'x');
  EXPECT_EQ(rowsOf(wide + "\n1\n").first, (Rows{wide + "@1", "1@2"}));
  std::string endless(kMaxRowBytes + 10, ';');
  EXPECT_EQ(rowsOf(endless).second, RowStatus::kTooLong);
  endless.insert(0, "\"");  // a quote that never closes, over many short lines
  for (std::size_t i = 1; i < endless.size(); i += 100) {
    endless[i] = '\n';
  }
  EXPECT_EQ(rowsOf(endless).second, RowStatus::kTooLong);
}

TEST(PrepareTest, QuotesTextSafelyInMessages) {
  EXPECT_EQ(escapeControls("a\nb\tc\rd"), "a\\nb\\tc\\rd");
  EXPECT_EQ(escapeControls(std::string("S\0T", 3)), "S\\x00T");
  EXPECT_EQ(escapeControls("K\xC3\xB6ln \xF6 \x7F"), "K\xC3\xB6ln \\xF6 \\x7F");
  EXPECT_EQ(quoteText("0,5"), "\"0,5\"");
  const std::string shown = quoteText(std::string(100, 'x'));
  EXPECT_EQ(shown, "\"" + std::string(60, 'x') + "\"...");
  // Never cut inside a character of several bytes.
  EXPECT_EQ(quoteText(std::string(59, 'x') + "\xC3\xB6" + std::string(10, 'y')),
            "\"" + std::string(59, 'x') + "\"...");
}

// Builds a collection of stations with the given stamps (minutes) and values.
Collection stations(const std::vector<std::vector<std::int64_t>>& times) {
  Collection collection;
  collection.inputs.names.push_back("t.csv");
  collection.inputs.linesBefore.push_back(0);
  for (std::size_t s = 0; s < times.size(); ++s) {
    Series series{std::to_string(100 + s), std::to_string(100 + s)};
    for (const std::int64_t time : times[s]) {
      series.add(time, 1.0, ++collection.inputs.lines);
    }
    collection.counts.rows += times[s].size();
    collection.stations.push_back(series);
  }
  return collection;
}

TEST(PrepareTest, GridsFromTheCommonStep) {
  struct Case {
    std::vector<std::vector<std::int64_t>> times;
    GridSettings settings;
    std::int64_t first;
    std::int64_t last;
    std::int64_t step;  // 0: refused
  };
  constexpr std::int64_t kYear = 525600;
  std::vector<std::int64_t> hourly;  // a year of hours, and one stamp twenty years before
  for (std::int64_t t = 60; t <= kYear; t += 60) {
    hourly.push_back(t);
  }
  std::vector<std::int64_t> stray = hourly;
  stray.insert(stray.begin(), 60 - 20 * kYear);
  // Grids cover whole days: from the first interval of the first stamp's day to the last
  // interval of the last stamp's day (minute 1440 ends day 0).
  const Case cases[] = {
      // stations' stamps (minutes)                 settings        first last step
      {{{60, 120, 180, 240}}, {}, 60, 1440, 60},
      {{{60, 120, 240}, {180, 240, 300}}, {}, 60, 1440, 60},   // a gap, a later start
      {{{60, 120, 180}}, {std::nullopt, true}, 60, 1440, 60},  // stamps at the start of the hour
      {{{30, 60, 90, 150}}, {}, 30, 1440, 30},
      {{{370, 380}}, {}, 10, 1440, 10},            // a station starting at 06 UTC
      {{{1440, 2880}}, {}, 1440, 2880, 1440},      // days, stamped at hour 24
      {{{-1380, -1320}}, {}, -1380, 0, 60},        // the day before 1970
      {{{90, 150}}, {}, 90, 1410, 60},             // stamps at half past
      {{{60, 120, 180, 240, 270}}, {}, -1, 0, 0},  // 270 lies off the hourly grid
      {{{60}, {120}}, {}, -1, 0, 0},               // no two stamps of one station: no step
      {{{60}, {120}}, {60, false}, 60, 1440, 60},
      {{{60, 180, 300}}, {60, false}, 60, 1440, 60},
      {{{60, 60 + 2 * kMaxStepMin + 2}}, {}, -1, 0, 0},  // a step kelvarin cannot take
      {{hourly}, {}, 60, kYear, 60},
      {{stray}, {}, -1, 0, 0},  // twenty years for one stray stamp
      {{stray}, {std::nullopt, false, false, true}, 60 - 20 * kYear, kYear, 60},  // --wide-grid
      {{{60, 120}, stray}, {std::nullopt, false, true}, -1, 0, 0},  // --split: its own grid
  };
  for (const Case& c : cases) {
    Collection collection = stations(c.times);
    Grid grid{};
    std::vector<std::string> strays;
    const std::optional<Refusal> refusal = makeGrid(collection, c.settings, grid, strays);
    if (c.step == 0) {
      EXPECT_TRUE(refusal.has_value()) << c.times.front().size();
      continue;
    }
    ASSERT_FALSE(refusal.has_value()) << refusal->message;
    EXPECT_EQ(grid.firstMin, c.first);
    EXPECT_EQ(grid.lastMin, c.last);
    EXPECT_EQ(grid.stepMin, c.step);
  }
}

TEST(PrepareTest, NamesStampsFarFromTheRestOfTheirStation) {
  // Hours 1 to 48, then one stamp a year before, one a year after and one a century after.
  std::vector<std::int64_t> times;
  for (std::int64_t t = 60; t <= 48 * 60; t += 60) {
    times.push_back(t);
  }
  times.push_back(-525600);
  times.push_back(2 * 525600);
  times.push_back(100 * 525600);
  Collection collection = stations({times});
  Grid grid{};
  std::vector<std::string> strays;
  ASSERT_FALSE(makeGrid(collection, {60, false, false, true}, grid, strays).has_value());
  EXPECT_EQ(strays, (std::vector<std::string>{"station 100 2069-12-06 24:00 (t.csv: line 51)",
                                              "station 100 1971-12-31 24:00 (t.csv: line 50)",
                                              "station 100 1968-12-31 24:00 (t.csv: line 49)"}));
  // Stamps of one station a day apart are no strays.
  Collection daily = stations({{1440, 2880, 4320, 10 * 1440}});
  strays.clear();
  ASSERT_FALSE(makeGrid(daily, {}, grid, strays).has_value());
  EXPECT_TRUE(strays.empty());
}

TEST(PrepareTest, RepeatedRowsMergeOnlyWhenTheyAgree) {
  Collection same = stations({{60, 120, 120, 180}});
  Grid grid{};
  std::vector<std::string> strays;
  EXPECT_FALSE(makeGrid(same, {}, grid, strays).has_value());
  EXPECT_EQ(same.stations[0].size(), 3u);
  Collection differ = stations({{60, 120, 120, 180}});
  differ.stations[0].values.set(2, 2.0);
  const std::optional<Refusal> refusal = makeGrid(differ, {}, grid, strays);
  ASSERT_TRUE(refusal.has_value());
  EXPECT_EQ(refusal->message,
            "station 100 has two different values for 1970-01-01 02:00: 1 and 2 (t.csv: line 2, "
            "t.csv: line 3)");
}

TEST(PrepareTest, FileNamesTellTheEndOfTheirPeriod) {
  // Which of two overlapping files is the historical one rests on this: a wrong end would keep
  // the recent, unchecked value.
  struct Case {
    const char* name;
    std::optional<std::int64_t> end;
  };
  const Case cases[] = {
      {"produkt_sd_stunde_19510101_20231231_00433.txt", 20231231},
      {"dwd/produkt_klima_tag_20230601_20241208_00433.txt", 20241208},
      {"produkt_zehn_min_sd_20200101_20231231_00433.txt", 20231231},
      {"produkt_sd_stunde_00433.txt", std::nullopt},
      {"produkt_sd_stunde_1951010_20231231_00433.txt", std::nullopt},
      {"a_20231231_00433.txt", std::nullopt},
      {"produkt_sd_stunde_19510101-20231231_00433.txt", std::nullopt},
      {"x.txt", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(periodEndOf(c.name), c.end) << c.name;
  }
}

TEST(PrepareTest, FilesTellWhichPartOfTheArchiveTheyComeFrom) {
  // A recent download taken for the historical part would overrule a newer download's values
  // and be called quality-checked.
  struct Case {
    const char* name;
    ArchivePart part;
  };
  const Case cases[] = {
      {"produkt_sd_stunde_19510101_20231231_00433.txt", ArchivePart::kHistorical},
      {"produkt_sd_stunde_20230601_20241208_00433.txt", ArchivePart::kRecent},
      {"recent/produkt_sd_stunde_20230101_20231231_00433.txt", ArchivePart::kRecent},
      {"historical/produkt_sd_stunde_19370101_20060331_00433.txt", ArchivePart::kHistorical},
      {"stundenwerte_SD_00433_akt/produkt_sd_stunde_20230601_20241231_00433.txt",
       ArchivePart::kRecent},
      {"stundenwerte_SD_00433_19510101_20231231_hist/produkt_sd_stunde_19510101_20231231_00433.txt",
       ArchivePart::kHistorical},
      // Both words in the path: the period decides.
      {"recent/historical/produkt_sd_stunde_20230601_20241208_00433.txt", ArchivePart::kRecent},
      {"produkt_sd_stunde_00433.txt", ArchivePart::kNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(archivePartOf(c.name, periodEndOf(c.name)), c.part) << c.name;
  }
}

TEST(PrepareTest, ZonesOfNetworksTakeTheirLongitudesAroundTheCircle) {
  struct Case {
    std::vector<double> longitudes;
    int offsetH;
    double spanDeg;
  };
  const Case cases[] = {
      {{13.4, 6.9, 14.9}, 1, 8.0},
      // Fiji, Samoa and Tonga: 16.4 degrees across the date line, the zone of Fiji.
      {{177.4, -171.8, -175.2}, 12, 10.8},
      {{-171.8}, -11, 0.0},
      {{179.0, -179.0}, 12, 2.0},
      // Around the world: the widest gap is left out wherever it lies.
      {{-120.0, 0.0, 120.0}, 0, 240.0},
      {{-74.0, -122.3}, -7, 48.3},
  };
  for (const Case& c : cases) {
    std::vector<std::optional<PlaceRow>> places;
    for (const double longitude : c.longitudes) {
      PlaceRow row;
      row.longitudeDeg = longitude;
      places.emplace_back(row);
    }
    const std::optional<Zone> zone = nearestZone(places);
    ASSERT_TRUE(zone.has_value());
    EXPECT_EQ(zone->offsetH, c.offsetH) << c.longitudes.front();
    EXPECT_EQ(zone->meridianDeg, 15 * c.offsetH) << c.longitudes.front();
    EXPECT_NEAR(zone->spanDeg, c.spanDeg, 1e-9) << c.longitudes.front();
  }
  EXPECT_FALSE(nearestZone({std::nullopt}).has_value());
}

TEST(PrepareTest, NumbersStationsByTheirIdentifiersOrInOrder) {
  Collection numeric = stations({{60}, {60}});
  EXPECT_EQ(numberStations(numeric).numbers, (std::vector<std::string>{"100", "101"}));
  EXPECT_FALSE(numberStations(numeric).assigned);
  numeric.stations[1].key = "Potsdam";
  EXPECT_EQ(numberStations(numeric).numbers, (std::vector<std::string>{"1", "2"}));
  EXPECT_TRUE(numberStations(numeric).assigned);
}

TEST(PrepareTest, PlacesLinesInTheirFiles) {
  Collection collection;
  collection.inputs.names = {"a.txt", "b.txt", "c.txt"};
  collection.inputs.linesBefore = {0, 10, 10};  // b.txt had no lines
  EXPECT_EQ(placeOf(collection, 1), "a.txt: line 1");
  EXPECT_EQ(placeOf(collection, 10), "a.txt: line 10");
  EXPECT_EQ(placeOf(collection, 11), "c.txt: line 1");
}

}  // namespace
}  // namespace kelvarin::prepare
