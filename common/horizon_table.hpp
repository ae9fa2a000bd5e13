// The horizon of each station: the elevation of its skyline by azimuth, which mountain and valley
// stations lose hours of sunshine to. A table in the places table's conventions: a header row
// naming azimuth and elevation (and station, in any order and case), ';', ',', tab or runs of
// blanks, '#' lines skipped. Azimuths in degrees clockwise from north, 0 to 360; elevations in
// degrees, at most 90. Between two given azimuths the horizon is linear, wrapping through north.
#pragma once

#include <cstdint>
#include <cstdio>  // std::FILE
#include <optional>
#include <unordered_map>
#include <vector>

#include "places_table.hpp"  // PlacesFault

namespace kelvarin {

/// One point of a skyline.
struct HorizonPoint {
  double azimuthDeg;
  double elevationDeg;
};

/// A station's skyline, its points in order of azimuth.
struct HorizonProfile {
  std::vector<HorizonPoint> points;
  double lowestDeg = 0.0;
  double highestDeg = 0.0;
  // For each whole degree of azimuth (0 to 360), the first point beyond it: the sun's azimuth
  // finds its segment in a step or two. Empty: searched.
  std::vector<std::uint16_t> firstBeyondDegree;
  /// Fills lowestDeg, highestDeg and firstBeyondDegree from the points (two at least).
  void index();
  /// Returns the elevation of the skyline at an azimuth (degrees, any turn), linear between the
  /// points around the circle.
  double elevationAt(double azimuthDeg) const;
};

/// The horizons of a table: by station, or one for every column where the table has no station
/// column.
struct HorizonTable {
  std::optional<HorizonProfile> everyColumn;
  std::unordered_map<std::int64_t, HorizonProfile> stations;
  /// Returns the horizon of a station, or nothing where the table has no row of it.
  const HorizonProfile* of(std::int64_t station) const;
};

/// Reads the whole table of `file` into `table`. Refuses, naming the line and the field, a header
/// row without azimuth or elevation, an azimuth outside 0 to 360, an elevation above 90 or below
/// -90, a number that is none, and a station with fewer than two azimuths.
std::optional<PlacesFault> readHorizonTable(std::FILE* file, HorizonTable& table);

}  // namespace kelvarin
