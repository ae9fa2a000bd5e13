#include "tables.hpp"

#include <algorithm>  // std::max
#include <charconv>   // std::from_chars
#include <cmath>      // NAN
#include <cstring>    // std::strerror
#include <memory>     // std::unique_ptr

#include <sys/stat.h>  // fstat, stat: a folder, and which file an output would overwrite

#include "text_rows.hpp"

namespace kelvarin::prepare {

namespace {

constexpr double kMissing = NAN;
// The marker the German weather service writes for a value it does not have.
constexpr char kDwdMissing[] = "-999";

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if ((a[i] | 0x20) != (b[i] | 0x20)) {
      return false;
    }
  }
  return true;
}

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

// The key of a station: a nonzero integer without its leading zeros ("00433" is 433), other
// identifiers as they are.
std::string stationKey(std::string_view text) {
  std::size_t first = 0;
  while (first + 1 < text.size() && text[first] == '0') {
    ++first;
  }
  const std::string_view rest = text.substr(first);
  const bool isNumber = !rest.empty() && std::all_of(rest.begin(), rest.end(),
                                                     [](char c) { return c >= '0' && c <= '9'; });
  return isNumber && rest != "0" ? std::string(rest) : std::string(text);
}

// Where the three fields stand in a table's rows.
struct Columns {
  Layout layout;
  std::optional<std::size_t> time;
  std::optional<std::size_t> station;  // none: the whole table is one station, named by its file
  std::optional<std::size_t> value;
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

// Recognises a known layout from its header row.
std::optional<Refusal> chooseKnownLayout(const std::vector<std::string_view>& header,
                                         const std::string& name, Columns& columns) {
  const auto headerHolds = [&header](std::string_view wanted) {
    return std::any_of(header.begin(), header.end(),
                       [wanted](std::string_view h) { return equalsIgnoringCase(h, wanted); });
  };
  const bool dwd = header.size() >= 3 && equalsIgnoringCase(header[0], "STATIONS_ID") &&
                   equalsIgnoringCase(header[1], "MESS_DATUM");
  if (dwd && equalsIgnoringCase(header[2], "QN_7") && headerHolds("SD_SO")) {
    columns.layout = Layout::kDwdHourly;
    columns.value = *findColumn(header, "SD_SO");
  } else if (dwd && equalsIgnoringCase(header[2], "QN_3") && headerHolds("SDK")) {
    columns.layout = Layout::kDwdDaily;
    columns.value = *findColumn(header, "SDK");
  } else {
    return Refusal{kStatusRefused,
                   name +
                       ": line 1: no known layout in the header row; name the columns with "
                       "--time, --station and --value"};
  }
  columns.station = 0;
  columns.time = 1;
  columns.markers.push_back(kDwdMissing);
  return std::nullopt;
}

std::optional<Refusal> chooseColumns(const std::vector<std::string_view>& header,
                                     const TableSettings& settings, const std::string& name,
                                     Columns& columns) {
  columns.markers = settings.missingMarkers;
  if (!settings.timeColumn && !settings.valueColumn && !settings.stationColumn) {
    if (auto refusal = chooseKnownLayout(header, name, columns)) {
      return refusal;
    }
  } else {
    if (!settings.timeColumn || !settings.valueColumn) {
      return Refusal{kStatusUsage,
                     "give both --time and --value (and --station for tables of several "
                     "stations)"};
    }
    columns.layout = Layout::kColumns;
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
    if (auto refusal = checkRoles(columns, name, header)) {
      return refusal;
    }
  }
  for (const std::string& marker : columns.markers) {
    columns.markerValues.push_back(number(marker));
  }
  return std::nullopt;
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

// One table as it is read.
struct TableState {
  std::string name;  // as messages show it
  RowReader reader;
  Fields fields;
  char separator = '\0';
  std::size_t fieldCount = 0;  // the header row's
  Columns columns{};
  std::optional<StampFormat> format;
  Series* series = nullptr;  // the station of the row before, tried first
  std::string lastStation;
};

std::string lineOf(const TableState& table) {
  return table.name + ": line " + std::to_string(table.reader.line);
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
  const std::string at = lineOf(table) + ": field " + std::to_string(table.fields.faultAt);
  switch (status) {
    case FieldStatus::kFields:
    case FieldStatus::kTooMany:
      return std::nullopt;
    case FieldStatus::kTextAfterQuote:
      return Refusal{kStatusRefused,
                     at + ": text after the closing quote in " + quoteText(table.reader.row)};
    case FieldStatus::kStrayQuote:
      return Refusal{kStatusRefused,
                     at +
                         ": a quote inside a field that is not quoted as a whole (write it \"\" "
                         "inside quotes) in " +
                         quoteText(table.reader.row)};
  }
  return std::nullopt;
}

// Refuses what no table of rows begins with: text in UTF-16, or lines ended by a lone CR,
// which make the whole file one header row.
std::optional<Refusal> checkText(std::string_view headerRow, const TableState& table) {
  if (headerRow.substr(0, 2) == "\xFF\xFE" || headerRow.substr(0, 2) == "\xFE\xFF") {
    return Refusal{kStatusRefused, lineOf(table) +
                                       ": UTF-16 text (its byte order mark); save the table as "
                                       "UTF-8"};
  }
  if (headerRow.find('\0') != std::string_view::npos) {
    return Refusal{kStatusRefused, lineOf(table) + ": NUL bytes in the header row " +
                                       quoteText(headerRow) +
                                       ": not a text table (UTF-16 text? then save it as "
                                       "UTF-8)"};
  }
  if (headerRow.find('\r') != std::string_view::npos) {
    return Refusal{kStatusRefused, lineOf(table) +
                                       ": lines ended by a lone CR (carriage return): "
                                       "convert the line ends to LF"};
  }
  return std::nullopt;
}

// Reads the header row: the separator, the fields and the columns.
std::optional<Refusal> readHeader(TableState& table, const TableSettings& settings) {
  const RowStatus status = nextRow(table.reader);
  if (status == RowStatus::kEnd) {
    return Refusal{kStatusRefused, table.name + ": empty file, no header row"};
  }
  if (auto refusal = rowFault(status, table)) {
    return refusal;
  }
  std::string_view headerRow = table.reader.row;
  if (headerRow.substr(0, 3) == "\xEF\xBB\xBF") {
    headerRow.remove_prefix(3);  // a byte order mark some programs write
  }
  if (auto refusal = checkText(headerRow, table)) {
    return refusal;
  }
  table.separator = settings.separator;
  if (table.separator == '\0') {
    const std::optional<char> found = detectSeparator(headerRow);
    if (!found) {
      return Refusal{kStatusRefused, lineOf(table) +
                                         ": no separator (';', ',' or tab) in the header row " +
                                         quoteText(headerRow) + "; give it with --separator"};
    }
    table.separator = *found;
  }
  const FieldStatus split = splitRow(headerRow, table.separator, kMaxFields, table.fields);
  if (split == FieldStatus::kTooMany) {
    return Refusal{kStatusRefused, lineOf(table) + ": more than " + std::to_string(kMaxFields) +
                                       " fields in the header row"};
  }
  if (auto refusal = fieldFault(split, table)) {
    return refusal;
  }
  table.fieldCount = table.fields.count;
  return chooseColumns(table.fields.views, settings, table.name, table.columns);
}

// Finds the series of a row's station: rows of one station mostly come together, so the last
// one is tried first.
Series& seriesOf(std::string_view stationText, TableState& table, Collection& collection) {
  if (table.series == nullptr || stationText != table.lastStation) {
    const std::string key = table.columns.station ? stationKey(stationText) : table.name;
    const auto [at, added] = collection.index.try_emplace(key, collection.stations.size());
    if (added) {
      collection.stations.push_back(Series{key, std::string(stationText), {}});
    }
    table.series = &collection.stations[at->second];
    table.lastStation.assign(stationText);
  }
  return *table.series;
}

// Reads the stamp of a row; the first row of a table sets the format of its column.
std::optional<Refusal> readTime(std::string_view timeText, TableState& table,
                                Collection& collection, std::int64_t& time) {
  if (!table.format) {
    table.format = detectStampFormat(timeText);
    if (!table.format) {
      return Refusal{kStatusRefused,
                     lineOf(table) + ": time " + quoteText(timeText) +
                         " cannot be read (YYYYMMDDHH, YYYYMMDDHHMM, YYYYMMDD, YYYY-MM-DD HH:MM "
                         "or DD.MM.YYYY HH:MM)"};
    }
    if (collection.daily && *collection.daily != isDateOnly(*table.format)) {
      return Refusal{kStatusRefused,
                     lineOf(table) + ": time " + quoteText(timeText) +
                         ": dates with and without a time of day in one station file"};
    }
    collection.daily = isDateOnly(*table.format);
  }
  const std::optional<std::int64_t> read = readStamp(timeText, *table.format);
  if (!read) {
    return Refusal{kStatusRefused, lineOf(table) + ": time " + quoteText(timeText) +
                                       " cannot be read as " + formatName(*table.format) +
                                       ", the format of the column"};
  }
  time = *read;
  return std::nullopt;
}

// Reads one data row into its station's series.
std::optional<Refusal> readRow(TableState& table, Collection& collection) {
  const FieldStatus split =
      splitRow(table.reader.row, table.separator, table.fieldCount, table.fields);
  if (auto refusal = fieldFault(split, table)) {
    return refusal;
  }
  if (table.fields.count != table.fieldCount) {
    return Refusal{kStatusRefused, lineOf(table) + ": " + std::to_string(table.fields.count) +
                                       " fields where the header row has " +
                                       std::to_string(table.fieldCount) + ": " +
                                       quoteText(table.reader.row)};
  }
  const std::vector<std::string_view>& fields = table.fields.views;
  std::int64_t time = 0;
  if (auto refusal = readTime(fields[*table.columns.time], table, collection, time)) {
    return refusal;
  }
  const std::string_view valueText = fields[*table.columns.value];
  const std::optional<double> value = readValue(valueText, table.columns);
  if (!value) {
    return Refusal{kStatusRefused, lineOf(table) + ": value " + quoteText(valueText) +
                                       " is not a number and not a missing marker"};
  }
  const std::string_view stationText =
      table.columns.station ? fields[*table.columns.station] : std::string_view(table.name);
  seriesOf(stationText, table, collection)
      .readings.push_back(Reading{time, *value, collection.lines + table.reader.line});
  ++collection.rows;
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

std::optional<Refusal> readTable(std::FILE* file, const std::string& name,
                                 const TableSettings& settings, Collection& collection) {
  TableState table;
  table.name = name;
  table.reader.file = file;
  if (auto refusal = readHeader(table, settings)) {
    return refusal;
  }
  if (collection.layout && *collection.layout != table.columns.layout) {
    return Refusal{kStatusRefused, name +
                                       ": line 1: a layout other than the first file's: one "
                                       "station file holds one kind of values"};
  }
  collection.layout = table.columns.layout;
  collection.files.push_back(name);
  collection.linesBefore.push_back(collection.lines);
  for (;;) {
    const RowStatus status = nextRow(table.reader);
    if (status == RowStatus::kEnd) {
      break;
    }
    if (auto refusal = rowFault(status, table)) {
      return refusal;
    }
    if (trimBlanks(table.reader.row, '\0').empty()) {
      continue;
    }
    if (auto refusal = readRow(table, collection)) {
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
