#include "network_places.hpp"

#include <algorithm>  // std::min, std::max
#include <charconv>   // std::to_chars
#include <cmath>      // std::lround, std::fabs
#include <cstdio>     // std::snprintf
#include <string>
#include <unordered_map>

#include "places_table.hpp"  // the table kelvarin reads: placesTableRow
#include "text.hpp"          // foldCase

namespace kelvarin::prepare {

namespace {

constexpr std::int64_t kMinutesPerDay = 1440;

// The rows of the station lists by station, in the order read: a network of thousands of stations
// and lists of as many rows would otherwise compare every station with every row.
using RowsByStation = std::unordered_map<std::string, std::vector<const PlaceRow*>>;

RowsByStation rowsByStation(const Collection& collection) {
  RowsByStation rows;
  for (const PlaceRow& row : collection.places) {
    rows[foldCase(row.key)].push_back(&row);
  }
  return rows;
}

const std::vector<const PlaceRow*>& rowsOf(const RowsByStation& rows, const std::string& key) {
  static const std::vector<const PlaceRow*> kNone;
  const auto found = rows.find(foldCase(key));
  return found == rows.end() ? kNone : found->second;
}

}  // namespace

std::vector<std::optional<PlaceRow>> choosePlaces(const Collection& collection) {
  const RowsByStation rows = rowsByStation(collection);
  std::vector<std::optional<PlaceRow>> chosen(collection.stations.size());
  for (std::size_t s = 0; s < collection.stations.size(); ++s) {
    const Series& series = collection.stations[s];
    // The day of the last interval: a stamp at midnight ends the day before.
    const std::int64_t end = series.lastTime() - 1;
    const std::int64_t day = end / kMinutesPerDay - (end % kMinutesPerDay < 0 ? 1 : 0);
    const PlaceRow* best = nullptr;
    for (const PlaceRow* row : rowsOf(rows, series.key)) {
      const bool holds = row->fromDay <= day && day <= row->toDay;
      const bool bestHolds = best != nullptr && best->fromDay <= day && day <= best->toDay;
      if (best == nullptr || (holds && !bestHolds) ||
          (holds == bestHolds && row->toDay > best->toDay)) {
        best = row;
      }
    }
    if (best != nullptr) {
      chosen[s] = *best;
    }
  }
  return chosen;
}

namespace {

// The file of a row, from its "FILE: line N".
std::string_view fileOf(const PlaceRow& row) {
  const std::string_view where = row.where;
  return where.substr(0, where.rfind(": line "));
}

std::string placeText(const PlaceRow& row) {
  char text[64];
  std::snprintf(text, sizeof text, "(%.4f, %.4f)", row.latitudeDeg, row.longitudeDeg);
  return row.where + " " + text;
}

}  // namespace

std::vector<std::string> placeConflicts(const Collection& collection,
                                        const std::vector<std::optional<PlaceRow>>& chosen) {
  constexpr double kSamePlaceDeg = 0.01;
  const RowsByStation rows = rowsByStation(collection);
  std::vector<std::string> conflicts;
  for (std::size_t s = 0; s < chosen.size(); ++s) {
    if (!chosen[s]) {
      continue;
    }
    const PlaceRow& taken = *chosen[s];
    for (const PlaceRow* row : rowsOf(rows, taken.key)) {
      const bool overlap = row->fromDay <= taken.toDay && taken.fromDay <= row->toDay;
      if (!overlap || fileOf(*row) == fileOf(taken) ||
          (std::fabs(row->latitudeDeg - taken.latitudeDeg) <= kSamePlaceDeg &&
           std::fabs(row->longitudeDeg - taken.longitudeDeg) <= kSamePlaceDeg)) {
        continue;
      }
      conflicts.push_back("station " + collection.stations[s].key + ": " + placeText(taken) +
                          " is taken, " + placeText(*row) + " differs");
      break;
    }
  }
  return conflicts;
}

bool writePlacesTable(std::FILE* out, const StationNumbers& numbers,
                      const std::vector<std::optional<PlaceRow>>& places) {
  std::string text(kPlacesTableHeader);
  for (std::size_t s = 0; s < places.size(); ++s) {
    if (!places[s]) {
      continue;
    }
    text += placesTableRow(numbers.numbers[s], static_cast<float>(places[s]->latitudeDeg),
                           static_cast<float>(places[s]->longitudeDeg), places[s]->name);
  }
  return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
}

std::optional<Zone> nearestZone(const std::vector<std::optional<PlaceRow>>& places) {
  std::vector<double> longitudes;
  for (const std::optional<PlaceRow>& place : places) {
    if (place) {
      longitudes.push_back(place->longitudeDeg);
    }
  }
  if (longitudes.empty()) {
    return std::nullopt;
  }
  // The stations lie on the arc that leaves out the widest gap between two of them around the
  // circle: Fiji (177.4) and Samoa (-171.8) are 10.8 degrees apart across the date line, not
  // 349.2. Where that gap holds the date line, the longitudes are taken as they stand (every
  // network that does not cross it); otherwise those west of the gap are counted 360 on.
  std::vector<double> sorted = longitudes;
  std::sort(sorted.begin(), sorted.end());
  double widestGap = sorted.front() + 360.0 - sorted.back();
  double cutDeg = 360.0;  // longitudes up to this are counted 360 on
  for (std::size_t i = 0; i + 1 < sorted.size(); ++i) {
    if (sorted[i + 1] - sorted[i] > widestGap) {
      widestGap = sorted[i + 1] - sorted[i];
      cutDeg = sorted[i];
    }
  }
  const bool crossesDateLine = cutDeg != 360.0;
  double sum = 0.0;
  for (const double longitude : longitudes) {
    sum += crossesDateLine && longitude <= cutDeg ? longitude + 360.0 : longitude;
  }
  const double meanDeg = sum / static_cast<double>(longitudes.size());
  auto offset = static_cast<int>(std::lround(meanDeg / 15.0));
  // A mean beyond 180 east is a zone west of the date line's: UTC+12 at most, as in Fiji and
  // New Zealand, whose days are the ones their calendars have.
  if (offset > 12) {
    offset -= 24;
  }
  const double spanDeg = crossesDateLine ? 360.0 - widestGap : sorted.back() - sorted.front();
  return Zone{offset, offset * 15, spanDeg};
}

}  // namespace kelvarin::prepare
