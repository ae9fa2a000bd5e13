#include "places_table.hpp"

#include <algorithm>  // std::find_if, std::max
#include <cctype>     // std::isspace
#include <charconv>   // std::from_chars
#include <cmath>      // std::isfinite, std::fabs
#include <cstdlib>    // std::strtof
#include <limits>     // std::numeric_limits
#include <unordered_map>

#include "longitude.hpp"
#include "station_number.hpp"
#include "text.hpp"

namespace kelvarin {

namespace {

// The largest places table: a million stations fit many times, and a wrong file (or /dev/zero)
// is refused before it fills the memory.
constexpr std::size_t kMaxTableBytes = std::size_t{64} << 20;

// Reads an angle as an answer is read: single precision, the whole field a finite number (strtof
// is the conversion of the answers' "%f", without a format to interpret for every row).
std::optional<float> readAngle(std::string_view text) {
  // The plain decimals of almost every table first: from_chars rounds them as strtof does, to
  // the nearest float, and a table of 20,000 stations took a tenth of a run in strtof and the
  // copies it needs. Everything else (a sign "+", a hexadecimal, a blank) is strtof's to judge.
  float fast = 0.0f;
  const std::from_chars_result parsed =
      std::from_chars(text.data(), text.data() + text.size(), fast);
  if (parsed.ec == std::errc() && parsed.ptr == text.data() + text.size() && !text.empty() &&
      std::isfinite(fast)) {
    return fast;
  }
  const std::string copy(text);
  char* end = nullptr;
  const float value = std::strtof(copy.c_str(), &end);
  if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(value) ||
      std::isspace(static_cast<unsigned char>(copy[0])) != 0) {
    return std::nullopt;
  }
  return value;
}

// Reads the whole table, at most kMaxTableBytes.
std::optional<PlacesFault> readWhole(std::FILE* file, std::string& text) {
  char chunk[1 << 16];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
    if (text.size() + got > kMaxTableBytes) {
      return PlacesFault{0, "larger than 64 MiB: not a places table"};
    }
    text.append(chunk, got);
  }
  if (std::ferror(file) != 0) {
    return PlacesFault{0, "cannot be read to its end"};
  }
  return std::nullopt;
}

// Keeps a row's place; a station's second row must give the same place.
std::optional<PlacesFault> addPlace(const StationPlace& place, std::vector<StationPlace>& places,
                                    std::unordered_map<std::int64_t, std::size_t>& seen) {
  const auto [known, added] = seen.emplace(place.station, places.size());
  if (added) {
    places.push_back(place);
    return std::nullopt;
  }
  const StationPlace& before = places[known->second];
  if (before.latitudeDeg != place.latitudeDeg || before.longitudeDeg != place.longitudeDeg) {
    return PlacesFault{0, "station " + std::to_string(place.station) +
                              " has two rows of different places, lines " +
                              std::to_string(before.line) + " and " + std::to_string(place.line)};
  }
  return std::nullopt;
}

// Splits a row into `fields`: at runs of blanks, or at the separator with quoted fields read as
// RFC 4180 writes them. A quote inside an unquoted field (a name such as Berlin "Dahlem") is
// taken as it stands.
std::optional<std::string> splitPlacesRow(std::string_view row, const PlacesColumns& columns,
                                          Fields& fields) {
  return splitTableRow(row, columns.separator, columns.fields, fields);
}

}  // namespace

std::optional<std::string> splitTableRow(std::string_view row, char separator,
                                         std::size_t headerFields, Fields& fields) {
  if (separator == ' ') {
    fields.views = splitAtBlankRuns(row);
    fields.count = fields.views.size();
    return std::nullopt;
  }
  const std::size_t most = headerFields + 1;  // one more tells a row of too many
  const FieldStatus split = splitRow(row, separator, most, fields);
  if (split == FieldStatus::kStrayQuote && fields.views.size() < fields.count &&
      fields.count <= most) {
    return "field " + std::to_string(fields.count) + ": a quoted field is not closed";
  }
  if (split == FieldStatus::kTextAfterQuote) {
    return "field " + std::to_string(fields.faultAt) +
           ": text after the closing quote (a quote inside a quoted field is written \"\")";
  }
  return std::nullopt;
}

std::optional<std::size_t> findColumn(const std::vector<std::string_view>& header,
                                      std::string_view name) {
  const auto found = std::find_if(header.begin(), header.end(), [name](std::string_view field) {
    return equalsIgnoringCase(field, name);
  });
  if (found == header.end()) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(found - header.begin());
}

std::optional<std::string> readPlacesHeader(std::string_view row, PlacesColumns& columns) {
  columns.separator = mostFrequentOf(row, ";,\t").value_or(' ');
  columns.fields = std::numeric_limits<std::size_t>::max() - 1;
  Fields split;
  if (std::optional<std::string> fault = splitPlacesRow(row, columns, split)) {
    return fault;
  }
  const std::vector<std::string_view>& header = split.views;
  const auto find = [&header](std::string_view name) { return findColumn(header, name); };
  std::size_t* const where[] = {&columns.station, &columns.latitude, &columns.longitude};
  const char* const names[] = {"station", "latitude", "longitude"};
  for (std::size_t k = 0; k < 3; ++k) {
    const std::optional<std::size_t> at = find(names[k]);
    if (!at) {
      return std::string("no column \"") + names[k] + "\" in the header row";
    }
    *where[k] = *at;
  }
  columns.name = find("name");
  columns.fields = header.size();
  return std::nullopt;
}

std::optional<std::string> readPlacesRow(std::string_view row, const PlacesColumns& columns,
                                         PlacesRow& place) {
  if (std::optional<std::string> fault = splitPlacesRow(row, columns, place.fields)) {
    return fault;
  }
  const std::vector<std::string_view>& fields = place.fields.views;
  const std::size_t needed = 1 + std::max({columns.station, columns.latitude, columns.longitude});
  if (place.fields.count < needed) {
    return std::to_string(place.fields.count) + " fields, fewer than the header row names";
  }
  // A field more than the header names (a comma or a blank inside a name) would move the angles
  // of every column after it: the row would give another place without a word.
  if (place.fields.count > columns.fields) {
    return std::to_string(place.fields.count) + " fields, more than the " +
           std::to_string(columns.fields) + " the header row names";
  }
  const StationNumber station = stationNumberOf(fields[columns.station]);
  if (station.status != StationNumberStatus::kNumber) {
    return stationNumberFault(fields[columns.station], station.status);
  }
  const std::optional<float> latitude = readAngle(fields[columns.latitude]);
  const std::optional<float> longitude = readAngle(fields[columns.longitude]);
  if (!latitude || !longitude) {
    const std::string_view text = !latitude ? fields[columns.latitude] : fields[columns.longitude];
    return std::string("the ") + (!latitude ? "latitude" : "longitude") + " \"" +
           std::string(text) + "\" is not a number";
  }
  if (std::fabs(*latitude) > 90.0f) {
    return "the latitude (" + std::string(fields[columns.latitude]) +
           ") is not between -90 and 90 degrees";
  }
  const std::optional<double> east = halfCircleLongitude(static_cast<double>(*longitude));
  if (!east) {
    return "the longitude (" + std::string(fields[columns.longitude]) +
           ") is not between -180 and 360 degrees";
  }
  const bool named = columns.name && *columns.name < fields.size();
  place.station = station.value;
  place.latitudeDeg = *latitude;
  place.longitudeDeg = static_cast<float>(*east);
  place.name = named ? fields[*columns.name] : std::string_view();
  return std::nullopt;
}

std::optional<PlacesFault> forEachTableRow(std::FILE* file, const TableRowTaker& take) {
  std::string whole;
  if (auto fault = readWhole(file, whole)) {
    return fault;
  }
  const std::string_view text = withoutByteOrderMark(whole);
  std::uint64_t number = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = std::min(text.find('\n', start), text.size());
    // A quoted field holding a line break goes on in the next line: an odd number of quotes.
    const std::uint64_t first = ++number;
    if (text.substr(start, end - start).find('"') != std::string_view::npos) {
      for (std::size_t quotes = quotesIn(text.substr(start, end - start));
           quotes % 2 == 1 && end < text.size(); ++number) {
        const std::size_t next = std::min(text.find('\n', end + 1), text.size());
        quotes += quotesIn(text.substr(end + 1, next - end - 1));
        end = next;
      }
    }
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (first == 1) {
      if (auto fault = notTextTable(line.substr(0, line.size() - (line.ends_with('\r') ? 1 : 0)))) {
        return PlacesFault{1, *fault};
      }
    }
    const std::string_view row = trimBlanks(line, ' ');
    if (row.empty() || row.front() == '#') {
      continue;
    }
    if (std::optional<std::string> fault = take(row, first)) {
      return PlacesFault{first, *fault};
    }
  }
  return std::nullopt;
}

std::optional<PlacesFault> readPlacesTable(std::FILE* file, std::vector<StationPlace>& places) {
  std::optional<PlacesColumns> columns;
  std::unordered_map<std::int64_t, std::size_t> seen;
  PlacesRow place;
  std::optional<PlacesFault> twice;
  std::optional<PlacesFault> fault = forEachTableRow(file, [&](std::string_view row,
                                                               std::uint64_t line) {
    if (!columns) {
      columns.emplace();
      return readPlacesHeader(row, *columns);
    }
    if (auto text = readPlacesRow(row, *columns, place)) {
      return text;
    }
    twice = addPlace({place.station, place.latitudeDeg, place.longitudeDeg, line}, places, seen);
    return twice ? std::optional<std::string>(twice->text) : std::nullopt;
  });
  if (twice) {
    return twice;  // about two lines: named in its text
  }
  if (fault) {
    return fault;
  }
  if (!columns) {
    return PlacesFault{0, "no header row (station, latitude, longitude)"};
  }
  return std::nullopt;
}

}  // namespace kelvarin
