// The continuous grid of time steps that a station file holds, and the file itself.
#pragma once

#include <cstdint>
#include <cstdio>  // std::FILE
#include <optional>
#include <string>
#include <vector>

#include "tables.hpp"

namespace kelvarin::prepare {

/// How the stamps of the tables lie in time.
struct GridSettings {
  std::optional<std::int64_t> stepMin;  // none: the most common difference of consecutive stamps
  bool stampsMarkStart = false;         // each stamp marks the start of its interval
};

/// Steps of `stepMin` minutes; `firstMin` and `lastMin` are the ends of the first and last.
struct Grid {
  std::int64_t firstMin;
  std::int64_t lastMin;
  std::int64_t stepMin;
  std::uint64_t records() const {
    return static_cast<std::uint64_t>((lastMin - firstMin) / stepMin) + 1;
  }
};

/// Puts every station's values in time order, merges rows repeated with the same value, finds the
/// step, moves start stamps to the end of their interval and checks that every stamp lies on the
/// grid from the earliest stamp of all stations. Returns the refusal, naming file, line and text.
std::optional<std::string> makeGrid(Collection& collection, const TableSettings& tables,
                                    const GridSettings& settings, Grid& grid);

/// Returns the most common difference of consecutive stamps over all stations, or nothing when no
/// station has two.
std::optional<std::int64_t> mostCommonStep(const Collection& collection);

/// Returns true when every station's identifier is a nonzero integer.
bool stationsHaveNumbers(const Collection& collection);

/// The station numbers that header line 2 names: the stations' own when every one is a nonzero
/// integer, otherwise 1, 2, and so on, in order of first appearance.
std::vector<std::string> stationNumbers(const Collection& collection);

/// Writes a station file of the stations `which` (indices into the collection) over `grid`: the
/// five header lines, then one record a step, -999 where a station has no value. Returns false
/// when writing failed; `missing` gets the count of -999 written per station of `which`.
bool writeStationFile(std::FILE* out, const Collection& collection,
                      const std::vector<std::size_t>& which, const Grid& grid,
                      std::vector<std::uint64_t>& missing);

}  // namespace kelvarin::prepare
