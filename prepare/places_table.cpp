#include "places_table.hpp"

#include <algorithm>  // std::min, std::max
#include <charconv>   // std::to_chars
#include <cmath>      // std::lround

#include "text_rows.hpp"  // equalsIgnoringCase, escapeControls

namespace kelvarin::prepare {

namespace {

constexpr std::int64_t kMinutesPerDay = 1440;

// kelvarin reads an angle in single precision: the shortest text of that float is what it will
// take, exactly, and reads better than the double of a degrees:minutes:seconds conversion.
std::string angleText(double degrees) {
  char text[32];
  const auto angle = static_cast<float>(degrees);
  return std::string(text, std::to_chars(text, text + sizeof text, angle).ptr);
}

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
    }
  }
  return chosen;
}

bool writePlacesTable(std::FILE* out, const StationNumbers& numbers,
                      const std::vector<std::optional<PlaceRow>>& places) {
  std::string text = "station;latitude;longitude;name\n";
  for (std::size_t s = 0; s < places.size(); ++s) {
    if (!places[s]) {
      continue;
    }
    // kelvarin splits rows at ';': one in a name would make it two fields.
    std::string name = escapeControls(places[s]->name);
    std::replace(name.begin(), name.end(), ';', ',');
    text += numbers.numbers[s] + ';' + angleText(places[s]->latitudeDeg) + ';' +
            angleText(places[s]->longitudeDeg) + ';' + name + '\n';
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
