// The fields of a table's rows: where each column stands, as a known layout places it or the
// options name it, and a value cell read as a number with its layout's markers, flags and unit.
#pragma once

#include <cstddef>
#include <limits>  // std::numeric_limits: quiet_NaN
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sources.hpp"
#include "tables.hpp"

namespace kelvarin::prepare {

/// A missing value as the series hold it.
inline constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

/// Where the fields stand in a table's rows.
struct Columns {
  const SourceLayout* source = nullptr;  // none: named by the column options
  std::optional<std::size_t> time;
  std::optional<std::size_t> month;  // with day: the date is split, `time` holds the year
  std::optional<std::size_t> day;
  std::optional<std::size_t> hour;
  std::optional<std::size_t> station;  // none: the whole table is one station, named by its file
  std::optional<std::size_t> value;
  std::optional<std::size_t> flag;
  std::optional<std::size_t> element;
  ValueUnit unit = kMinutes;
  bool unitKnown = false;
  std::vector<std::string> markers;
  std::vector<std::optional<double>> markerValues;  // the markers read as numbers, where they are
};

/// Finds a column by its header name (any case) or its 1-based number.
std::optional<std::size_t> findColumn(const std::vector<std::string_view>& header,
                                      std::string_view wanted);

/// Refuses one column named for two roles: its stamps would be written as sunshine values.
std::optional<Refusal> checkRoles(const Columns& columns, const std::string& name,
                                  const std::vector<std::string_view>& header);

/// A header row's names as a layout compares them: KNMI writes its header row as a comment,
/// "# STN,YYYYMMDD,...".
std::vector<std::string_view> headerNames(const std::vector<std::string_view>& fields);

void takeKnownLayout(const SourceLayout& source, const std::vector<std::string_view>& names,
                     Columns& columns);

/// Takes the columns of the options; refuses a column that is not there, or a first row that
/// reads as data: kelvarin-prepare would take it as the header row and lose its values.
std::optional<Refusal> takeOptionColumns(const std::vector<std::string_view>& header,
                                         const TableSettings& settings, const std::string& name,
                                         Columns& columns);

void readMarkers(const TableSettings& settings, Columns& columns);

/// Reads a value cell: a number, or NaN for a missing value (the empty cell, a marker by its text
/// or by its number: "-999.0" is "-999") into `value`. Returns false for a cell that is neither.
bool readValue(std::string_view text, const Columns& columns, double& value);

/// Applies a layout's flags and units to a value read: a flag of a failed check makes it
/// missing, a suspect flag is counted, the trace marker becomes its minutes, tenths of hours
/// become minutes.
double interpret(double value, std::string_view flag, const Columns& columns, ValueCounts& counts);

}  // namespace kelvarin::prepare
