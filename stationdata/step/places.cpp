#include "step/places.hpp"

#include <unordered_map>

namespace kelvarin {

std::optional<Unplaced> matchPlaces(const std::vector<ColumnStation>& stations,
                                    const std::vector<StationPlace>& places,
                                    float referenceMeridianDeg, ColumnPlaces& columns) {
  std::unordered_map<std::int64_t, const StationPlace*> byStation;
  for (const StationPlace& place : places) {
    byStation.emplace(place.station, &place);
  }
  columns.stations.assign(1, 0);
  columns.placeDeg.assign(2, 0.0f);
  columns.solar.assign(1, SolarPlace{});
  for (std::size_t c = 1; c <= stations.size(); ++c) {
    const StationNumber number = stations[c - 1].number;
    if (number.status != StationNumberStatus::kNumber) {
      return Unplaced{c, stations[c - 1].text, number.status};
    }
    const std::int64_t station = number.value;
    const auto found = byStation.find(station);
    if (found == byStation.end()) {
      return Unplaced{c, std::to_string(station), StationNumberStatus::kNumber};
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
