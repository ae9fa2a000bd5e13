#include "table_state.hpp"

#include <algorithm>  // std::max

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
    table.earlyOffset.push_back(table.reader.rowOffset);
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
    table.line = table.earlyLine[table.replayed];
    table.offset = table.earlyOffset[table.replayed++];
    return RowStatus::kRow;
  }
  const RowStatus status = nextRow(table.reader);
  table.row = table.reader.row;
  table.line = table.reader.line;
  table.offset = table.reader.rowOffset;
  return status;
}

// Finds the series of a row's station: rows of one station mostly come together, so the last
// one is tried first.
Series& seriesOf(std::string_view stationText, TableState& table, Collection& collection) {
  if (table.series == nullptr || stationText != table.lastStation) {
    const std::string key = stationKey(stationText);
    const auto [at, added] = collection.index.try_emplace(key, collection.stations.size());
    if (added) {
      collection.stations.emplace_back(key, std::string(stationText));
    }
    table.series = &collection.stations[at->second];
    table.lastStation.assign(stationText);
  }
  return *table.series;
}

namespace {

// Notes where the row of `series` at `time` is read again from: in the stream of the row
// before, or at a new one where the stamps fall back beyond the stream's window.
void noteStream(Series& series, std::int64_t time, std::uint64_t line, TableState& table,
                Collection& collection) {
  std::vector<Stream>& streams = collection.streams;
  const auto station = static_cast<std::uint32_t>(&series - collection.stations.data());
  if (!table.stream || time < streams[*table.stream].latest - kStreamWindowMin) {
    // Rows far out of order make a stream of nearly each: such tables are held instead.
    if (streams.size() >
        16 * (collection.stations.size() + collection.inputs.names.size()) + 4096) {
      collection.canReread = false;
      streams = std::vector<Stream>();
      return;
    }
    table.stream = static_cast<std::uint32_t>(streams.size());
    streams.push_back(Stream{line, table.offset, table.file, station, line, time});
  }
  Stream& stream = streams[*table.stream];
  stream.latest = std::max(stream.latest, time);
  stream.lastLine = line;
  if (stream.station != station) {
    stream.station = kManyStations;
  }
  if (series.streams.empty() || series.streams.back() != *table.stream) {
    series.streams.push_back(*table.stream);
  }
}

}  // namespace

// Adds one value read at `time` to the series of its station.
void addReading(std::string_view stationText, std::int64_t time, double value, TableState& table,
                Collection& collection) {
  Series& series = seriesOf(stationText, table, collection);
  const std::uint64_t line = collection.inputs.lines + table.line;
  series.add(time, value, line, collection.holdValues);
  if (collection.canReread) {
    noteStream(series, time, line, table, collection);
  }
  // Checked now and then: the values held grow by 4 or 8 bytes a row (at every row where the
  // bound is a few values, as tests set it).
  ++collection.counts.rows;
  if (collection.holdValues && collection.canReread &&
      (collection.holdBytes < 65536 || (collection.counts.rows & 0xFFF) == 0)) {
    std::uint64_t held = 0;
    for (const Series& each : collection.stations) {
      held += each.values.bytes();
    }
    if (held > collection.holdBytes) {
      collection.holdValues = false;  // the values held so far stay
      // The rows held and the rows to read again lie in streams of their own.
      table.stream.reset();
    }
  }
}

std::optional<Refusal> notANumber(const TableState& table, std::string_view valueText) {
  return Refusal{kStatusRefused, lineOf(table) + ": value " + quoteText(valueText) +
                                     " is not a number and not a missing marker"};
}

}  // namespace kelvarin::prepare
