// The console of a run: the one way the station-data code says anything. The driver provides the
// two streams (reports go nowhere with --quiet, warnings always reach the console); every line
// the run prints while it streams is worded here.
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>
#include <cstdio>  // std::FILE
#include <string>
#include <string_view>
#include <vector>

#include "record_stamp.hpp"

namespace kelvarin {

struct RunConsole {
  std::FILE* report = nullptr;  // the column count, the days, the count of missing values
  std::FILE* alerts = nullptr;  // warnings
};

/// Prints "N columns", the header pass's count of station columns.
void sayColumns(const RunConsole& console, std::size_t columns);

/// Prints "day.month.year", as "%d.%d.%d\n" does, when a record's local time reaches hour 24.
void sayDay(const RunConsole& console, const RecordStamp& stamp, bool shortcuts);

/// Prints one warning: "warning: " and `text` on a line of its own.
void sayWarning(const RunConsole& console, std::string_view text);

/// The words of a last step cut short by the end of the input: `records` of `recordsPerStep`
/// records read, and no line written for them. A warning, or the fault with --strict.
std::string lastStepCutText(std::int32_t records, std::int32_t recordsPerStep);

/// The words of a column header whose station numbers are names: without them the first hint
/// would be a record error. `header` is the header line as read.
std::string namedStationsText(std::string_view header);

/// The words of the stations that the horizon table has no row of: their horizon is flat.
std::string withoutSkylineText(const std::vector<std::int64_t>& stations);

/// Prints how many values were missing at the end of a run with --missing: one count for all
/// the markers, "(-999, -9999)".
void sayMissingValues(const RunConsole& console, std::uint64_t count,
                      const std::vector<double>& markers);

/// Prints, at the end of a run with steps whose records were not all there in daylight, how many
/// steps were worked out from part of their daylight and how many are missing, the first few
/// columns named (by station where `stations` gives them). Nothing when there were none.
void sayGapSteps(const RunConsole& console, const std::vector<std::uint64_t>& partial,
                 const std::vector<std::uint64_t>& missing,
                 const std::vector<std::uint64_t>& firstLine,
                 const std::vector<std::int64_t>& stations);

}  // namespace kelvarin
