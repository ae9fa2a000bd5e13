// The formats kelvarin-prepare writes and kelvarin reads: whatever one program writes, the other
// reads as the same stations and places.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "places_table.hpp"
#include "reading/header_pass.hpp"
#include "station_file.hpp"  // prepare's numberStations
#include "station_number.hpp"
#include "text.hpp"

namespace kelvarin {
namespace {

std::vector<StationPlace> readTable(const std::string& text, std::optional<PlacesFault>& fault) {
  std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  std::vector<StationPlace> places;
  fault = readPlacesTable(file, places);
  std::fclose(file);
  return places;
}

TEST(ContractTest, CaseFoldsOnlyLetters) {
  // Folding by a bit (c | 0x20) made each of these pairs equal.
  struct Case {
    std::string a;
    std::string b;
    bool equal;
  };
  const Case cases[] = {
      {"Station", "sTATION", true},
      {"LATITUDE", "latitude", true},
      {"a-b", "a\rb", false},
      {"a_b",
       "a\x7f"
       "b",
       false},
      {"a b", std::string("a\0b", 3), false},
      {"@", "`", false},
      {"[", "{", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(equalsIgnoringCase(c.a, c.b), c.equal) << c.a;
  }
}

TEST(ContractTest, StationNumbers) {
  using S = StationNumberStatus;
  struct Case {
    std::string text;
    S whole;   // the field read whole, as a places table reads it
    S prefix;  // the integer prefix, as header line 2 reads it
    std::int64_t value;
  };
  const Case cases[] = {
      {"433", S::kNumber, S::kNumber, 433},
      {"00433", S::kNumber, S::kNumber, 433},
      {"-5", S::kNumber, S::kNumber, -5},
      {"12abc", S::kNotANumber, S::kNumber, 12},
      {"abc", S::kNotANumber, S::kNotANumber, 0},
      {"", S::kNotANumber, S::kNotANumber, 0},
      {"123456789012345678", S::kNumber, S::kNumber, 123456789012345678},
      {"000123456789012345678", S::kNumber, S::kNumber, 123456789012345678},
      {"1234567890123456789", S::kTooManyDigits, S::kTooManyDigits, 0},
      {"1234567890123456780", S::kTooManyDigits, S::kTooManyDigits, 0},
  };
  for (const Case& c : cases) {
    const StationNumber whole = stationNumberOf(c.text);
    EXPECT_EQ(whole.status, c.whole) << c.text;
    const StationNumber prefix = stationNumberPrefix(c.text);
    EXPECT_EQ(prefix.status, c.prefix) << c.text;
    if (prefix.status == S::kNumber) {
      EXPECT_EQ(prefix.value, c.value) << c.text;
    }
  }
}

// prepare names the stations of header line 2 and writes the places table; kelvarin reads both
// back as the same stations at the same places, for ids of every length up to the limit; beyond
// it prepare numbers the stations itself instead of writing ids kelvarin would merge.
TEST(ContractTest, WhatPrepareWritesKelvarinReads) {
  for (std::size_t digits = 1; digits <= kMaxStationDigits + 2; ++digits) {
    std::string first(digits, '7');
    std::string second = first;
    second.back() = '3';
    prepare::Collection collection;
    collection.stations.push_back(prepare::Series{first, first});
    collection.stations.push_back(prepare::Series{second, second});
    const prepare::StationNumbers numbers = prepare::numberStations(collection);
    EXPECT_EQ(numbers.assigned, digits > kMaxStationDigits) << digits;

    std::string header(kColumnLabels);
    std::string table(kPlacesTableHeader);
    for (std::size_t s = 0; s < 2; ++s) {
      header += ' ' + numbers.numbers[s];
      table += placesTableRow(numbers.numbers[s], 52.47f + static_cast<float>(s), 13.4f,
                              "Berlin; \"Tempelhof\"\n");
    }
    const std::vector<ColumnStation> columns = columnStations(header + "\n");
    std::optional<PlacesFault> fault;
    const std::vector<StationPlace> places = readTable(table, fault);
    ASSERT_FALSE(fault) << fault->text;
    ASSERT_EQ(columns.size(), 2U) << digits;
    ASSERT_EQ(places.size(), 2U) << digits;
    EXPECT_NE(columns[0].number.value, columns[1].number.value) << digits;
    for (std::size_t s = 0; s < 2; ++s) {
      ASSERT_EQ(columns[s].number.status, StationNumberStatus::kNumber) << digits;
      EXPECT_EQ(columns[s].number.value, places[s].station) << digits;
      EXPECT_EQ(places[s].latitudeDeg, 52.47f + static_cast<float>(s));
      EXPECT_EQ(places[s].longitudeDeg, 13.4f);
    }
  }
}

TEST(ContractTest, PlacesTables) {
  struct Case {
    std::string text;
    std::uint64_t faultLine;  // 0: read, unless `fault` is given
    std::string fault;        // the start of the refusal, "" when read
  };
  const Case cases[] = {
      {"station;latitude;longitude\n433;52.5;13.4\n", 0, ""},
      {"\xEF\xBB\xBFstation;latitude;longitude\r\n433;52.5;13.4\r\n", 0, ""},
      {"# made by hand\n\nLongitude Station LATITUDE\n13.4  433\t52.5\n", 0, ""},
      {"station,latitude,longitude\n433,52,5,13,4\n", 2, "5 fields, more than the 3"},
      {"station latitude longitude name\n433 52.5 13.4 Berlin Tempelhof\n", 2, "5 fields"},
      {"station;latitude;longitude\n433;52.5\n", 2, "2 fields, fewer"},
      {"station;latitude\n", 1, "no column \"longitude\""},
      {"station;latitude;longitude\r433;52.5;13.4\r", 1, "lines ended by a lone CR"},
      {std::string("\xFF\xFEs\0t\0", 6), 1, "UTF-16 text"},
      {"# nothing\n", 0, "no header row"},
      {"station;latitude;longitude\n433;52.5;13.4\n0433;52.6;13.4\n", 0,
       "station 433 has two rows"},
  };
  for (const Case& c : cases) {
    std::optional<PlacesFault> fault;
    const std::vector<StationPlace> places = readTable(c.text, fault);
    if (c.fault.empty()) {
      ASSERT_FALSE(fault) << fault->text;
      ASSERT_EQ(places.size(), 1U);
      EXPECT_EQ(places[0].station, 433);
      EXPECT_EQ(places[0].latitudeDeg, 52.5f);
      EXPECT_EQ(places[0].longitudeDeg, 13.4f);
      continue;
    }
    ASSERT_TRUE(fault) << c.text;
    EXPECT_EQ(fault->line, c.faultLine) << c.text;
    EXPECT_EQ(fault->text.substr(0, c.fault.size()), c.fault) << c.text;
  }
}

// Names as RFC 4180 quotes them: what placesTableRow writes, readPlacesRow reads back as written.
TEST(ContractTest, QuotedNamesComeBackAsWritten) {
  PlacesColumns columns{};
  ASSERT_FALSE(readPlacesHeader("station;latitude;longitude;name", columns));
  // name written          the name read back (control bytes shown as escapes)
  const std::pair<std::string, std::string> names[] = {
      {"Berlin-Dahlem", "Berlin-Dahlem"},
      {"Berlin; Tempelhof", "Berlin; Tempelhof"},
      {"say \"x\"; then", "say \"x\"; then"},
      {"\"quoted\"", "\"quoted\""},
      {"", ""},
  };
  for (const auto& [written, read] : names) {
    std::string row = placesTableRow("433", 52.5f, 13.4f, written);
    row.pop_back();  // the line break
    PlacesRow place;
    const std::optional<std::string> fault = readPlacesRow(row, columns, place);
    ASSERT_FALSE(fault) << row << ": " << *fault;
    EXPECT_EQ(place.name, read) << row;
    EXPECT_EQ(place.longitudeDeg, 13.4f) << row;
  }
}

TEST(ContractTest, QuotedFieldsOfATable) {
  struct Case {
    std::string text;
    std::size_t stations;  // read, when `fault` is empty
    std::uint64_t faultLine;
    std::string fault;  // the start of the refusal
  };
  const Case cases[] = {
      {"station;latitude;longitude;name\n433;52.5;13.4;\"Berlin; Tempelhof\"\n", 1, 0, ""},
      {"\"station\",\"latitude\",\"longitude\"\n\"433\",\"52.5\",\"13.4\"\n", 1, 0, ""},
      {"station;latitude;longitude;name\n433;52.5;13.4;\"two\nlines\"\n434;52;13;x\n", 2, 0, ""},
      {"station;latitude;longitude;name\n433;52.5;13.4;Berlin \"Dahlem\"\n", 1, 0, ""},
      {"station;latitude;longitude;name\n433;52.5;13.4;x\n434;52;13;\"never closed\n", 0, 3,
       "field 4: a quoted field is not closed"},
      {"station;latitude;longitude;name\n433;52.5;13.4;\"a\"b\n", 0, 2,
       "field 4: text after the closing quote"},
      {"station;latitude;longitude;name\n433;52.5;13.4;\"a;b\";c\n", 0, 2,
       "5 fields, more than the 4"},
      // the second row's line number counts the line break inside the quotes
      {"station;latitude;longitude;name\n433;52.5;13.4;\"a\nb\"\n434;x;13;c\n", 0, 4,
       "the latitude \"x\""},
  };
  for (const Case& c : cases) {
    std::optional<PlacesFault> fault;
    const std::vector<StationPlace> places = readTable(c.text, fault);
    if (c.fault.empty()) {
      ASSERT_FALSE(fault) << c.text << ": " << fault->text;
      EXPECT_EQ(places.size(), c.stations) << c.text;
      continue;
    }
    ASSERT_TRUE(fault) << c.text;
    EXPECT_EQ(fault->line, c.faultLine) << c.text;
    EXPECT_EQ(fault->text.substr(0, c.fault.size()), c.fault) << c.text << ": " << fault->text;
  }
}

TEST(ContractTest, PlacesTableAnglesAreTheFloatsTheAnswersRead) {
  // Each spelling as strtof reads an answer: rounded to the nearest float, signs, exponents and
  // long fractions included; what strtof refuses or makes infinite is refused.
  std::vector<std::string> spellings = {"+52.5", "-0",    "0x1.8p5",  "5.25e1", "52.",
                                        ".5",    "1e-50", "1e40",     "inf",    "nan",
                                        "--1",   "1e",    "0.0000001"};
  std::uint64_t draw = 12345;
  for (int i = 0; i < 2000; ++i) {
    draw = draw * 6364136223846793005ULL + 1442695040888963407ULL;
    const int digits = static_cast<int>(draw >> 60);
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits + 4,
                  static_cast<double>(draw >> 11) / 9007199254740992.0 * 180.0 - 90.0);
    spellings.emplace_back(text);
  }
  for (const std::string& angle : spellings) {
    std::optional<PlacesFault> fault;
    const std::vector<StationPlace> places =
        readTable("station;latitude;longitude\n433;1;" + angle + "\n", fault);
    char* end = nullptr;
    const float expected = std::strtof(angle.c_str(), &end);
    const bool readable = end == angle.c_str() + angle.size() && std::isfinite(expected);
    ASSERT_EQ(!fault, readable) << angle;
    if (readable) {
      EXPECT_EQ(places[0].longitudeDeg, expected) << angle;
    }
  }
}

}  // namespace
}  // namespace kelvarin
