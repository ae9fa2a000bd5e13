// The places table of --places: one row per station, its latitude and longitude.
#pragma once

#include <cstdio>  // std::FILE
#include <optional>
#include <string>
#include <vector>

#include "step/places.hpp"

namespace kelvarin {

/// Reads the places table of `file` (named `name` in messages): a header row naming the columns
/// station, latitude and longitude (any order, any case, other columns ignored), separated by
/// ';', ',', tab or blanks as the header row shows, then one row a station; lines beginning with
/// '#' and blank lines are skipped. Angles are read as the answers they replace. Returns the
/// console line of a refusal (status 3), naming the file, the line or the station.
std::optional<std::string> readPlaces(std::FILE* file, const std::string& name,
                                      std::vector<StationPlace>& places);

}  // namespace kelvarin
