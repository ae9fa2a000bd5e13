#include "network_places.hpp"

#include <algorithm>  // std::min, std::max
#include <charconv>   // std::to_chars
#include <cmath>      // std::lround, std::fabs
#include <cstdio>     // std::snprintf
#include <string>

#include "places_table.hpp"  // the table kelvarin reads: placesTableRow
#include "text.hpp"          // equalsIgnoringCase

namespace kelvarin::prepare {

namespace {

constexpr std::int64_t kMinutesPerDay = 1440;

}  // namespace

std::vector<std::optional<PlaceRow>> choosePlaces(const Collection& collection) {
  std::vector<std::optional<PlaceRow>> chosen(collection.stations.size());
  for (std::size_t s = 0; s < collection.stations.size(); ++s) {
    const Series& series = collection.stations[s];
    // The day of the last interval: a stamp at midnight ends the day before.
    const std::int64_t end = series.readings.back().timeMin - 1;
    const std::int64_t day = end / kMinutesPerDay - (end % kMinutesPerDay < 0 ? 1 : 0);
    const PlaceRow* best = nullptr;
    for (const PlaceRow& row : collection.places) {
      if (!equalsIgnoringCase(row.key, series.key)) {
        continue;
      }
      const bool holds = row.fromDay <= day && day <= row.toDay;
      const bool bestHolds = best != nullptr && best->fromDay <= day && day <= best->toDay;
      if (best == nullptr || (holds && !bestHolds) ||
          (holds == bestHolds && row.toDay > best->toDay)) {
        best = &row;
      }
    }
    if (best != nullptr) {
      chosen[s] = *best;
      // Some lists count longitudes from 0 to 360 east: kelvarin and the zone take -180 to 180
      // (353.75, Dublin, is -6.25; as 353.75 its zone would be UTC+24 and every day night).
      if (chosen[s]->longitudeDeg > 180.0) {
        chosen[s]->longitudeDeg -= 360.0;
      }
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
  std::vector<std::string> conflicts;
  for (std::size_t s = 0; s < chosen.size(); ++s) {
    if (!chosen[s]) {
      continue;
    }
    const PlaceRow& taken = *chosen[s];
    for (const PlaceRow& row : collection.places) {
      const bool overlap = row.fromDay <= taken.toDay && taken.fromDay <= row.toDay;
      const double longitude =
          row.longitudeDeg > 180.0 ? row.longitudeDeg - 360.0 : row.longitudeDeg;
      if (!equalsIgnoringCase(row.key, taken.key) || !overlap || fileOf(row) == fileOf(taken) ||
          (std::fabs(row.latitudeDeg - taken.latitudeDeg) <= kSamePlaceDeg &&
           std::fabs(longitude - taken.longitudeDeg) <= kSamePlaceDeg)) {
        continue;
      }
      conflicts.push_back("station " + collection.stations[s].key + ": " + placeText(taken) +
                          " is taken, " + placeText(row) + " differs");
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
  double sum = 0.0;
  double west = 360.0;
  double east = -360.0;
  std::size_t count = 0;
  for (const std::optional<PlaceRow>& place : places) {
    if (place) {
      sum += place->longitudeDeg;
      west = std::min(west, place->longitudeDeg);
      east = std::max(east, place->longitudeDeg);
      ++count;
    }
  }
  if (count == 0) {
    return std::nullopt;
  }
  const auto offset = static_cast<int>(std::lround(sum / static_cast<double>(count) / 15.0));
  return Zone{offset, offset * 15, east - west};
}

}  // namespace kelvarin::prepare
