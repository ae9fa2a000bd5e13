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
  std::string output;                  // the station file; empty: standard output
  std::string splitDir;                // the folder of split files; empty: one merged file
  std::string placesFile;              // the places table; empty: none written
  std::vector<std::uint64_t> missing;  // -999 written per station
};

/// Prints the summary.
void printSummary(const Collection& collection, const Grid& grid, const StationNumbers& numbers,
                  const std::vector<std::optional<PlaceRow>>& places, const Written& written,
                  const std::vector<std::string>& strays);

/// Returns the kelvarin command that fits the station file: its options, then the file names.
/// Where the file does not tell an answer, the option holds a word in capitals to replace.
std::string kelvarinCommand(const Collection& collection, const Grid& grid,
                            const std::vector<std::optional<PlaceRow>>& places,
                            const Written& written);

}  // namespace kelvarin::prepare
