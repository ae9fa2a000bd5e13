// The places table written for kelvarin --places: one row per station of the station file,
// under the number of header line 2, at the place its station list gives.
#pragma once

#include <cstdio>  // std::FILE
#include <optional>
#include <string>
#include <vector>

#include "station_file.hpp"
#include "tables.hpp"

namespace kelvarin::prepare {

/// Chooses each station's place among the rows of the station lists read: the row whose period
/// holds the station's last value (a station moves; its values end at its latest place), or
/// else the row of the latest period. Nothing for a station that no list names.
std::vector<std::optional<PlaceRow>> choosePlaces(const Collection& collection);

/// Returns, for each station whose chosen place another list contradicts (a row of another file
/// that holds the same day at a place more than 0.01 degrees away), a line naming both rows:
/// another archive's list may give its station 41 to another archive's station 41.
std::vector<std::string> placeConflicts(const Collection& collection,
                                        const std::vector<std::optional<PlaceRow>>& chosen);

/// Writes the places table: "station;latitude;longitude;name", one row per station with a
/// place. Returns false when writing failed.
bool writePlacesTable(std::FILE* out, const StationNumbers& numbers,
                      const std::vector<std::optional<PlaceRow>>& places);

/// The zone whose meridian lies nearest the stations' mean longitude, for stamps in UTC.
struct Zone {
  int offsetH;      // --time-shift
  int meridianDeg;  // --meridian
  double spanDeg;   // from the westmost to the eastmost station
};
std::optional<Zone> nearestZone(const std::vector<std::optional<PlaceRow>>& places);

}  // namespace kelvarin::prepare
