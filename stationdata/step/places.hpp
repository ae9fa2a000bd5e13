// Stations of one file at places of their own: each column's latitude and longitude, from a table
// of places matched to the identifiers of the column header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "solar.hpp"  // SolarPlace

namespace kelvarin {

/// A row of a places table.
struct StationPlace {
  std::int64_t station;  // compared as an integer: "00433" is 433
  float latitudeDeg;     // single precision, as the answer it replaces
  float longitudeDeg;
  std::uint64_t line;  // of the table, for messages
};

/// The places of a file's columns, by column (slot 0 unused).
struct ColumnPlaces {
  std::vector<std::int64_t> stations;
  std::vector<float> placeDeg;  // latitude and longitude of column c at 2c and 2c + 1
  std::vector<SolarPlace> solar;
};

/// Gives each column (its station among `identifiers`, column 1 first) the place of its row.
/// Returns the refusal, naming the table `name` and the station, for a column without a row.
std::optional<std::string> matchPlaces(const std::vector<std::int64_t>& identifiers,
                                       const std::vector<StationPlace>& places,
                                       const std::string& name, float referenceMeridianDeg,
                                       ColumnPlaces& columns);

}  // namespace kelvarin
