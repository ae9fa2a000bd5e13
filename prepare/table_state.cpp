#include "table_state.hpp"

#include <cstring>  // std::strerror

namespace kelvarin::prepare {

namespace {

// Refuses what no table of rows begins with: text in UTF-16, or lines ended by a lone CR,
// which make the whole file one header row.
std::optional<Refusal> checkText(std::string_view headerRow, const TableState& table) {
  if (std::optional<std::string> fault = notTextTable(headerRow)) {
    return Refusal{kStatusRefused, lineOf(table) + ": " + *fault};
  }
  return std::nullopt;
}

}  // namespace

std::string lineOf(const TableState& table) {
  return table.name + ": line " + std::to_string(table.line);
}

std::optional<Refusal> rowFault(RowStatus status, const TableState& table) {
  switch (status) {
    case RowStatus::kRow:
    case RowStatus::kEnd:
      return std::nullopt;
    case RowStatus::kTooLong:
      return Refusal{kStatusRefused, lineOf(table) +
                                         ": longer than 64 MiB without a line "
                                         "break: not a table of rows"};
    case RowStatus::kOpenQuote:
      return Refusal{kStatusRefused, lineOf(table) +
                                         ": a quoted field opened in this row is not closed "
                                         "by the end of the file"};
    case RowStatus::kReadError:
      return Refusal{kStatusRefused, table.name + ": line " +
                                         std::to_string(table.reader.linesRead + 1) +
                                         ": cannot be read: " + std::strerror(table.reader.error)};
  }
  return std::nullopt;
}

std::optional<Refusal> fieldFault(FieldStatus status, const TableState& table) {
  if (status == FieldStatus::kFields || status == FieldStatus::kTooMany) {
    return std::nullopt;  // every row: no text is built for it
  }
  const std::string at = lineOf(table) + ": field " + std::to_string(table.fields.faultAt);
  switch (status) {
    case FieldStatus::kFields:
    case FieldStatus::kTooMany:
      return std::nullopt;
    case FieldStatus::kTextAfterQuote:
      return Refusal{kStatusRefused,
                     at + ": text after the closing quote in " + quoteText(table.row)};
    case FieldStatus::kStrayQuote:
      return Refusal{kStatusRefused,
                     at +
                         ": a quote inside a field that is not quoted as a whole (write it \"\" "
                         "inside quotes) in " +
                         quoteText(table.row)};
  }
  return std::nullopt;
}

namespace {

// The first rows read ahead: as many as a layout's free text before its header row takes.
constexpr std::size_t kEarlyRows = 1000;
constexpr std::size_t kEarlyBytes = std::size_t{1} << 20;

}  // namespace

std::optional<Refusal> readEarlyRows(TableState& table) {
  std::size_t bytes = 0;
  while (table.early.size() < kEarlyRows && bytes < kEarlyBytes) {
    const RowStatus status = nextRow(table.reader);
    table.line = table.reader.line;
    if (status == RowStatus::kEnd) {
      break;
    }
    if (auto refusal = rowFault(status, table)) {
      return refusal;
    }
    std::string_view text = table.reader.row;
    if (table.early.empty()) {
      table.row = text;
      text = withoutByteOrderMark(text);
      if (auto refusal = checkText(text, table)) {
        return refusal;
      }
    }
    table.early.emplace_back(text);
    table.earlyLine.push_back(table.reader.line);
    bytes += text.size();
  }
  if (table.early.empty()) {
    return Refusal{kStatusRefused, table.name + ": empty file, no header row"};
  }
  return std::nullopt;
}

// Hands out the next row: the early rows not yet handed out, then the rest of the file.
RowStatus nextTableRow(TableState& table) {
  if (table.replayed < table.early.size()) {
    table.row = table.early[table.replayed];
    table.line = table.earlyLine[table.replayed++];
    return RowStatus::kRow;
  }
  const RowStatus status = nextRow(table.reader);
  table.row = table.reader.row;
  table.line = table.reader.line;
  return status;
}

// Finds the series of a row's station: rows of one station mostly come together, so the last
// one is tried first.
Series& seriesOf(std::string_view stationText, TableState& table, Collection& collection) {
  if (table.series == nullptr || stationText != table.lastStation) {
    const std::string key = stationKey(stationText);
    const auto [at, added] = collection.index.try_emplace(key, collection.stations.size());
    if (added) {
      collection.stations.push_back(Series{key, std::string(stationText), {}, {}, {}});
    }
    table.series = &collection.stations[at->second];
    table.lastStation.assign(stationText);
  }
  return *table.series;
}

// Adds one value read at `time` to the series of its station.
void addReading(std::string_view stationText, std::int64_t time, double value, TableState& table,
                Collection& collection) {
  seriesOf(stationText, table, collection).add(time, value, collection.inputs.lines + table.line);
  ++collection.counts.rows;
}

std::optional<Refusal> notANumber(const TableState& table, std::string_view valueText) {
  return Refusal{kStatusRefused, lineOf(table) + ": value " + quoteText(valueText) +
                                     " is not a number and not a missing marker"};
}

}  // namespace kelvarin::prepare
