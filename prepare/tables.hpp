// Delimited text tables as archives publish them, read into one series per station.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "time_stamps.hpp"

namespace kelvarin::prepare {

/// What the command line says of the tables.
struct TableSettings {
  char separator = '\0';                  // '\0': found in each header row
  std::optional<std::string> timeColumn;  // a header name or a 1-based number
  std::optional<std::string> stationColumn;
  std::optional<std::string> valueColumn;
  std::vector<std::string> missingMarkers;  // besides the empty cell and a layout's own
};

/// The layouts known by their header row, and the general one of the column options.
enum class Layout {
  kColumns,    // --time, --station and --value
  kDwdHourly,  // the German weather service's hourly sunshine: minutes, YYYYMMDDHH in UTC
  kDwdDaily,   // its daily climate values: SDK in hours, YYYYMMDD
};

/// One station's values, in the order read.
struct Series {
  std::string key;                  // the identifier, leading zeros of a number dropped
  std::string label;                // the identifier as first read
  std::vector<std::int64_t> times;  // minutes on the calendar, end of each interval
  std::vector<double> values;       // NaN: missing
};

/// Every table read so far.
struct Collection {
  std::vector<Series> stations;  // in order of first appearance
  std::unordered_map<std::string, std::size_t> index;
  std::vector<std::string> files;
  std::optional<Layout> layout;  // of the first table
  std::optional<bool> daily;     // dates without a time of day
  std::uint64_t rows = 0;
};

/// Reads the table at `path` into `collection`. Returns the message of a refusal, naming the
/// file, the line and the text, or nothing.
std::optional<std::string> readTable(const std::string& path, const TableSettings& settings,
                                     Collection& collection);

/// Returns the fields of a line split at `separator`, blanks around each removed.
std::vector<std::string_view> splitFields(std::string_view line, char separator);

/// Returns the separator of a header row: the most frequent of ';', tab and ','.
std::optional<char> detectSeparator(std::string_view headerRow);

/// Returns "file line N" for every row of `station` stamped `time` (minutes, as read), by reading
/// the tables again: the places a refusal names, found only when one is made.
std::vector<std::string> findRows(const Collection& collection, const TableSettings& settings,
                                  const std::string& station, std::int64_t time);

}  // namespace kelvarin::prepare
