#include "station_lists.hpp"

#include <algorithm>  // std::all_of, std::count, std::find_if
#include <array>
#include <charconv>  // std::from_chars
#include <cmath>     // std::isfinite, std::fabs

#include "longitude.hpp"     // the rule kelvarin reads longitudes by
#include "places_table.hpp"  // kelvarin's own table, read as kelvarin reads it
#include "table_state.hpp"   // the rows of a list, read as a table's
#include "text_rows.hpp"
#include "time_stamps.hpp"

namespace kelvarin::prepare {

namespace {

using Row = StationListLayout::Row;

constexpr std::int64_t kMinutesPerDay = 1440;

// The columns of a list with a header row, as `recognise` leaves them in its vector.
enum ListColumn : std::size_t {
  kSeparator,
  kStation,
  kLatitude,
  kLongitude,
  kName,
  kFrom,
  kTo,
  kFields,  // of the header row, where a row may not have more
  kListColumns
};

bool startsWithName(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && equalsIgnoringCase(text.substr(0, start.size()), start);
}

std::optional<double> decimal(std::string_view text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Days since 1970-01-01 of a date written YYYYMMDD; nothing for another text. The stamp reader
// gives the end of the day.
std::optional<std::int64_t> dayOf(std::string_view text) {
  const std::optional<std::int64_t> end = readStamp(text, StampFormat::kCompactDate);
  if (!end) {
    return std::nullopt;
  }
  return *end / kMinutesPerDay - 1;
}

// Reads the latitude and longitude of a row into `place`; the fault names the field.
Row readPlace(std::string_view latitude, std::string_view longitude, PlaceRow& place,
              std::string& fault) {
  const std::optional<double> lat = readAngle(latitude, 90.0);
  // Some lists count longitudes from 0 to 360 east: kelvarin and the zone take -180 to 180
  // (353.75, Dublin, is -6.25; as 353.75 its zone would be UTC+24 and every day night).
  const std::optional<double> read = readAngle(longitude, kMostLongitudeDeg);
  const std::optional<double> lon = read ? halfCircleLongitude(*read) : std::nullopt;
  if (!lat || !lon) {
    fault =
        "the " +
        std::string(lat ? "longitude " + quoteText(longitude) : "latitude " + quoteText(latitude)) +
        " is no angle in degrees";
    return Row::kFault;
  }
  place.latitudeDeg = *lat;
  place.longitudeDeg = *lon;
  return Row::kStation;
}

// A list with a header row: finds the header among the first rows (free text may precede it)
// and the columns named `names` (station, latitude, longitude, name, from, to; "" for none).
std::optional<std::size_t> findHeader(const std::vector<std::string>& rows,
                                      const std::array<std::string_view, 6>& names,
                                      std::string_view separators, std::vector<int>& columns) {
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].empty() || rows[r][0] == '#') {
      continue;
    }
    // The most frequent separator of the header row; runs of blanks where none stands in it.
    std::string_view candidates = separators;
    const bool blanks = candidates.back() == ' ';
    if (blanks) {
      candidates.remove_suffix(1);
    }
    const char separator =
        mostFrequentOf(rows[r], candidates).value_or(blanks ? ' ' : separators[0]);
    const std::vector<std::string_view> header = splitFields(rows[r], separator);
    columns.assign(kListColumns, -1);
    columns[kSeparator] = separator;
    columns[kFields] = static_cast<int>(header.size());
    bool all = true;
    for (std::size_t k = 0; k < names.size(); ++k) {
      const auto at = std::find_if(header.begin(), header.end(), [&](std::string_view h) {
        return equalsIgnoringCase(h, names[k]);
      });
      if (at != header.end()) {
        columns[kStation + k] = static_cast<int>(at - header.begin());
      } else if (k < 3) {
        all = false;
      }
    }
    if (all) {
      return r + 1;
    }
  }
  return std::nullopt;
}

// Reads a row of a list with a header row, as `findHeader` found its columns.
Row readHeaderRow(std::string_view row, const std::vector<int>& columns, PlaceRow& place,
                  std::string& fault) {
  if (row.empty() || row[0] == '#') {
    return Row::kSkip;
  }
  const std::vector<std::string_view> fields =
      splitFields(row, static_cast<char>(columns[kSeparator]));
  const auto field = [&](std::size_t column) -> std::string_view {
    const int at = columns[column];
    return at >= 0 && static_cast<std::size_t>(at) < fields.size()
               ? fields[static_cast<std::size_t>(at)]
               : "";
  };
  if (field(kStation).empty()) {
    fault = "no station in the row";
    return Row::kFault;
  }
  place.key = stationKey(field(kStation));
  // A field more than the header names (a comma in a name) would move every column after it:
  // "433,52,5,13,4,Tempelhof" would put the station at latitude 52, longitude 5.
  if (columns[kFields] >= 0 && fields.size() > static_cast<std::size_t>(columns[kFields])) {
    fault = std::to_string(fields.size()) + " fields, more than the " +
            std::to_string(columns[kFields]) + " the header row names";
    return Row::kFault;
  }
  place.name = std::string(field(kName));
  if (const std::optional<std::int64_t> from = dayOf(field(kFrom))) {
    place.fromDay = *from;
  }
  if (const std::optional<std::int64_t> to = dayOf(field(kTo))) {
    place.toDay = *to;
  }
  return readPlace(field(kLatitude), field(kLongitude), place, fault);
}

// The German weather service's station description (*_Beschreibung_Stationen.txt): a header
// row of words, a ruler of dashes, then blank-aligned rows: Stations_id von_datum bis_datum
// Stationshoehe geoBreite geoLaenge Stationsname Bundesland [Abgabe]; the name may hold single
// blanks and ends at a run of them. Latin-1.
std::optional<std::size_t> recogniseDwdDescription(const std::vector<std::string>& rows,
                                                   std::vector<int>&) {
  if (!rows.empty() && startsWithName(rows[0], "Stations_id von_datum bis_datum")) {
    return 1;
  }
  return std::nullopt;
}

Row readDwdDescriptionRow(std::string_view row, const std::vector<int>&, PlaceRow& place,
                          std::string& fault) {
  const std::vector<std::string_view> fields = splitAtBlankRuns(row);
  if (fields.empty() || fields[0].front() == '-') {
    return Row::kSkip;
  }
  // The station first: a short row of a station the data do not hold is passed over.
  place.key = stationKey(fields[0]);
  if (fields.size() < 7) {
    fault = "fewer than seven fields";
    return Row::kFault;
  }
  if (const std::optional<std::int64_t> from = dayOf(fields[1])) {
    place.fromDay = *from;
  }
  if (const std::optional<std::int64_t> to = dayOf(fields[2])) {
    place.toDay = *to;
  }
  const std::size_t nameAt = static_cast<std::size_t>(fields[6].data() - row.data());
  const std::size_t nameEnd = std::min(row.find("  ", nameAt), row.size());
  place.name = row.substr(nameAt, nameEnd - nameAt);
  return readPlace(fields[4], fields[5], place, fault);
}

// The German weather service's Metadaten_Geographie_*.txt: one row per location period,
// Stations_id;Stationshoehe;Geogr.Breite;Geogr.Laenge;von_datum;bis_datum;Stationsname.
std::optional<std::size_t> recogniseDwdGeography(const std::vector<std::string>& rows,
                                                 std::vector<int>& columns) {
  return findHeader(
      rows,
      {"Stations_id", "Geogr.Breite", "Geogr.Laenge", "Stationsname", "von_datum", "bis_datum"},
      ";", columns);
}

// ECA&D's stations.txt: free text, then STAID,STANAME,CN,LAT,LON,HGHT with angles in
// degrees:minutes:seconds.
std::optional<std::size_t> recogniseEcaStations(const std::vector<std::string>& rows,
                                                std::vector<int>& columns) {
  return findHeader(rows, {"STAID", "LAT", "LON", "STANAME", "", ""}, ",", columns);
}

// ECA&D's stations.txt documents its columns by position in its own header: STAID 01-05, STANAME
// 07-46, CN 48-49, LAT 51-59, LON 61-70 (1-based). Read there, a comma inside a name ("BERLIN,
// DAHLEM") moves nothing; a row off those positions is split at its commas instead.
Row readEcaStationRow(std::string_view row, const std::vector<int>& columns, PlaceRow& place,
                      std::string& fault) {
  const bool fixed = row.size() >= 70 && row[5] == ',' && row[46] == ',' && row[49] == ',' &&
                     row[59] == ',' && (row.size() == 70 || row[70] == ',');
  if (!fixed) {
    return readHeaderRow(row, columns, place, fault);
  }
  const std::string_view station = trimBlanks(row.substr(0, 5), '\0');
  if (station.empty()) {
    fault = "no station in the row";
    return Row::kFault;
  }
  place.key = stationKey(station);
  place.name = std::string(trimBlanks(row.substr(6, 40), '\0'));
  return readPlace(trimBlanks(row.substr(50, 9), '\0'), trimBlanks(row.substr(60, 10), '\0'), place,
                   fault);
}

// GHCN-Daily's ghcnd-stations.txt, fixed width: ID 1-11, LATITUDE 13-20, LONGITUDE 22-30,
// ELEVATION 32-37, STATE 39-40, NAME 42-71 (1-based columns).
bool ghcnStationRowFits(std::string_view row) {
  return row.size() >= 30 && row[11] == ' ' && decimal(trimBlanks(row.substr(12, 8), '\0')) &&
         decimal(trimBlanks(row.substr(21, 9), '\0'));
}

std::optional<std::size_t> recogniseGhcnStations(const std::vector<std::string>& rows,
                                                 std::vector<int>&) {
  if (!rows.empty() && ghcnStationRowFits(rows[0])) {
    return 0;
  }
  return std::nullopt;
}

Row readGhcnStationRow(std::string_view row, const std::vector<int>&, PlaceRow& place,
                       std::string& fault) {
  place.key = std::string(trimBlanks(row.substr(0, std::min<std::size_t>(row.size(), 11)), '\0'));
  if (!ghcnStationRowFits(row)) {
    fault = "not a station row of fixed width (ID, LATITUDE, LONGITUDE, ...)";
    return Row::kFault;
  }
  place.name = row.size() > 41 ? std::string(trimBlanks(row.substr(41, 30), '\0')) : "";
  return readPlace(trimBlanks(row.substr(12, 8), '\0'), trimBlanks(row.substr(21, 9), '\0'), place,
                   fault);
}

// KNMI's data files list their stations in the free text before the header row:
// "STN: LON(east) LAT(north) ALT(m) NAME", as "260:   5.180  52.100  1.90  De Bilt". Downloads
// of today write the number without its colon ("260   5.180  52.100  1.90  De Bilt"); such a
// line is a station only where the three numbers follow, since other free text may start with
// digits too.
Row readKnmiStationLine(std::string_view row, const std::vector<int>&, PlaceRow& place,
                        std::string& fault) {
  // The zip files write these lines as they are, the download script behind "# ".
  const std::string_view text = !row.empty() && row[0] == '#' ? row.substr(1) : row;
  const std::vector<std::string_view> fields = splitAtBlankRuns(text);
  if (fields.size() < 4) {
    return Row::kSkip;
  }
  const bool colon = fields[0].back() == ':';
  const std::string_view number = fields[0].substr(0, fields[0].size() - (colon ? 1 : 0));
  if (!allDigits(number) ||
      (!colon && (!decimal(fields[1]) || !decimal(fields[2]) || !decimal(fields[3])))) {
    return Row::kSkip;
  }
  place.key = stationKey(number);
  const std::size_t nameAt =
      fields.size() > 4 ? static_cast<std::size_t>(fields[4].data() - row.data()) : row.size();
  place.name = std::string(trimBlanks(row.substr(nameAt), '\0'));
  return readPlace(fields[2], fields[1], place, fault);
}

std::optional<std::size_t> neverAlone(const std::vector<std::string>&, std::vector<int>&) {
  return std::nullopt;
}

// MeteoSwiss's ogd-smn_meta_stations.csv: station_abbr, station_name, ...,
// station_coordinates_wgs84_lat, station_coordinates_wgs84_lon; ';', latin-1.
std::optional<std::size_t> recogniseMeteoSwissStations(const std::vector<std::string>& rows,
                                                       std::vector<int>& columns) {
  return findHeader(rows,
                    {"station_abbr", "station_coordinates_wgs84_lat",
                     "station_coordinates_wgs84_lon", "station_name", "", ""},
                    ";", columns);
}

// The places table kelvarin --places reads, recognised and read by the same rules: its first row
// that is neither blank nor a '#' line names the columns.
std::optional<std::size_t> recognisePlacesTable(const std::vector<std::string>& rows,
                                                std::vector<int>& columns) {
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::string_view row = trimBlanks(rows[r], ' ');
    if (row.empty() || row[0] == '#') {
      continue;
    }
    PlacesColumns found{};
    if (readPlacesHeader(row, found)) {
      return std::nullopt;
    }
    columns.assign(kListColumns, -1);
    columns[kSeparator] = found.separator;
    columns[kStation] = static_cast<int>(found.station);
    columns[kLatitude] = static_cast<int>(found.latitude);
    columns[kLongitude] = static_cast<int>(found.longitude);
    columns[kName] = found.name ? static_cast<int>(*found.name) : -1;
    columns[kFields] = static_cast<int>(found.fields);
    return r + 1;
  }
  return std::nullopt;
}

Row readPlacesTableRow(std::string_view text, const std::vector<int>& columns, PlaceRow& place,
                       std::string& fault) {
  const std::string_view row = trimBlanks(text, ' ');
  if (row.empty() || row[0] == '#') {
    return Row::kSkip;
  }
  const auto at = [&columns](ListColumn column) {
    return static_cast<std::size_t>(columns[column]);
  };
  PlacesColumns table{static_cast<char>(columns[kSeparator]),
                      at(kStation),
                      at(kLatitude),
                      at(kLongitude),
                      std::nullopt,
                      at(kFields)};
  if (columns[kName] >= 0) {
    table.name = at(kName);
  }
  PlacesRow read{};
  if (std::optional<std::string> refusal = readPlacesRow(row, table, read)) {
    fault = *refusal;
    // Its station, where the field can be told: a row of a station the data do not hold is
    // passed over.
    const std::vector<std::string_view> fields = splitFields(row, table.separator);
    if (table.station < fields.size()) {
      place.key = stationKey(trimBlanks(fields[table.station], ' '));
    }
    return Row::kFault;
  }
  place.key = std::to_string(read.station);
  place.latitudeDeg = static_cast<double>(read.latitudeDeg);
  place.longitudeDeg = static_cast<double>(read.longitudeDeg);  // turned west by the reader
  place.name = std::string(read.name);
  return Row::kStation;
}

}  // namespace

const std::vector<StationListLayout>& knownStationLists() {
  static const std::vector<StationListLayout> lists = {
      {"dwd-description",
       "DWD Climate Data Center, station description of each product "
       "(*_Beschreibung_Stationen.txt)",
       recogniseDwdDescription, readDwdDescriptionRow},
      {"dwd-geography",
       "DWD Climate Data Center, station metadata of each station's archive "
       "(Metadaten_Geographie_*.txt)",
       recogniseDwdGeography, readHeaderRow},
      {"eca-stations", "ECA&D, stations.txt: the file format stated in its header",
       recogniseEcaStations, readEcaStationRow},
      {"ghcn-stations", "NOAA NCEI, GHCN-Daily readme.txt, section IV (ghcnd-stations.txt)",
       recogniseGhcnStations, readGhcnStationRow},
      {"knmi-header", "KNMI, the station lines in the header of each data file", neverAlone,
       readKnmiStationLine, true},
      {"meteoswiss-stations", "MeteoSwiss Open Data, ogd-smn_meta_stations.csv",
       recogniseMeteoSwissStations, readHeaderRow},
      {"places", "kelvarin's own places table (kelvarin --places)", recognisePlacesTable,
       readPlacesTableRow},
  };
  return lists;
}

// Reads a station list from its first station row to its end into the collection's places.
std::optional<Refusal> readStationList(TableState& table, const StationListLayout& list,
                                       const std::vector<int>& listColumns, std::size_t first,
                                       Collection& collection) {
  table.replayed = first;
  collection.lists.push_back(table.name + " (" + std::string(list.name) + ")");
  for (;;) {
    const RowStatus status = nextTableRow(table);
    if (status == RowStatus::kEnd) {
      return std::nullopt;
    }
    if (auto refusal = rowFault(status, table)) {
      return refusal;
    }
    if (allBlank(table.row)) {
      continue;
    }
    PlaceRow place;
    std::string fault;
    const StationListLayout::Row read = list.readRow(table.row, listColumns, place, fault);
    if (read == StationListLayout::Row::kFault) {
      const std::string message = lineOf(table) + ": station list (" + std::string(list.name) +
                                  "): " + fault + ": " + quoteText(table.row);
      // Refused only if the data hold the station: a list names thousands the data never need.
      // A row whose station cannot be told is no station of the data's place: a station left
      // without one is named by the summary, and kelvarin --places refuses it.
      collection.unreadablePlaces.push_back(UnreadablePlace{place.key, message});
    }
    if (read == StationListLayout::Row::kStation) {
      place.name = toUtf8(place.name);
      place.where = lineOf(table);
      collection.places.push_back(std::move(place));
    }
  }
}

const StationListLayout* recogniseStationList(const std::vector<std::string>& rows,
                                              std::vector<int>& columns,
                                              std::size_t& firstStation) {
  for (const StationListLayout& list : knownStationLists()) {
    if (const std::optional<std::size_t> first = list.recognise(rows, columns)) {
      firstStation = *first;
      return &list;
    }
  }
  return nullptr;
}

void readPreamblePlaces(const std::vector<std::string>& rows, std::size_t count,
                        std::vector<PlaceRow>& places,
                        const std::function<std::string(std::size_t)>& where) {
  const std::vector<int> none;
  for (const StationListLayout& list : knownStationLists()) {
    if (!list.inDataPreamble) {
      continue;
    }
    for (std::size_t r = 0; r < count && r < rows.size(); ++r) {
      PlaceRow place;
      std::string fault;
      if (list.readRow(rows[r], none, place, fault) == Row::kStation) {
        place.name = toUtf8(place.name);
        place.where = where(r);
        places.push_back(std::move(place));
      }
    }
  }
}

std::optional<double> readAngle(std::string_view text, double limit) {
  std::optional<double> angle;
  if (text.find(':') == std::string_view::npos) {
    angle = decimal(text.substr(!text.empty() && text[0] == '+' ? 1 : 0));
  } else {
    // degrees:minutes:seconds, the sign before the degrees
    const bool negative = !text.empty() && text[0] == '-';
    const std::string_view unsigned_ =
        text.substr(!text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0);
    const std::vector<std::string_view> parts = splitFields(unsigned_, ':');
    if (parts.size() != 3) {
      return std::nullopt;
    }
    const double degrees = decimal(parts[0]).value_or(-1.0);
    const double minutes = decimal(parts[1]).value_or(-1.0);
    const double seconds = decimal(parts[2]).value_or(-1.0);
    if (minutes >= 0 && minutes < 60 && seconds >= 0 && seconds < 60 && degrees >= 0) {
      const double value = degrees + minutes / 60.0 + seconds / 3600.0;
      angle = negative ? -value : value;
    }
  }
  if (!angle || std::fabs(*angle) > limit) {
    return std::nullopt;
  }
  return angle;
}

}  // namespace kelvarin::prepare
