#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "network_places.hpp"
#include "station_lists.hpp"
#include "tables.hpp"
#include "text_rows.hpp"

namespace kelvarin::prepare {
namespace {

TEST(StationListsTest, ReadsAnglesInDegreesOrDegreesMinutesSeconds) {
  struct Case {
    const char* text;
    double limit;
    std::optional<double> degrees;
  };
  const Case cases[] = {
      {"52.4537", 90, 52.4537},
      {"+52:27:58", 90, 52.0 + 27.0 / 60.0 + 58.0 / 3600.0},
      {"-000:30:00", 360, -0.5},  // the sign before zero degrees still counts
      {"+013:18:06", 360, 13.0 + 18.0 / 60.0 + 6.0 / 3600.0},
      {"-122.3139", 360, -122.3139},
      {"91", 90, std::nullopt},
      {"52:60:00", 90, std::nullopt},  // 60 minutes are a degree
      {"52:27", 90, std::nullopt},
      {"52.4N", 90, std::nullopt},
      {"", 90, std::nullopt},
      {"nan", 90, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<double> read = readAngle(c.text, c.limit);
    ASSERT_EQ(read.has_value(), c.degrees.has_value()) << c.text;
    if (read) {
      EXPECT_DOUBLE_EQ(*read, *c.degrees) << c.text;
    }
  }
}

// Reads a list's rows as the table reader does: recognised from its first rows, then row by row.
std::vector<PlaceRow> readList(const std::vector<std::string>& rows, std::string& layout) {
  std::vector<int> columns;
  std::size_t first = 0;
  const StationListLayout* list = recogniseStationList(rows, columns, first);
  std::vector<PlaceRow> places;
  if (list == nullptr) {
    layout = "none";
    return places;
  }
  layout = std::string(list->name);
  for (std::size_t r = first; r < rows.size(); ++r) {
    PlaceRow place;
    std::string fault;
    if (list->readRow(rows[r], columns, place, fault) == StationListLayout::Row::kStation) {
      place.name = toUtf8(place.name);
      places.push_back(place);
    }
  }
  return places;
}

TEST(StationListsTest, ReadsEachArchivesStationList) {
  struct Case {
    std::vector<std::string> rows;
    const char* layout;
    const char* key;
    double latitude;
    double longitude;
    const char* name;
  };
  const Case cases[] = {
      {{"Stations_id von_datum bis_datum Stationshoehe geoBreite geoLaenge Stationsname "
        "Bundesland Abgabe",
        "----------- --------- ---------",
        "01684 19480101 20231231             40           51.1621   14.9506 G\xF6rlitz Nord "
        "                             Sachsen                                  Frei"},
       "dwd-description",
       "1684",
       51.1621,
       14.9506,
       "G\xC3\xB6rlitz Nord"},
      {{"Stations_id;Stationshoehe;Geogr.Breite;Geogr.Laenge;von_datum;bis_datum;Stationsname",
        "433;48.00;52.4675;13.4021;19480101;;Berlin-Tempelhof"},
       "dwd-geography",
       "433",
       52.4675,
       13.4021,
       "Berlin-Tempelhof"},
      {{"EUROPEAN CLIMATE ASSESSMENT & DATASET (ECA&D)", "",
        "STAID,STANAME                                 ,CN,      LAT,       LON,HGHT",
        "   41,BERLIN-DAHLEM                           ,DE,+52:27:00,-013:18:00,  51"},
       "eca-stations",
       "41",
       52.45,
       -13.3,
       "BERLIN-DAHLEM"},
      {{"USW00023183  33.4278 -112.0037  337.4 AZ PHOENIX AP                     GSN     23183"},
       "ghcn-stations",
       "USW00023183",
       33.4278,
       -112.0037,
       "PHOENIX AP"},
      {{"station_abbr;station_name;station_canton;station_coordinates_wgs84_lat;"
        "station_coordinates_wgs84_lon",
        "SMA;Z\xFCrich / Fluntern;ZH;47.377925;8.565742"},
       "meteoswiss-stations",
       "SMA",
       47.377925,
       8.565742,
       "Z\xC3\xBCrich / Fluntern"},
      // kelvarin's own table: its angles in single precision, as kelvarin --places reads them
      {{"# places", "longitude latitude station", "13.4 52.5 10384"},
       "places",
       "10384",
       52.5,
       static_cast<double>(13.4f),
       ""},
      {{"Station,Latitude,Longitude,Name", "00433,52.47,13.40,Tempelhof"},
       "places",
       "433",
       static_cast<double>(52.47f),
       static_cast<double>(13.40f),
       "Tempelhof"},
  };
  for (const Case& c : cases) {
    std::string layout;
    const std::vector<PlaceRow> places = readList(c.rows, layout);
    EXPECT_EQ(layout, c.layout) << c.rows.front();
    ASSERT_EQ(places.size(), 1U) << c.rows.front();
    EXPECT_EQ(places[0].key, c.key);
    EXPECT_DOUBLE_EQ(places[0].latitudeDeg, c.latitude) << c.key;
    EXPECT_DOUBLE_EQ(places[0].longitudeDeg, c.longitude) << c.key;
    EXPECT_EQ(places[0].name, c.name);
  }
}

TEST(StationListsTest, ReadsTheStationLinesOfKnmiHeaders) {
  const std::vector<std::string> rows = {
      "# BRON/SOURCE: KONINKLIJK NEDERLANDS METEOROLOGISCH INSTITUUT (KNMI)",
      "# STN         LON(east)   LAT(north)     ALT(m)  NAME",
      "# 260:         5.180       52.100       1.90  De Bilt",
      "280:         6.585       53.125       5.20  Groningen",  // the zip files' lines
      "# YYYYMMDD  = Datum (YYYY=jaar MM=maand DD=dag)",
      "# 380         5.762       50.906       2.00  Maastricht",  // downloads of today
      "# 2023 was a sunny year",                                  // free text, not a station
  };
  std::vector<PlaceRow> places;
  readPreamblePlaces(rows, rows.size(), places, [](std::size_t) { return std::string("here"); });
  ASSERT_EQ(places.size(), 3U);
  EXPECT_EQ(places[2].key, "380");
  EXPECT_DOUBLE_EQ(places[2].latitudeDeg, 50.906);
  EXPECT_EQ(places[2].name, "Maastricht");
  EXPECT_EQ(places[0].key, "260");
  EXPECT_DOUBLE_EQ(places[0].latitudeDeg, 52.1);
  EXPECT_DOUBLE_EQ(places[0].longitudeDeg, 5.18);
  EXPECT_EQ(places[0].name, "De Bilt");
  EXPECT_EQ(places[1].key, "280");
}

TEST(StationListsTest, RefusesRowsThatNameNoPlace) {
  // kelvarin's own places table, read by kelvarin's rules: a row it would refuse is refused here.
  struct Case {
    const char* row;
    const char* fault;
  };
  const Case cases[] = {
      {"7;95.0;13.0", "the latitude (95.0) is not between -90 and 90 degrees"},
      {"433;52;5;13", "4 fields, more than the 3 the header row names"},
      {"1234567890123456789;52;13", "has more than 18 digits"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> rows = {"station;latitude;longitude", c.row};
    std::vector<int> columns;
    std::size_t first = 0;
    const StationListLayout* list = recogniseStationList(rows, columns, first);
    ASSERT_NE(list, nullptr);
    PlaceRow place;
    std::string fault;
    EXPECT_EQ(list->readRow(rows[1], columns, place, fault), StationListLayout::Row::kFault)
        << c.row;
    EXPECT_NE(fault.find(c.fault), std::string::npos) << fault;
  }
}

TEST(StationListsTest, ChoosesThePlaceValidAtTheEndOfTheData) {
  Collection collection;
  // A station whose last value is on 1 June 2023 (day 19509 since 1970).
  collection.stations.push_back(Series{"433", "433"});
  collection.stations.back().add(19509 * 1440 + 600, 1.0, 1);
  collection.stations.push_back(Series{"999", "999"});
  collection.stations.back().add(60, 1.0, 2);
  const auto row = [](double latitude, std::int64_t from, std::int64_t to) {
    PlaceRow place;
    place.key = "433";
    place.latitudeDeg = latitude;
    place.fromDay = from;
    place.toDay = to;
    return place;
  };
  collection.places = {row(50.0, 0, 10000), row(51.0, 10001, 19508), row(52.0, 19509, 19999),
                       row(53.0, 20000, 30000)};
  const std::vector<std::optional<PlaceRow>> chosen = choosePlaces(collection);
  ASSERT_TRUE(chosen[0].has_value());
  EXPECT_DOUBLE_EQ(chosen[0]->latitudeDeg, 52.0);
  EXPECT_FALSE(chosen[1].has_value());  // no list names it
  collection.places = {row(50.0, 0, 10000), row(51.0, 10001, 19000)};
  EXPECT_DOUBLE_EQ(choosePlaces(collection)[0]->latitudeDeg, 51.0);  // the latest period
}

TEST(StationListsTest, FindsTheZoneNearestTheMeanLongitude) {
  const auto at = [](double longitude) {
    PlaceRow place;
    place.longitudeDeg = longitude;
    return std::optional<PlaceRow>(place);
  };
  const std::optional<Zone> europe = nearestZone({at(6.1), at(15.0), at(13.4), std::nullopt});
  ASSERT_TRUE(europe.has_value());
  EXPECT_EQ(europe->offsetH, 1);
  EXPECT_EQ(europe->meridianDeg, 15);
  EXPECT_NEAR(europe->spanDeg, 8.9, 1e-9);
  const std::optional<Zone> america = nearestZone({at(-112.0), at(-122.3)});
  EXPECT_EQ(america->offsetH, -8);
  EXPECT_FALSE(nearestZone({std::nullopt}).has_value());
}

}  // namespace
}  // namespace kelvarin::prepare

namespace kelvarin::prepare {
namespace {

// Reads one table from its text, as kelvarin-prepare reads a file named `name`.
std::optional<Refusal> readText(const std::string& text, const std::string& name,
                                Collection& collection) {
  std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  const std::optional<Refusal> refusal = readTable(file, name, TableSettings{}, collection);
  std::fclose(file);
  return refusal;
}

TEST(ArchiveLayoutsTest, ReadsEachLayoutsValuesInItsUnit) {
  // Four days of June as GHCN-Daily writes them (value, M-, Q- and S-flag), then -9999 to the
  // 31st; the third day failed a quality check (Q-flag X).
  const double missing = std::numeric_limits<double>::quiet_NaN();
  std::string dly = "USW00023183202306TSUN  600  W-9999     700 XW  120  W";
  std::vector<double> dlyValues = {600.0, missing, missing, 120.0};
  for (int day = 5; day <= 31; ++day) {
    dly += "-9999   ";
    if (day <= 30) {
      dlyValues.push_back(missing);
    }
  }
  struct Case {
    std::string name;
    std::string text;
    const char* layout;
    std::vector<double> values;  // the first station's, NaN missing
    std::uint64_t suspect, failed, trace;
  };
  const std::vector<Case> cases = {
      {"eca.txt",
       "free text\n\nSTAID, SOUID,    DATE,   SS, Q_SS\n    41,   100,20230619,   95,    0\n"
       "    41,   100,20230620,-9999,    9\n    41,   100,20230621,  101,    1\n",
       "eca-daily",
       {570.0, missing, 606.0},
       1,
       0,
       0},  // tenths of hours as minutes
      {"knmi.txt",
       "# STN,YYYYMMDD,   HH,   SQ\n\n  260,20230619,    1,     \n  260,20230619,    2,   -1\n"
       "  260,20230619,    3,   10\n",
       "knmi-hourly",
       {missing, 1.5, 60.0},
       0,
       0,
       1},
      {"USW00023183.dly", dly, "ghcn-daily", dlyValues, 0, 1, 0},
      {"USW00023183.csv",
       "USW00023183,20230601,TSUN,456,,,W,\nUSW00023183,20230601,PSUN,90,,,W,\n"
       "USW00023183,20230602,TSUN,400,,S,W,\n",
       "ghcn-csv",
       {456.0, missing},
       0,
       1,
       0},
      {"10637.csv",
       "2023-06-19,0,17.1,9.2,60,0.0,,240,11.2,,1015.2,31,3\n"
       "2023-06-19,1,17.1,9.2,60,0.0,,240,11.2,,1015.2,,3\n",
       "meteostat-hourly",
       {31.0, missing},
       0,
       0,
       0},
      {"10637-2023.csv",
       "year,month,day,hour,temp,temp_source,tsun,tsun_source\n2023,6,19,0,17.1,4,31,4\n"
       "2023,6,19,1,17.1,4,,\n",
       "meteostat-hourly-year",
       {31.0, missing},
       0,
       0,
       0},
      {"ogd-smn_ber_d_recent.csv",
       "station_abbr;reference_timestamp;tre200d0;sre000d0\nBER;19.06.2023 00:00;17.3;540\n",
       "meteoswiss-daily",
       {540.0},
       0,
       0,
       0},
  };
  for (const Case& c : cases) {
    Collection collection;
    const std::optional<Refusal> refusal = readText(c.text, c.name, collection);
    ASSERT_FALSE(refusal.has_value()) << c.name << ": " << refusal->message;
    ASSERT_NE(collection.kind.source, nullptr) << c.name;
    EXPECT_EQ(collection.kind.source->name, c.layout);
    ASSERT_FALSE(collection.stations.empty()) << c.name;
    const SeriesValues& values = collection.stations[0].values;
    ASSERT_EQ(values.size(), c.values.size()) << c.name;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (std::isnan(c.values[i])) {
        EXPECT_TRUE(std::isnan(values[i])) << c.name << " value " << i;
      } else {
        EXPECT_DOUBLE_EQ(values[i], c.values[i]) << c.name << " value " << i;
      }
    }
    EXPECT_EQ(collection.counts.suspect, c.suspect) << c.name;
    EXPECT_EQ(collection.counts.failedCheck, c.failed) << c.name;
    EXPECT_EQ(collection.counts.trace, c.trace) << c.name;
  }
}

TEST(ArchiveLayoutsTest, StampsEndTheirIntervalsInUtc) {
  struct Case {
    std::string name;
    std::string text;
    std::int64_t firstMin;  // minutes since 1970 of the first value's stamp as read
  };
  constexpr std::int64_t kJune19 = 19527 * std::int64_t{1440};
  const std::vector<Case> cases = {
      {"knmi.txt", "STN,YYYYMMDD,HH,SQ\n260,20230619,1,10\n", kJune19 + 60},  // 00-01 UT
      {"10637.csv", "2023-06-19,0,17.1,9.2,60,0.0,,240,11.2,,1015.2,31,3\n", kJune19},
      {"dwd.txt", "STATIONS_ID;MESS_DATUM;QN;SD_10;eor\n433;199906190010;3;0.1;eor\n",
       10761 * std::int64_t{1440} + 10 - 60},  // 1999-06-19 00:10 CET
      {"dwd.txt", "STATIONS_ID;MESS_DATUM;QN;SD_10;eor\n433;202306190010;3;0.1;eor\n",
       kJune19 + 10},
  };
  for (const Case& c : cases) {
    Collection collection;
    const std::optional<Refusal> refusal = readText(c.text, c.name, collection);
    ASSERT_FALSE(refusal.has_value()) << c.name << ": " << refusal->message;
    EXPECT_EQ(collection.stations.at(0).firstTime(), c.firstMin) << c.text;
  }
}

TEST(ArchiveLayoutsTest, RefusesAValueForADayTheMonthDoesNotHave) {
  std::string line = "USW00023183202306TSUN" + std::string(31 * 8, ' ');
  for (std::size_t day = 0; day < 31; ++day) {
    line.replace(21 + day * 8, 5, day == 30 ? "  100" : "-9999");
  }
  Collection collection;
  const std::optional<Refusal> refusal = readText(line + "\n", "x.dly", collection);
  ASSERT_TRUE(refusal.has_value());
  EXPECT_EQ(refusal->message, "x.dly: line 1: a value for 20230631, a day the month does not have");
}

}  // namespace
}  // namespace kelvarin::prepare
