// The station file's layout, as kelvarin-prepare writes it and kelvarin reads it: five header
// lines, the second naming the columns after a 12-character label field, then records of year,
// month, day, hour and one value per station.
#pragma once

#include <cstddef>  // std::size_t
#include <string_view>

namespace kelvarin {

/// The header lines before the first record; kelvarin copies them to its output unchanged.
inline constexpr int kHeaderLines = 5;

/// The label field at the start of header line 2, for the four time fields; the station numbers
/// follow it.
inline constexpr std::string_view kColumnLabels = "YYYY MM DD H";
inline constexpr std::size_t kColumnLabelWidth = kColumnLabels.size();
static_assert(kColumnLabelWidth == 12, "kelvarin counts the station numbers from the 13th byte");

/// The value kelvarin-prepare writes where a station has none; kelvarin --missing -999 reads it.
inline constexpr std::string_view kMissingText = "-999";

}  // namespace kelvarin
