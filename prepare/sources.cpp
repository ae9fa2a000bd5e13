#include "sources.hpp"

#include <algorithm>  // std::all_of

#include "text_rows.hpp"  // allDigits

namespace kelvarin::prepare {

namespace {

// GHCN-Daily by station: ID (11 characters), YYYYMMDD, ELEMENT (4 capitals), DATA VALUE, M-FLAG,
// Q-FLAG, S-FLAG, OBS-TIME; no header row.
bool ghcnCsvRowFits(const std::vector<std::string_view>& fields) {
  return fields.size() == 8 && fields[0].size() == 11 && fields[1].size() == 8 &&
         allDigits(fields[1]) && fields[2].size() == 4 &&
         std::all_of(fields[2].begin(), fields[2].end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

// Meteostat's hourly bulk files: date (YYYY-MM-DD), hour (0 to 23, UTC), then eleven values,
// tsun the twelfth field of thirteen; no header row.
bool meteostatRowFits(const std::vector<std::string_view>& fields) {
  return fields.size() == 13 && fields[0].size() == 10 && fields[0][4] == '-' &&
         fields[0][7] == '-' && allDigits(fields[1]) && fields[1].size() <= 2;
}

SourceLayout dwdHourly() {
  return SourceLayout{
      .name = "dwd-hourly",
      .title = "hourly sunshine duration of the German weather service (SD_SO)",
      .document =
          "DWD Climate Data Center, hourly station observations of sunshine duration "
          "for Germany (OBS_DEU_PT1H_SD), dataset description",
      .example = "dwd-hourly",
      .stationList = "dwd-description",
      .shape = RowShape::kHeaderRow,
      .separator = ';',
      .headerHolds = {"STATIONS_ID", "MESS_DATUM", "QN_7", "SD_SO"},
      .station = {"STATIONS_ID"},
      .date = {"MESS_DATUM"},
      .stampFormat = StampFormat::kCompactHour,
      .value = {"SD_SO"},
      .unit = kMinutes,
      .missingMarkers = {"-999"},
      .historicalBeforeRecent = true,
      .time = TimeReference::kUtc,
      .stepMin = 60,
  };
}

SourceLayout dwdDaily() {
  return SourceLayout{
      .name = "dwd-daily",
      .title = "daily sunshine duration of the German weather service (SDK)",
      .document =
          "DWD Climate Data Center, daily station observations of climate values for "
          "Germany (OBS_DEU_P1D_KL), dataset description",
      .example = "dwd-daily",
      .stationList = "dwd-description",
      .shape = RowShape::kHeaderRow,
      .separator = ';',
      .headerHolds = {"STATIONS_ID", "MESS_DATUM", "QN_3", "SDK"},
      .station = {"STATIONS_ID"},
      .date = {"MESS_DATUM"},
      .stampFormat = StampFormat::kCompactDate,
      .value = {"SDK"},
      .unit = kHours,
      .missingMarkers = {"-999"},
      .historicalBeforeRecent = true,
      .time = TimeReference::kUtc,
      .stepMin = 1440,
  };
}

SourceLayout dwd10min() {
  return SourceLayout{
      .name = "dwd-10min",
      .title = "10-minute sunshine duration of the German weather service (SD_10)",
      .document =
          "DWD Climate Data Center, 10-minute station observations of sunshine "
          "duration for Germany (OBS_DEU_PT10M_SD), dataset description: hours, the "
          "stamp ends the interval, CET before 2000, UTC from 2000-01-01",
      .example = "dwd-10min",
      .stationList = "dwd-geography",
      .shape = RowShape::kHeaderRow,
      .separator = ';',
      .headerHolds = {"STATIONS_ID", "MESS_DATUM", "SD_10"},
      .station = {"STATIONS_ID"},
      .date = {"MESS_DATUM"},
      .stampFormat = StampFormat::kCompactMinute,
      .value = {"SD_10"},
      .unit = kHours,
      .missingMarkers = {"-999"},
      .historicalBeforeRecent = true,
      .time = TimeReference::kCetBefore2000,
      .stepMin = 10,
  };
}

SourceLayout ecaDaily() {
  return SourceLayout{
      .name = "eca-daily",
      .title = "daily sunshine duration of the European Climate Assessment & Dataset (SS)",
      .document =
          "ECA&D, the file format stated in the header of each SS_STAIDnnnnnn.txt: SS "
          "in 0.1 hours, -9999 missing, Q_SS 0 valid, 1 suspect, 9 missing",
      .example = "eca",
      .stationList = "eca-stations",
      .shape = RowShape::kHeaderRow,
      .separator = ',',
      .headerHolds = {"STAID", "DATE", "SS", "Q_SS"},
      .station = {"STAID"},
      .date = {"DATE"},
      .stampFormat = StampFormat::kCompactDate,
      .value = {"SS"},
      .flag = {"Q_SS"},
      .unit = kTenthsOfHours,
      .missingMarkers = {"-9999"},
      .missingFlags = "9",
      .suspectFlags = "1",
      .time = TimeReference::kLocalDays,
      .stepMin = 1440,
  };
}

SourceLayout knmiHourly() {
  return SourceLayout{
      .name = "knmi-hourly",
      .title = "hourly sunshine duration of the Royal Netherlands Meteorological Institute (SQ)",
      .document =
          "KNMI, hourly data of the Dutch weather stations, the legend in each file's "
          "header: hour division HH runs from HH-1 to HH UT, SQ in 0.1 hours, -1 for "
          "less than 0.05 hours",
      .example = "knmi-hourly",
      .stationList = "knmi-header",
      .shape = RowShape::kHeaderRow,
      .separator = ',',
      .headerHolds = {"STN", "YYYYMMDD", "HH", "SQ"},
      .station = {"STN"},
      .date = {"YYYYMMDD"},
      .hour = {"HH"},
      .stampFormat = StampFormat::kCompactDate,
      .hourCount = HourCount::kOneTo24,
      .value = {"SQ"},
      .unit = kTenthsOfHours,
      .traceValue = -1.0,
      .traceMinutes = 1.5,
      .time = TimeReference::kUtc,
      .stepMin = 60,
  };
}

SourceLayout knmiDaily() {
  return SourceLayout{
      .name = "knmi-daily",
      .title = "daily sunshine duration of the Royal Netherlands Meteorological Institute (SQ)",
      .document =
          "KNMI, daily data of the Dutch weather stations, the legend in each file's "
          "header: days of UT, SQ in 0.1 hours, -1 for less than 0.05 hours",
      .example = "knmi-daily",
      .stationList = "knmi-header",
      .shape = RowShape::kHeaderRow,
      .separator = ',',
      // SQ alone is a download of sunshine only; the hourly layout, tried first, holds HH.
      .headerHolds = {"STN", "YYYYMMDD", "SQ"},
      .station = {"STN"},
      .date = {"YYYYMMDD"},
      .stampFormat = StampFormat::kCompactDate,
      .value = {"SQ"},
      .unit = kTenthsOfHours,
      .traceValue = -1.0,
      .traceMinutes = 1.5,
      .time = TimeReference::kUtc,
      .stepMin = 1440,
  };
}

SourceLayout ghcnDaily() {
  return SourceLayout{
      .name = "ghcn-daily",
      .title = "daily sunshine duration of GHCN-Daily (TSUN)",
      .document =
          "NOAA NCEI, GHCN-Daily readme.txt, section III: TSUN in minutes, -9999 "
          "missing, a Q-FLAG other than blank marks a value that failed a quality check",
      .example = "ghcn-dly",
      .stationList = "ghcn-stations",
      .shape = RowShape::kMonthLines,
      .separator = '\0',
      .stationFrom = StationFrom::kMonthLine,
      .wantedElement = "TSUN",
      .monthLine = MonthLineFields{11, 11, 15, 17, 21, 8, 5, 6},
      .unit = kMinutes,
      .missingMarkers = {"-9999"},
      .missingFlags = "DGIKLMNORSTWXZ",
      .time = TimeReference::kLocalDays,
      .stepMin = 1440,
  };
}

SourceLayout ghcnCsv() {
  return SourceLayout{
      .name = "ghcn-csv",
      .title = "daily sunshine duration of GHCN-Daily by station (TSUN)",
      .document =
          "NOAA NCEI, GHCN-Daily by_station readme: ID, YYYYMMDD, ELEMENT, DATA VALUE, "
          "M-FLAG, Q-FLAG, S-FLAG, OBS-TIME; TSUN in minutes as in readme.txt",
      .example = "ghcn-csv",
      .stationList = "ghcn-stations",
      .shape = RowShape::kNoHeaderRow,
      .separator = ',',
      .firstRowFits = ghcnCsvRowFits,
      .station = {"", 0},
      .date = {"", 1},
      .stampFormat = StampFormat::kCompactDate,
      .value = {"", 3},
      .flag = {"", 5},
      .element = {"", 2},
      .wantedElement = "TSUN",
      .unit = kMinutes,
      .missingMarkers = {"-9999"},
      .missingFlags = "DGIKLMNORSTWXZ",
      .time = TimeReference::kLocalDays,
      .stepMin = 1440,
  };
}

SourceLayout meteoswissHourly() {
  return SourceLayout{
      .name = "meteoswiss-hourly",
      .title = "hourly sunshine duration of MeteoSwiss open data (sre000h0)",
      .document =
          "MeteoSwiss Open Data, Download: stamps in UTC, an hourly stamp ends its "
          "hour, missing values empty; ogd-smn_meta_parameters.csv: sre000h0 in minutes",
      .example = "meteoswiss-hourly",
      .stationList = "meteoswiss-stations",
      .shape = RowShape::kHeaderRow,
      .separator = ';',
      .headerHolds = {"station_abbr", "reference_timestamp", "sre000h0"},
      .station = {"station_abbr"},
      .date = {"reference_timestamp"},
      .stampFormat = StampFormat::kDotted,
      .value = {"sre000h0"},
      .unit = kMinutes,
      // 2018-01-01 00:00 UTC, the end of the last hour of 2017.
      .earlyWindowUntilMin = std::int64_t{17532} * 1440,
      .earlyWindowSlipMin = 20,
      .earlyWindowNote =
          "MeteoSwiss's notes give the hourly values before 2018 the SYNOP schedule: the "
          "value of 16:00 covers 14:50 to 15:40",
      .time = TimeReference::kUtc,
      .stepMin = 60,
  };
}

SourceLayout meteoswissDaily() {
  return SourceLayout{
      .name = "meteoswiss-daily",
      .title = "daily sunshine duration of MeteoSwiss open data (sre000d0)",
      .document =
          "MeteoSwiss Open Data, Download: stamps in UTC, a daily stamp (00:00) begins "
          "its day, missing values empty; ogd-smn_meta_parameters.csv: sre000d0 in "
          "minutes",
      .example = "meteoswiss-daily",
      .stationList = "meteoswiss-stations",
      .shape = RowShape::kHeaderRow,
      .separator = ';',
      .headerHolds = {"station_abbr", "reference_timestamp", "sre000d0"},
      .station = {"station_abbr"},
      .date = {"reference_timestamp"},
      .stampFormat = StampFormat::kDotted,
      .value = {"sre000d0"},
      .unit = kMinutes,
      .stampsMarkStart = true,
      .time = TimeReference::kUtc,
      .stepMin = 1440,
  };
}

SourceLayout meteoswiss10min() {
  return SourceLayout{
      .name = "meteoswiss-10min",
      .title = "10-minute sunshine duration of MeteoSwiss open data (sre000z0)",
      .document =
          "MeteoSwiss Open Data, Download: granularity t (10 minutes), stamps in UTC at the "
          "end of their interval as the hourly ones, missing values empty; "
          "ogd-smn_meta_parameters.csv: sre000z0 in minutes",
      .example = "meteoswiss-10min",
      .stationList = "meteoswiss-stations",
      .shape = RowShape::kHeaderRow,
      .separator = ';',
      .headerHolds = {"station_abbr", "reference_timestamp", "sre000z0"},
      .station = {"station_abbr"},
      .date = {"reference_timestamp"},
      .stampFormat = StampFormat::kDotted,
      .value = {"sre000z0"},
      .unit = kMinutes,
      .time = TimeReference::kUtc,
      .stepMin = 10,
  };
}

SourceLayout meteostatHourly() {
  return SourceLayout{
      .name = "meteostat-hourly",
      .title = "hourly sunshine duration of Meteostat bulk data (tsun)",
      .document =
          "Meteostat bulk data, hourly: date, hour (UTC), ..., tsun the one hour "
          "sunshine total in minutes, thirteen columns, no header row, one station a "
          "file named by its identifier; an hour's observation reports the hour it ends",
      .example = "meteostat",
      .stationList = "places",
      .shape = RowShape::kNoHeaderRow,
      .separator = ',',
      .firstRowFits = meteostatRowFits,
      .stationFrom = StationFrom::kFileStem,
      .date = {"", 0},
      .hour = {"", 1},
      .stampFormat = StampFormat::kIsoDate,
      .hourCount = HourCount::kZeroTo23,
      .value = {"", 11},
      .unit = kMinutes,
      .time = TimeReference::kUtc,
      .stepMin = 60,
  };
}

// The files of one station and year that replaced the files of one station (data.meteostat.net
// since 2025): a header row, the date in three columns, and a source column beside each value.
SourceLayout meteostatHourlyYear() {
  return SourceLayout{
      .name = "meteostat-hourly-year",
      .title = "hourly sunshine duration of Meteostat yearly dumps (tsun)",
      .document =
          "Meteostat, dev.meteostat.net/data/timeseries/hourly: one file a station and year "
          "(hourly/{year}/{station}.csv.gz), commas, a header row of parameter codes, a "
          "_source column beside each; Formats & Units: UTC, sunshine duration in minutes; "
          "gaps may be filled with model data; the hour as in the older hourly files",
      .example = "meteostat-year",
      .stationList = "places",
      .shape = RowShape::kHeaderRow,
      .separator = ',',
      .headerHolds = {"year", "month", "day", "hour", "tsun"},
      .stationFrom = StationFrom::kFileStemWithoutYear,
      .date = {"year"},
      .month = {"month"},
      .day = {"day"},
      .hour = {"hour"},
      .stampFormat = StampFormat::kIsoDate,
      .hourCount = HourCount::kZeroTo23,
      .value = {"tsun"},
      .unit = kMinutes,
      .time = TimeReference::kUtc,
      .stepMin = 60,
  };
}

}  // namespace

const std::vector<SourceLayout>& knownLayouts() {
  static const std::vector<SourceLayout> layouts = {
      dwdHourly(),           dwdDaily(),        dwd10min(),        ecaDaily(),
      knmiHourly(),          knmiDaily(),       ghcnDaily(),       ghcnCsv(),
      meteoswissHourly(),    meteoswissDaily(), meteoswiss10min(), meteostatHourly(),
      meteostatHourlyYear(),
  };
  return layouts;
}

const char* unitName(ValueUnit unit) {
  return unit.written() == kHours ? "hours" : "minutes";
}

}  // namespace kelvarin::prepare
