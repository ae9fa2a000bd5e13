// Stations of one file at places of their own: each column's latitude and longitude, from a table
// of places matched to the identifiers of the column header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "places_table.hpp"         // StationPlace
#include "reading/header_pass.hpp"  // ColumnStation
#include "solar.hpp"                // SolarPlace

namespace kelvarin {

/// The places of a file's columns, by column (slot 0 unused).
struct ColumnPlaces {
  std::vector<std::int64_t> stations;
  std::vector<float> placeDeg;  // latitude and longitude of column c at 2c and 2c + 1
  std::vector<SolarPlace> solar;
};

/// A column whose station the places table cannot place: no row for it, or a number beyond the
/// limit of station numbers.
struct Unplaced {
  std::size_t column;          // 1 for the first station column
  std::string station;         // as header line 2 names it
  StationNumberStatus status;  // kNumber: the table has no row for it
};

/// Gives each column (its station among `stations`, column 1 first) the place of its row.
/// Returns the first column that has none.
std::optional<Unplaced> matchPlaces(const std::vector<ColumnStation>& stations,
                                    const std::vector<StationPlace>& places,
                                    float referenceMeridianDeg, ColumnPlaces& columns);

}  // namespace kelvarin
