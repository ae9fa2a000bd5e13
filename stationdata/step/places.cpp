#include "step/places.hpp"

#include <unordered_map>

namespace kelvarin {

std::optional<std::string> matchPlaces(const std::vector<std::int64_t>& identifiers,
                                       const std::vector<StationPlace>& places,
                                       const std::string& name, float referenceMeridianDeg,
                                       ColumnPlaces& columns) {
  std::unordered_map<std::int64_t, const StationPlace*> byStation;
  for (const StationPlace& place : places) {
    byStation.emplace(place.station, &place);
  }
  columns.stations.assign(1, 0);
  columns.placeDeg.assign(2, 0.0f);
  columns.solar.assign(1, SolarPlace{});
  for (std::size_t c = 1; c <= identifiers.size(); ++c) {
    const std::int64_t station = identifiers[c - 1];
    const auto found = byStation.find(station);
    if (found == byStation.end()) {
      return "answers refused: " + name + ": no row for station " + std::to_string(station) +
             " (column " + std::to_string(c) + ")\n";
    }
    const StationPlace& place = *found->second;
    columns.stations.push_back(station);
    columns.placeDeg.push_back(place.latitudeDeg);
    columns.placeDeg.push_back(place.longitudeDeg);
    columns.solar.push_back(
        solarPlace(place.latitudeDeg, place.longitudeDeg, referenceMeridianDeg));
  }
  return std::nullopt;
}

}  // namespace kelvarin
