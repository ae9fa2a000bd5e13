// One table as it is read: its rows through the early-row buffer (the first rows are read ahead
// to recognise the layout, then handed out again), the refusals of a row that cannot be read
// and of bytes that are no text table, and the station a row's value goes to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table_fields.hpp"  // Columns
#include "tables.hpp"
#include "text_rows.hpp"  // RowReader, Fields
#include "time_stamps.hpp"

namespace kelvarin::prepare {

/// One table as it is read.
struct TableState {
  std::string name;  // as messages show it
  std::string stem;  // the file name without folders and extensions, for a one-station file
  RowReader reader;
  std::vector<std::string> early;          // the first rows, read to recognise the layout
  std::vector<std::uint64_t> earlyLine;    // the line of each
  std::vector<std::uint64_t> earlyOffset;  // the byte each begins at
  std::size_t replayed = 0;                // early rows handed out again
  std::string_view row;                    // the row at hand
  std::uint64_t line = 0;                  // its line
  std::uint64_t offset = 0;                // the byte it begins at
  Fields fields;
  char separator = '\0';
  std::size_t fieldCount = 0;  // the header row's
  Columns columns{};
  std::optional<StampFormat> format;
  Series* series = nullptr;  // the station of the row before, tried first
  std::string lastStation;
  std::uint32_t file = 0;               // its index among the tables of values read
  std::optional<std::uint32_t> stream;  // the stream of the row before (Collection::streams)
};

std::string lineOf(const TableState& table);

/// Returns the refusal of a row that could not be read, or nothing for a row.
std::optional<Refusal> rowFault(RowStatus status, const TableState& table);

/// Returns the refusal of a row whose fields could not be split, or nothing.
std::optional<Refusal> fieldFault(FieldStatus status, const TableState& table);

/// Reads the first rows ahead, as many as a layout's free text before its header row takes, to be
/// handed out again by nextTableRow; refuses bytes that are no text table.
std::optional<Refusal> readEarlyRows(TableState& table);

/// Hands out the next row: the early rows not yet handed out, then the rest of the file.
RowStatus nextTableRow(TableState& table);

/// Finds the series of a row's station: rows of one station mostly come together, so the last
/// one is tried first.
Series& seriesOf(std::string_view stationText, TableState& table, Collection& collection);

/// Adds one value read at `time` to the series of its station.
void addReading(std::string_view stationText, std::int64_t time, double value, TableState& table,
                Collection& collection);

std::optional<Refusal> notANumber(const TableState& table, std::string_view valueText);

}  // namespace kelvarin::prepare
