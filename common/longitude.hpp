// Longitudes as both programs take them: degrees east, -180 to 180.
#pragma once

#include <optional>

namespace kelvarin {

/// The widest longitude a table or an answer may give: 0 to 360 east is common in gridded and
/// reanalysis tables.
inline constexpr double kMostLongitudeDeg = 360.0;

/// Returns a longitude (degrees east) in -180 to 180: one above 180, counted from 0 to 360 east,
/// turned west (286.03 is -73.97, New York); nothing outside -180 to 360. Without the turn a
/// place's offset from its meridian would be a day too large and every day night.
inline std::optional<double> halfCircleLongitude(double longitudeDeg) {
  if (!(longitudeDeg >= -180.0 && longitudeDeg <= kMostLongitudeDeg)) {
    return std::nullopt;
  }
  return longitudeDeg > 180.0 ? longitudeDeg - 360.0 : longitudeDeg;
}

}  // namespace kelvarin
