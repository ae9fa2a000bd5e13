#include "tables.hpp"

#include <algorithm>  // std::max
#include <charconv>   // std::from_chars
#include <cmath>      // std::isnan
#include <cstring>    // std::strerror
#include <limits>     // std::numeric_limits: quiet_NaN
#include <memory>     // std::unique_ptr

#include <sys/stat.h>  // fstat, stat: a folder, and which file an output would overwrite

#include "text_rows.hpp"

namespace kelvarin::prepare {

namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();
// 2000-01-01 00:00 in minutes since 1970: the German weather service's 10-minute stamps are CET
// before it.
constexpr std::int64_t kYear2000 = std::int64_t{10957} * 1440;

// Reads a whole field as a number: an optional sign, then what std::from_chars reads ("+-5" has
// two signs and is no number).
std::optional<double> number(std::string_view text) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') {
    digits.remove_prefix(1);
    if (!digits.empty() && digits.front() == '-') {
      return std::nullopt;
    }
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                            std::chars_format::general);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
    return std::nullopt;
  }
  return value;
}

// Where the fields stand in a table's rows.
struct Columns {
  const SourceLayout* source = nullptr;  // none: named by the column options
  std::optional<std::size_t> time;
  std::optional<std::size_t> hour;
  std::optional<std::size_t> station;  // none: the whole table is one station, named by its file
  std::optional<std::size_t> value;
  std::optional<std::size_t> flag;
  std::optional<std::size_t> element;
  ValueUnit unit = ValueUnit::kMinutes;
  bool unitKnown = false;
  std::vector<std::string> markers;
  std::vector<std::optional<double>> markerValues;  // the markers read as numbers, where they are
};

// Finds a column by its header name (any case) or its 1-based number.
std::optional<std::size_t> findColumn(const std::vector<std::string_view>& header,
                                      std::string_view wanted) {
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (equalsIgnoringCase(header[i], wanted)) {
      return i;
    }
  }
  std::size_t number = 0;
  const auto [end, error] = std::from_chars(wanted.data(), wanted.data() + wanted.size(), number);
  if (error == std::errc() && end == wanted.data() + wanted.size() && number >= 1 &&
      number <= header.size()) {
    return number - 1;
  }
  return std::nullopt;
}

// Refuses one column named for two roles: its stamps would be written as sunshine values.
std::optional<Refusal> checkRoles(const Columns& columns, const std::string& name,
                                  const std::vector<std::string_view>& header) {
  const std::pair<const char*, std::optional<std::size_t>> roles[] = {
      {"--time", columns.time}, {"--station", columns.station}, {"--value", columns.value}};
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = i + 1; j < 3; ++j) {
      if (roles[i].second && roles[i].second == roles[j].second) {
        const std::size_t column = *roles[i].second;
        return Refusal{kStatusUsage,
                       name + ": line 1: " + roles[i].first + " and " + roles[j].first +
                           " name one column, " + std::to_string(column + 1) + " " +
                           quoteText(header[column]) + ": give each role a column of its own"};
      }
    }
  }
  return std::nullopt;
}

// A header row's names as a layout compares them: KNMI writes its header row as a comment,
// "# STN,YYYYMMDD,...".
std::vector<std::string_view> headerNames(const std::vector<std::string_view>& fields) {
  std::vector<std::string_view> names = fields;
  if (!names.empty() && !names[0].empty() && names[0][0] == '#') {
    names[0] = trimBlanks(names[0].substr(1), '\0');
  }
  return names;
}

// Places one column of a known layout: by position, or by its name in the header row.
std::optional<std::size_t> placeColumn(const Column& column,
                                       const std::vector<std::string_view>& names) {
  if (column.position >= 0) {
    return static_cast<std::size_t>(column.position);
  }
  if (column.name.empty()) {
    return std::nullopt;
  }
  return findColumn(names, column.name);
}

void takeKnownLayout(const SourceLayout& source, const std::vector<std::string_view>& names,
                     Columns& columns) {
  columns.source = &source;
  columns.time = placeColumn(source.date, names);
  columns.hour = placeColumn(source.hour, names);
  columns.station = placeColumn(source.station, names);
  columns.value = placeColumn(source.value, names);
  columns.flag = placeColumn(source.flag, names);
  columns.element = placeColumn(source.element, names);
  columns.unit = source.unit;
  columns.unitKnown = true;
  for (const std::string_view marker : source.missingMarkers) {
    columns.markers.emplace_back(marker);
  }
}

// Takes the columns of the options; refuses a column that is not there, or a first row that
// reads as data: kelvarin-prepare would take it as the header row and lose its values.
std::optional<Refusal> takeOptionColumns(const std::vector<std::string_view>& header,
                                         const TableSettings& settings, const std::string& name,
                                         Columns& columns) {
  if (!settings.timeColumn || !settings.valueColumn) {
    return Refusal{kStatusUsage,
                   "give both --time and --value (and --station for tables of several "
                   "stations)"};
  }
  struct Role {
    const char* option;
    const std::optional<std::string>& wanted;
    std::optional<std::size_t>& column;
  };
  const Role roles[] = {{"--time", settings.timeColumn, columns.time},
                        {"--value", settings.valueColumn, columns.value},
                        {"--station", settings.stationColumn, columns.station}};
  for (const Role& role : roles) {
    if (!role.wanted) {
      continue;
    }
    role.column = findColumn(header, *role.wanted);
    if (!role.column) {
      return Refusal{kStatusRefused, name + ": line 1: no column " + quoteText(*role.wanted) +
                                         " for " + role.option + " in the header row"};
    }
  }
  if (detectStampFormat(header[*columns.time])) {
    return Refusal{kStatusRefused, name +
                                       ": line 1: no header row: the time column holds the "
                                       "stamp " +
                                       quoteText(header[*columns.time]) +
                                       "; the first row must name the columns"};
  }
  columns.unitKnown = settings.unit.has_value();
  columns.unit = settings.unit.value_or(ValueUnit::kMinutes);
  return checkRoles(columns, name, header);
}

void readMarkers(const TableSettings& settings, Columns& columns) {
  for (const std::string& marker : settings.missingMarkers) {
    columns.markers.push_back(marker);
  }
  for (const std::string& marker : columns.markers) {
    columns.markerValues.push_back(number(marker));
  }
}

// Reads a value cell: a number, or NaN for a missing value (the empty cell, a marker by its text
// or by its number: "-999.0" is "-999"). Returns nothing for a cell that is neither.
std::optional<double> readValue(std::string_view text, const Columns& columns) {
  if (text.empty()) {
    return kMissing;
  }
  const std::optional<double> value = number(text);
  for (std::size_t i = 0; i < columns.markers.size(); ++i) {
    if (text == columns.markers[i] ||
        (value && columns.markerValues[i] && *value == *columns.markerValues[i])) {
      return kMissing;
    }
  }
  if (value && !std::isfinite(*value)) {
    return std::nullopt;
  }
  return value;
}

// Applies a layout's flags and units to a value read: a flag of a failed check makes it
// missing, a suspect flag is counted, the trace marker becomes its minutes, tenths of hours
// become minutes.
double interpret(double value, std::string_view flag, const Columns& columns,
                 Collection& collection) {
  const SourceLayout* source = columns.source;
  if (source != nullptr && flag.size() == 1) {
    if (source->missingFlags.find(flag[0]) != std::string_view::npos) {
      collection.failedCheck += std::isnan(value) ? 0U : 1U;
      return kMissing;
    }
    if (!std::isnan(value) && source->suspectFlags.find(flag[0]) != std::string_view::npos) {
      ++collection.suspect;
    }
  }
  if (source != nullptr && source->traceValue && value == *source->traceValue) {
    ++collection.trace;
    return source->traceMinutes;
  }
  return columns.unit == ValueUnit::kTenthsOfHours ? value * 6.0 : value;
}

// One table as it is read.
struct TableState {
  std::string name;  // as messages show it
  std::string stem;  // the file name without folders and extensions, for a one-station file
  RowReader reader;
  std::vector<std::string> early;        // the first rows, read to recognise the layout
  std::vector<std::uint64_t> earlyLine;  // the line of each
  std::size_t replayed = 0;              // early rows handed out again
  std::string_view row;                  // the row at hand
  std::uint64_t line = 0;                // its line
  Fields fields;
  char separator = '\0';
  std::size_t fieldCount = 0;  // the header row's
  Columns columns{};
  std::optional<StampFormat> format;
  Series* series = nullptr;  // the station of the row before, tried first
  std::string lastStation;
};

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

// Refuses what no table of rows begins with: text in UTF-16, or lines ended by a lone CR,
// which make the whole file one header row.
std::optional<Refusal> checkText(std::string_view headerRow, const TableState& table) {
  if (std::optional<std::string> fault = notTextTable(headerRow)) {
    return Refusal{kStatusRefused, lineOf(table) + ": " + *fault};
  }
  return std::nullopt;
}

// The first rows are read ahead, as many as a layout's free text before its header row takes,
// and handed out again by nextTableRow.
constexpr std::size_t kEarlyRows = 1000;
constexpr std::size_t kEarlyBytes = std::size_t{1} << 20;

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

// A fixed-width line of one station and month: long enough for 31 days, digits of the year and
// the month, capitals or digits of the element.
bool monthLineFits(std::string_view row, const MonthLineFields& line) {
  if (row.size() < line.firstDay + 30 * line.dayWidth + line.valueWidth) {
    return false;
  }
  const std::string_view yearMonth = row.substr(line.year, line.element - line.year);
  const std::string_view element = row.substr(line.element, 4);
  return allDigits(yearMonth) && std::all_of(element.begin(), element.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
         });
}

// Finds the known layout of a table among its first rows: its header row, or its first row
// where it has none. Returns the layout; `headerAt` gets the index of the header row (or of
// the first data row of a layout without one).
const SourceLayout* recogniseLayout(const TableState& table, std::size_t& headerAt) {
  Fields fields;
  for (const SourceLayout& source : knownLayouts()) {
    const std::size_t rows = source.shape == RowShape::kHeaderRow ? table.early.size() : 1;
    for (std::size_t r = 0; r < rows; ++r) {
      const std::string_view row = table.early[r];
      if (source.shape == RowShape::kMonthLines) {
        const MonthLineFields& line = *source.monthLine;
        if (monthLineFits(row, line)) {
          headerAt = 0;
          return &source;
        }
        continue;
      }
      splitRow(row, source.separator, kMaxFields, fields);
      const std::vector<std::string_view> names = headerNames(fields.views);
      const bool fits =
          source.shape == RowShape::kNoHeaderRow
              ? source.firstRowFits(fields.views)
              : std::all_of(source.headerHolds.begin(), source.headerHolds.end(),
                            [&](std::string_view name) { return findColumn(names, name); });
      if (fits) {
        headerAt = r;
        return &source;
      }
    }
  }
  return nullptr;
}

// Finds the series of a row's station: rows of one station mostly come together, so the last
// one is tried first.
Series& seriesOf(std::string_view stationText, TableState& table, Collection& collection) {
  if (table.series == nullptr || stationText != table.lastStation) {
    const std::string key = stationKey(stationText);
    const auto [at, added] = collection.index.try_emplace(key, collection.stations.size());
    if (added) {
      collection.stations.push_back(Series{key, std::string(stationText), {}});
    }
    table.series = &collection.stations[at->second];
    table.lastStation.assign(stationText);
  }
  return *table.series;
}

// Reads the stamp of a row, and its hour where the hour has a column of its own; the first row
// of a table sets the format of its column.
std::optional<Refusal> readTime(std::string_view timeText, std::string_view hourText,
                                TableState& table, Collection& collection, std::int64_t& time) {
  if (!table.format) {
    table.format = detectStampFormat(timeText);
    if (!table.format) {
      return Refusal{kStatusRefused,
                     lineOf(table) + ": time " + quoteText(timeText) +
                         " cannot be read (YYYYMMDDHH, YYYYMMDDHHMM, YYYYMMDD, YYYY-MM-DD HH:MM "
                         "or DD.MM.YYYY HH:MM)"};
    }
    const bool daily = isDateOnly(*table.format) && !table.columns.hour;
    if (collection.daily && *collection.daily != daily) {
      return Refusal{kStatusRefused,
                     lineOf(table) + ": time " + quoteText(timeText) +
                         ": dates with and without a time of day in one station file"};
    }
    collection.daily = daily;
  }
  const std::optional<std::int64_t> read = readStamp(timeText, *table.format);
  if (!read) {
    return Refusal{kStatusRefused, lineOf(table) + ": time " + quoteText(timeText) +
                                       " cannot be read as " + formatName(*table.format) +
                                       ", the format of the column"};
  }
  time = *read;
  if (table.columns.hour) {
    // The date stands for the end of its day; the hour counts from its start.
    int hour = -1;
    const auto [end, error] =
        std::from_chars(hourText.data(), hourText.data() + hourText.size(), hour);
    if (!isDateOnly(*table.format) || error != std::errc() ||
        end != hourText.data() + hourText.size() || hour < 0 || hour > 24) {
      return Refusal{kStatusRefused, lineOf(table) + ": hour " + quoteText(hourText) +
                                         " is no hour from 0 to 24 of the date " +
                                         quoteText(timeText)};
    }
    time += (hour - 24) * std::int64_t{60};
  }
  const SourceLayout* source = table.columns.source;
  if (source != nullptr && source->time == TimeReference::kCetBefore2000 && time < kYear2000) {
    time -= 60;  // CET, one hour ahead of UTC
  }
  return std::nullopt;
}

// Adds one value read at `time` to the series of its station.
void addReading(std::string_view stationText, std::int64_t time, double value, TableState& table,
                Collection& collection) {
  seriesOf(stationText, table, collection)
      .readings.push_back(Reading{time, value, collection.lines + table.line});
  ++collection.rows;
}

std::optional<Refusal> notANumber(const TableState& table, std::string_view valueText) {
  return Refusal{kStatusRefused, lineOf(table) + ": value " + quoteText(valueText) +
                                     " is not a number and not a missing marker"};
}

// Reads one row of fields: station, time, value and flag where the columns say.
std::optional<Refusal> readFieldRow(TableState& table, Collection& collection) {
  const FieldStatus split = splitRow(table.row, table.separator, table.fieldCount, table.fields);
  if (auto refusal = fieldFault(split, table)) {
    return refusal;
  }
  if (table.fields.count != table.fieldCount) {
    return Refusal{kStatusRefused,
                   lineOf(table) + ": " + std::to_string(table.fields.count) +
                       " fields where the " +
                       (table.columns.source != nullptr &&
                                table.columns.source->shape == RowShape::kNoHeaderRow
                            ? "layout has "
                            : "header row has ") +
                       std::to_string(table.fieldCount) + ": " + quoteText(table.row)};
  }
  const std::vector<std::string_view>& fields = table.fields.views;
  const Columns& columns = table.columns;
  if (columns.element && fields[*columns.element] != columns.source->wantedElement) {
    return std::nullopt;  // another element: temperature, precipitation, per cent of sunshine
  }
  std::int64_t time = 0;
  const std::string_view hour = columns.hour ? fields[*columns.hour] : std::string_view();
  if (auto refusal = readTime(fields[*columns.time], hour, table, collection, time)) {
    return refusal;
  }
  const std::string_view valueText = fields[*columns.value];
  const std::optional<double> value = readValue(valueText, columns);
  if (!value) {
    return notANumber(table, valueText);
  }
  const std::string_view flag = columns.flag ? fields[*columns.flag] : std::string_view();
  addReading(columns.station ? fields[*columns.station] : std::string_view(table.stem), time,
             interpret(*value, flag, columns, collection), table, collection);
  return std::nullopt;
}

// Reads one fixed-width line of a station's month: 31 days, each a value and its flags. The
// days a month does not have (31 June) hold the missing marker and are passed over.
std::optional<Refusal> readMonthLine(TableState& table, Collection& collection) {
  const SourceLayout& source = *table.columns.source;
  const MonthLineFields& line = *source.monthLine;
  if (!monthLineFits(table.row, line)) {
    return Refusal{kStatusRefused, lineOf(table) + ": not a line of the " +
                                       std::string(source.name) +
                                       " layout: " + quoteText(table.row)};
  }
  const std::string_view row = table.row;
  if (row.substr(line.element, 4) != source.wantedElement) {
    return std::nullopt;
  }
  const std::string_view station = trimBlanks(row.substr(0, line.stationEnd), '\0');
  const std::string yearMonth(row.substr(line.year, line.element - line.year));
  collection.daily = true;  // every value covers its whole day
  for (std::size_t day = 1; day <= 31; ++day) {
    const std::size_t at = line.firstDay + (day - 1) * line.dayWidth;
    const std::string_view valueText = trimBlanks(row.substr(at, line.valueWidth), '\0');
    const std::optional<double> value = readValue(valueText, table.columns);
    if (!value) {
      return notANumber(table, valueText);
    }
    const std::string date = yearMonth + (day < 10 ? "0" : "") + std::to_string(day);
    const std::optional<std::int64_t> time = readStamp(date, StampFormat::kCompactDate);
    if (!time) {
      if (std::isnan(*value)) {
        continue;
      }
      return Refusal{kStatusRefused,
                     lineOf(table) + ": a value for " + date + ", a day the month does not have"};
    }
    const std::size_t flagAt = at + line.flagOffset;
    const std::string_view flag =
        flagAt < row.size() ? trimBlanks(row.substr(flagAt, 1), '\0') : std::string_view();
    addReading(station, *time, interpret(*value, flag, table.columns, collection), table,
               collection);
  }
  return std::nullopt;
}

// Reads a station list from its first station row to its end into the collection's places.
std::optional<Refusal> readStationList(TableState& table, const StationListLayout& list,
                                       const std::vector<int>& listColumns, std::size_t first,
                                       Collection& collection) {
  table.replayed = first;
  collection.lists.push_back(table.name + " (" + std::string(list.name) + ")");
  for (;;) {
    const RowStatus status = nextTableRow(table);
    if (status == RowStatus::kEnd) {
      return std::nullopt;
    }
    if (auto refusal = rowFault(status, table)) {
      return refusal;
    }
    if (trimBlanks(table.row, '\0').empty()) {
      continue;
    }
    PlaceRow place;
    std::string fault;
    const StationListLayout::Row read = list.readRow(table.row, listColumns, place, fault);
    if (read == StationListLayout::Row::kFault) {
      return Refusal{kStatusRefused, lineOf(table) + ": station list (" + std::string(list.name) +
                                         "): " + fault + ": " + quoteText(table.row)};
    }
    if (read == StationListLayout::Row::kStation) {
      place.name = toUtf8(place.name);
      place.where = lineOf(table);
      collection.places.push_back(std::move(place));
    }
  }
}

// Sets up the columns of a table from its header row (or first row), as the options name them
// or its known layout places them. `headerAt` is the early row of the header.
std::optional<Refusal> takeHeader(TableState& table, const TableSettings& settings,
                                  const SourceLayout* source, std::size_t headerAt) {
  table.replayed = headerAt;
  nextTableRow(table);
  if (source != nullptr && source->shape == RowShape::kMonthLines) {
    table.replayed = 0;
    takeKnownLayout(*source, {}, table.columns);
    readMarkers(settings, table.columns);
    return std::nullopt;
  }
  std::string_view header = table.row;
  if (header.substr(0, 3) == "\xEF\xBB\xBF") {
    header.remove_prefix(3);
  }
  table.separator = source != nullptr ? source->separator : settings.separator;
  if (table.separator == '\0') {
    const std::optional<char> found = detectSeparator(header);
    if (!found) {
      return Refusal{kStatusRefused, lineOf(table) +
                                         ": no separator (';', ',' or tab) in the header row " +
                                         quoteText(header) + "; give it with --separator"};
    }
    table.separator = *found;
  }
  const FieldStatus split = splitRow(header, table.separator, kMaxFields, table.fields);
  if (split == FieldStatus::kTooMany) {
    return Refusal{kStatusRefused, lineOf(table) + ": more than " + std::to_string(kMaxFields) +
                                       " fields in the header row"};
  }
  if (auto refusal = fieldFault(split, table)) {
    return refusal;
  }
  table.fieldCount = table.fields.count;
  if (source != nullptr) {
    takeKnownLayout(*source, headerNames(table.fields.views), table.columns);
    if (source->shape == RowShape::kNoHeaderRow) {
      table.replayed = headerAt;  // the first row is data
    }
  } else if (auto refusal =
                 takeOptionColumns(table.fields.views, settings, table.name, table.columns)) {
    return refusal;
  }
  readMarkers(settings, table.columns);
  return std::nullopt;
}

// Returns true when the header row `row` names `column` (any case).
bool namesColumn(std::string_view row, std::string_view column) {
  Fields fields;
  splitRow(row, detectSeparator(row).value_or(','), kMaxFields, fields);
  return std::any_of(fields.views.begin(), fields.views.end(),
                     [column](std::string_view name) { return equalsIgnoringCase(name, column); });
}

// Recognises what a table is: a known layout, a station list, or a table of the column
// options; reads a station list whole. Returns the refusal; `list` tells that it was a list.
std::optional<Refusal> recogniseTable(TableState& table, const TableSettings& settings,
                                      Collection& collection, bool& list) {
  std::vector<int> listColumns;
  std::size_t first = 0;
  const bool options = settings.timeColumn || settings.valueColumn || settings.stationColumn;
  std::size_t headerAt = 0;
  const SourceLayout* source =
      options || settings.stationList ? nullptr : recogniseLayout(table, headerAt);
  const StationListLayout* stations =
      source != nullptr ? nullptr : recogniseStationList(table.early, listColumns, first);
  // A table that names the --time column is data, whatever else its header row names (a table
  // of values may well have a latitude and a longitude in every row).
  list = stations != nullptr &&
         !(options && settings.timeColumn && namesColumn(table.early[0], *settings.timeColumn));
  if (list) {
    return readStationList(table, *stations, listColumns, first, collection);
  }
  if (settings.stationList) {
    return Refusal{kStatusRefused, table.name +
                                       ": no known station list (the German weather "
                                       "service's, ECA&D's, GHCN's, MeteoSwiss's, or "
                                       "station;latitude;longitude)"};
  }
  if (source == nullptr && !options) {
    return Refusal{kStatusRefused,
                   table.name +
                       ": line 1: no known layout in the header row; name the columns with "
                       "--time, --station and --value"};
  }
  if (auto refusal = takeHeader(table, settings, source, headerAt)) {
    return refusal;
  }
  if (source != nullptr) {
    readPreamblePlaces(table.early, headerAt, collection.places, [&table](std::size_t r) {
      return table.name + ": line " + std::to_string(table.earlyLine[r]);
    });
  }
  return std::nullopt;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::optional<char> detectSeparator(std::string_view headerRow) {
  std::size_t best = 0;
  char separator = '\0';
  for (const char candidate : {';', '\t', ','}) {
    const auto count =
        static_cast<std::size_t>(std::count(headerRow.begin(), headerRow.end(), candidate));
    if (count > best) {
      best = count;
      separator = candidate;
    }
  }
  return best > 0 ? std::optional<char>(separator) : std::nullopt;
}

// The name of a file without its folders and extensions: a one-station file's station.
std::string stemOf(const std::string& name) {
  std::string stem = name.substr(name.find_last_of('/') + 1);
  for (const char* extension : {".gz", ".csv", ".txt", ".dly"}) {
    const std::string_view ending(extension);
    if (stem.size() > ending.size() && stem.ends_with(ending)) {
      stem.resize(stem.size() - ending.size());
    }
  }
  return stem;
}

std::optional<Refusal> readTable(std::FILE* file, const std::string& name,
                                 const TableSettings& settings, Collection& collection) {
  TableState table;
  table.name = name;
  table.reader.file = file;
  if (auto refusal = readEarlyRows(table)) {
    return refusal;
  }
  bool list = false;
  if (auto refusal = recogniseTable(table, settings, collection, list)) {
    return refusal;
  }
  if (list) {
    collection.lines += table.reader.linesRead;
    return std::nullopt;
  }
  const SourceLayout* source = table.columns.source;
  table.stem = source != nullptr ? stemOf(name) : name;
  if (collection.anyTable && collection.source != source) {
    return Refusal{kStatusRefused, name +
                                       ": line 1: a layout other than the first file's: one "
                                       "station file holds one kind of values"};
  }
  if (table.columns.unitKnown) {
    collection.unit =
        table.columns.unit == ValueUnit::kTenthsOfHours ? ValueUnit::kMinutes : table.columns.unit;
  }
  collection.anyTable = true;
  collection.source = source;
  collection.files.push_back(name);
  collection.linesBefore.push_back(collection.lines);
  for (;;) {
    const RowStatus status = nextTableRow(table);
    if (status == RowStatus::kEnd) {
      break;
    }
    if (auto refusal = rowFault(status, table)) {
      return refusal;
    }
    if (trimBlanks(table.row, '\0').empty()) {
      continue;
    }
    const bool monthLines = source != nullptr && source->shape == RowShape::kMonthLines;
    if (auto refusal =
            monthLines ? readMonthLine(table, collection) : readFieldRow(table, collection)) {
      return refusal;
    }
  }
  collection.lines += table.reader.linesRead;
  return std::nullopt;
}

std::optional<Refusal> readTableFile(const std::string& path, const TableSettings& settings,
                                     Collection& collection) {
  const std::string name = fileName(path);
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "r"));
  if (!file) {
    return Refusal{kStatusRefused, name + ": cannot be opened: " + std::strerror(errno)};
  }
  struct stat status {};
  if (fstat(fileno(file.get()), &status) == 0) {
    if (S_ISDIR(status.st_mode)) {
      return Refusal{kStatusRefused, name + ": a folder, not a table"};
    }
    collection.identities.push_back(InputIdentity{static_cast<std::uint64_t>(status.st_dev),
                                                  static_cast<std::uint64_t>(status.st_ino), name});
  }
  return readTable(file.get(), name, settings, collection);
}

std::string placeOf(const Collection& collection, std::uint64_t line) {
  // The last file whose lines begin before this one holds it.
  const auto after =
      std::upper_bound(collection.linesBefore.begin(), collection.linesBefore.end(), line - 1);
  const auto file = static_cast<std::size_t>(after - collection.linesBefore.begin()) - 1;
  return collection.files[file] + ": line " + std::to_string(line - collection.linesBefore[file]);
}

std::optional<std::string> inputAt(const Collection& collection, const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    return std::nullopt;
  }
  for (const InputIdentity& input : collection.identities) {
    if (input.device == static_cast<std::uint64_t>(status.st_dev) &&
        input.inode == static_cast<std::uint64_t>(status.st_ino)) {
      return input.name;
    }
  }
  return std::nullopt;
}

std::string fileName(std::string_view path) {
  return escapeControls(path);
}

}  // namespace kelvarin::prepare
