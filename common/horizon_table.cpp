#include "horizon_table.hpp"

#include <algorithm>  // std::sort, std::upper_bound, std::minmax_element
#include <charconv>   // std::from_chars
#include <cmath>      // std::fmod, std::isfinite
#include <cstdint>    // SIZE_MAX
#include <string>
#include <string_view>

#include "station_number.hpp"
#include "text.hpp"

namespace kelvarin {

namespace {

// Where the columns stand: the station's is none in a table of one horizon for every column.
struct HorizonColumns {
  char separator = ' ';
  std::optional<std::size_t> station;
  std::size_t azimuth = 0;
  std::size_t elevation = 0;
  std::size_t fields = 0;
};

std::optional<std::string> readHeader(std::string_view row, HorizonColumns& columns) {
  columns.separator = mostFrequentOf(row, ";,\t").value_or(' ');
  Fields split;
  if (auto fault = splitTableRow(row, columns.separator, SIZE_MAX - 1, split)) {
    return fault;
  }
  const std::optional<std::size_t> azimuth = findColumn(split.views, "azimuth");
  const std::optional<std::size_t> elevation = findColumn(split.views, "elevation");
  if (!azimuth || !elevation) {
    return std::string("no column \"") + (!azimuth ? "azimuth" : "elevation") +
           "\" in the header row";
  }
  columns.station = findColumn(split.views, "station");
  columns.azimuth = *azimuth;
  columns.elevation = *elevation;
  columns.fields = split.views.size();
  return std::nullopt;
}

// Reads the degrees of a field: the whole field a finite number.
std::optional<double> readDegrees(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  double value = 0.0;
  const std::from_chars_result read =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || read.ec != std::errc() || read.ptr != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string fieldFault(std::string_view what, std::string_view text, std::string_view range) {
  return "the " + std::string(what) + " \"" + std::string(text) + "\" is " + std::string(range);
}

// Reads a row into the profile of its station.
std::optional<std::string> readRow(std::string_view row, const HorizonColumns& columns,
                                   Fields& fields, HorizonTable& table) {
  if (auto fault = splitTableRow(row, columns.separator, columns.fields, fields)) {
    return fault;
  }
  const std::size_t needed =
      1 + std::max({columns.azimuth, columns.elevation, columns.station.value_or(0)});
  if (fields.count < needed || fields.count > columns.fields) {
    return std::to_string(fields.count) + " fields where the header row names " +
           std::to_string(columns.fields);
  }
  const std::string_view azimuthText = fields.views[columns.azimuth];
  const std::string_view elevationText = fields.views[columns.elevation];
  const std::optional<double> azimuth = readDegrees(azimuthText);
  if (!azimuth || *azimuth < 0.0 || *azimuth > 360.0) {
    return fieldFault("azimuth", azimuthText, "not between 0 and 360 degrees");
  }
  const std::optional<double> elevation = readDegrees(elevationText);
  if (!elevation || *elevation > 90.0 || *elevation < -90.0) {
    return fieldFault("elevation", elevationText, "not between -90 and 90 degrees");
  }
  HorizonProfile* profile = nullptr;
  if (columns.station) {
    const std::string_view stationText = fields.views[*columns.station];
    const StationNumber station = stationNumberOf(stationText);
    if (station.status != StationNumberStatus::kNumber) {
      return stationNumberFault(stationText, station.status);
    }
    profile = &table.stations[station.value];
  } else {
    if (!table.everyColumn) {
      table.everyColumn.emplace();
    }
    profile = &*table.everyColumn;
  }
  profile->points.push_back({*azimuth, *elevation});
  return std::nullopt;
}

// Returns the degrees of azimuth from `from` on to `to`; through north from the last point to
// the first (`wraps`), a whole turn where every point shares one azimuth.
double segmentSpan(const HorizonPoint& from, const HorizonPoint& to, bool wraps) {
  return to.azimuthDeg - from.azimuthDeg + (wraps ? 360.0 : 0.0);
}

}  // namespace

void HorizonProfile::index() {
  const auto [low, high] = std::minmax_element(
      points.begin(), points.end(),
      [](const HorizonPoint& a, const HorizonPoint& b) { return a.elevationDeg < b.elevationDeg; });
  lowestDeg = low->elevationDeg;
  highestDeg = high->elevationDeg;
  if (points.size() > UINT16_MAX) {
    firstBeyondDegree.clear();  // a skyline of so many points is searched
    return;
  }
  firstBeyondDegree.assign(361, 0);
  std::size_t beyond = 0;
  for (int degree = 0; degree <= 360; ++degree) {
    while (beyond < points.size() && points[beyond].azimuthDeg <= degree) {
      ++beyond;
    }
    firstBeyondDegree[static_cast<std::size_t>(degree)] = static_cast<std::uint16_t>(beyond);
  }
}

double HorizonProfile::elevationAt(double azimuthDeg) const {
  double a = azimuthDeg;
  if (!(a >= 0.0 && a < 360.0)) {
    a = std::fmod(a, 360.0);
    a += a < 0.0 ? 360.0 : 0.0;
  }
  // The segment that holds `a`: from the last point before it, through north where it lies
  // before the first point or after the last.
  auto after = points.end();
  if (firstBeyondDegree.empty()) {
    after = std::upper_bound(
        points.begin(), points.end(), a,
        [](double value, const HorizonPoint& point) { return value < point.azimuthDeg; });
  } else {
    after = points.begin() + firstBeyondDegree[static_cast<std::size_t>(a)];
    while (after != points.end() && after->azimuthDeg <= a) {
      ++after;
    }
  }
  const bool wraps = after == points.end() || after == points.begin();
  const HorizonPoint& to = after == points.end() ? points.front() : *after;
  const std::size_t fromIndex = after == points.begin()
                                    ? points.size() - 1
                                    : static_cast<std::size_t>(after - points.begin()) - 1;
  const HorizonPoint& from = points[fromIndex];
  double along = a - from.azimuthDeg;
  if (along < 0.0) {
    along += 360.0;
  }
  const double span = segmentSpan(from, to, wraps);
  if (!(span > 0.0)) {
    return from.elevationDeg;
  }
  const double slope = (to.elevationDeg - from.elevationDeg) / span;
  return from.elevationDeg + slope * along;
}

const HorizonProfile* HorizonTable::of(std::int64_t station) const {
  if (everyColumn) {
    return &*everyColumn;
  }
  const auto found = stations.find(station);
  return found == stations.end() ? nullptr : &found->second;
}

std::optional<PlacesFault> readHorizonTable(std::FILE* file, HorizonTable& table) {
  std::optional<HorizonColumns> columns;
  Fields fields;
  if (auto fault = forEachTableRow(file, [&](std::string_view row, std::uint64_t) {
        if (!columns) {
          columns.emplace();
          return readHeader(row, *columns);
        }
        return readRow(row, *columns, fields, table);
      })) {
    return fault;
  }
  if (!columns) {
    return PlacesFault{0, "no header row (station, azimuth, elevation)"};
  }
  const auto finish = [](HorizonProfile& profile, const std::string& whose) {
    std::stable_sort(
        profile.points.begin(), profile.points.end(),
        [](const HorizonPoint& a, const HorizonPoint& b) { return a.azimuthDeg < b.azimuthDeg; });
    if (profile.points.size() < 2) {
      return std::optional<PlacesFault>(
          PlacesFault{0, whose + " has fewer than two azimuths: a skyline needs two at least"});
    }
    profile.index();
    return std::optional<PlacesFault>();
  };
  if (table.everyColumn) {
    return finish(*table.everyColumn, "the horizon");
  }
  // In order of station, so that the same table always names the same one.
  std::vector<std::int64_t> stations;
  for (const auto& entry : table.stations) {
    stations.push_back(entry.first);
  }
  std::sort(stations.begin(), stations.end());
  for (const std::int64_t station : stations) {
    if (auto fault = finish(table.stations[station], "station " + std::to_string(station))) {
      return fault;
    }
  }
  return std::nullopt;
}

}  // namespace kelvarin
