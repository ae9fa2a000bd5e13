// Delimited text tables as archives publish them, read into one series per station.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>  // std::FILE
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "input_files.hpp"
#include "sources.hpp"
#include "station_lists.hpp"
#include "time_stamps.hpp"

namespace kelvarin::prepare {

/// What the command line says of the tables.
struct TableSettings {
  char separator = '\0';                  // '\0': found in each header row
  std::optional<std::string> timeColumn;  // a header name or a 1-based number
  std::optional<std::string> stationColumn;
  std::optional<std::string> valueColumn;
  std::vector<std::string> missingMarkers;  // besides the empty cell and a layout's own
  std::optional<ValueUnit> unit;            // of tables named by column options
  bool stationList = false;                 // the table is a station list (--station-list)
};

/// Exit statuses of a refusal: a wrong command line, or a table or output refused.
constexpr int kStatusUsage = 1;
constexpr int kStatusRefused = 2;

/// Why the run stops: the status and the message, naming the file, the line and the text.
struct Refusal {
  int status;
  std::string message;
};

/// One value of a table: its stamp and the value. Where it was read its series keeps.
struct Reading {
  std::int64_t timeMin;  // minutes on the calendar, end of the interval once the grid is made
  double value;          // NaN: missing
};

/// The readings of a series from `index` on were read one a line from `line` on (lines counted
/// over all tables read, see placeOf), up to the next run.
struct LineRun {
  std::size_t index;
  std::uint64_t line;
};

/// One station's values, in the order read.
struct Series {
  std::string key;    // the identifier, leading zeros of a number dropped
  std::string label;  // the identifier as first read
  std::vector<Reading> readings;
  // The line of each reading, in runs: a table gives a station's values line after line, so a
  // value takes 16 bytes, not the 24 a line of its own would add.
  std::vector<LineRun> lineRuns;
  /// Adds a value read on `line`.
  void add(std::int64_t timeMin, double value, std::uint64_t line) {
    if (lineRuns.empty() ||
        line != lineRuns.back().line + (readings.size() - lineRuns.back().index)) {
      lineRuns.push_back({readings.size(), line});
    }
    readings.push_back({timeMin, value});
  }
  /// Returns the line reading `i` was read on.
  std::uint64_t lineOf(std::size_t i) const;
  /// Returns every reading's line, in order.
  std::vector<std::uint64_t> lines() const;
  /// Keeps `lines` as the readings' lines, one each.
  void keepLines(const std::vector<std::uint64_t>& lines);
};

/// What the values read are: the layout of their tables, their unit, whether they are daily.
struct ValueKind {
  bool anyTable = false;                 // a table of values has been read
  const SourceLayout* source = nullptr;  // its known layout; none: named by column options
  std::optional<ValueUnit> unit;         // of the values read, tenths already as minutes
  std::optional<bool> daily;             // dates without a time of day
};

/// What the flags of the values read said, for the summary.
struct ValueCounts {
  std::uint64_t rows = 0;
  std::uint64_t suspect = 0;          // values kept although flagged suspect
  std::uint64_t failedCheck = 0;      // values flagged missing or failed, written as missing
  std::uint64_t trace = 0;            // "less than the smallest unit", written as its minutes
  std::uint64_t recentOverruled = 0;  // values of a recent file that its historical file replaced
  std::string firstOverruled;         // the first of them, for the summary
  std::uint64_t olderOverruled = 0;   // values of a download that a newer one of its part replaced
  std::string firstOlderOverruled;
};

/// Every table read so far: the stations' series, the files they came from, what their values
/// are, and the places of the station lists.
struct Collection {
  std::vector<Series> stations;  // in order of first appearance
  std::unordered_map<std::string, std::size_t> index;
  InputFiles inputs;
  ValueKind kind;
  ValueCounts counts;
  std::vector<PlaceRow> places;  // from station lists and the station lines of data files
  std::vector<UnreadablePlace> unreadablePlaces;  // rows of station lists that cannot be read
  std::vector<std::string> lists;                 // the station lists read, with their layouts
};

/// Reads the table at `path` into `collection`; a folder, an unreadable file or a refused row
/// gives the refusal. The file is read once, never opened again.
std::optional<Refusal> readTableFile(const std::string& path, const TableSettings& settings,
                                     Collection& collection);

/// Reads the table of the open stream `file`, named `name` in messages, into `collection`.
std::optional<Refusal> readTable(std::FILE* file, const std::string& name,
                                 const TableSettings& settings, Collection& collection);

/// Returns the separator of a header row: the most frequent of ';', tab and ','.
std::optional<char> detectSeparator(std::string_view headerRow);

}  // namespace kelvarin::prepare
