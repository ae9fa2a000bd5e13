// The places table: one row per station, its latitude and longitude. kelvarin-prepare writes it
// from an archive's station list, kelvarin --places reads it, and kelvarin-prepare recognises it
// among station lists; all three through this one reading of it.
//
// A header row names the columns station, latitude and longitude (any order, any case; a name
// column and others may stand beside them), separated by ';', ',', tab or runs of blanks as the
// header row shows; lines beginning with '#' and blank lines are skipped.
#pragma once

#include <cstdint>
#include <cstdio>  // std::FILE
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text.hpp"  // Fields

namespace kelvarin {

/// A row of a places table.
struct StationPlace {
  std::int64_t station;  // compared as an integer: "00433" is 433
  float latitudeDeg;     // single precision, as the answer it replaces; -90 to 90
  float longitudeDeg;    // east positive
  std::uint64_t line;    // of the table, for messages
};

/// Where the columns stand in the rows of one table.
struct PlacesColumns {
  char separator;  // ' ' for runs of blanks and tabs
  std::size_t station;
  std::size_t latitude;
  std::size_t longitude;
  std::optional<std::size_t> name;
  std::size_t fields;  // the header row's: a row may not have more
};

/// Reads a header row. Returns the fault (no column "latitude" ...) when it is none.
std::optional<std::string> readPlacesHeader(std::string_view row, PlacesColumns& columns);

/// One row read; `name` is empty without a name column.
struct PlacesRow {
  std::int64_t station = 0;
  float latitudeDeg = 0.0f;
  float longitudeDeg = 0.0f;
  std::string_view name;  // into the row, or into `fields`
  Fields fields;          // the row's fields, reused from row to row
};

/// Reads one row (trimmed, not a comment). Fields may be quoted as RFC 4180 has it: a separator,
/// a quote written "" or a line break inside the quotes. Returns the fault, without its line,
/// when it cannot be read: too few or too many fields, a quote not closed, a station or an angle
/// that is no number.
std::optional<std::string> readPlacesRow(std::string_view row, const PlacesColumns& columns,
                                         PlacesRow& place);

/// A refusal of a table; `line` 0 when it is about the whole file.
struct PlacesFault {
  std::uint64_t line;
  std::string text;
};

/// Takes one row of a table (trimmed, neither blank nor a comment) and its line; returns the
/// fault of a row that cannot be taken, without its line.
using TableRowTaker =
    std::function<std::optional<std::string>(std::string_view row, std::uint64_t line)>;

/// Reads the whole table of `file` (at most 64 MiB) in the places table's conventions and hands
/// each row to `take`: a row may go on over lines inside quotes; lines beginning with '#' and
/// blank lines are skipped; bytes that are no text table are refused at line 1.
std::optional<PlacesFault> forEachTableRow(std::FILE* file, const TableRowTaker& take);

/// Splits a row at `separator` (' ' for runs of blanks and tabs), quoted fields as RFC 4180 has
/// them, into `fields`, at most one field more than `headerFields`; returns the fault of a quote
/// not closed or text after one.
std::optional<std::string> splitTableRow(std::string_view row, char separator,
                                         std::size_t headerFields, Fields& fields);

/// Returns the place of the column named `name` (any case) in a header row, or nothing.
std::optional<std::size_t> findColumn(const std::vector<std::string_view>& header,
                                      std::string_view name);

/// Reads the whole table of `file` (at most 64 MiB) into `places`, in the order of its rows, one
/// entry per station; a station's second row must give the same place.
std::optional<PlacesFault> readPlacesTable(std::FILE* file, std::vector<StationPlace>& places);

/// The header row kelvarin-prepare writes.
inline constexpr std::string_view kPlacesTableHeader = "station;latitude;longitude;name\n";

/// Returns the row of one station as kelvarin-prepare writes it: each angle the shortest text of
/// its single-precision value, which kelvarin reads back exactly; the name made one field.
std::string placesTableRow(std::string_view station, float latitudeDeg, float longitudeDeg,
                           std::string_view name);

}  // namespace kelvarin
