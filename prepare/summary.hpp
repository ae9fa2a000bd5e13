// The summary kelvarin-prepare prints on standard error: what was read, what was written, and
// as its last line the kelvarin command that fits the station file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "network_places.hpp"
#include "station_file.hpp"
#include "tables.hpp"

namespace kelvarin::prepare {

/// What was written, as the summary names it.
struct Written {
  std::string output;               // the station file; empty: standard output
  std::string splitDir;             // the folder of split files; empty: one merged file
  std::string placesFile;           // the places table; empty: none written
  std::vector<ValueTally> tallies;  // per station, as written
};

/// Prints the summary.
void printSummary(const Collection& collection, const Grid& grid, const StationNumbers& numbers,
                  const std::vector<std::optional<PlaceRow>>& places, const Written& written,
                  const std::vector<std::string>& strays);

/// Returns the kelvarin command that fits the station file: its options, then the file names.
/// Where the file does not tell an answer, the option holds a word in capitals to replace.
/// Returns the --time-shift of the command the summary prints: the zone nearest the stations for
/// stamps in UTC, 0 for dates of local days; nothing where the clock or the places are not known.
std::optional<int> commandShiftH(const Collection& collection,
                                 const std::vector<std::optional<PlaceRow>>& places);

/// Returns the minutes by which the days of that zone start before midnight of the stamps' clock
/// (0 where the shift is not known): the grid is made of them.
std::int64_t zoneDayStartMin(const Collection& collection,
                             const std::vector<std::optional<PlaceRow>>& places);

std::string kelvarinCommand(const Collection& collection, const Grid& grid,
                            const std::vector<std::optional<PlaceRow>>& places,
                            const Written& written);

}  // namespace kelvarin::prepare
