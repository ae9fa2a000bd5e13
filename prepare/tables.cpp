#include "tables.hpp"

#include <algorithm>  // std::max
#include <charconv>   // std::from_chars
#include <cmath>      // NAN
#include <cstdio>
#include <cstdlib>  // std::free
#include <memory>

namespace kelvarin::prepare {

namespace {

constexpr double kMissing = NAN;
// The marker the German weather service writes for a value it does not have.
constexpr char kDwdMissing[] = "-999";

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

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

// Reads a whole field as a number: an optional sign, then what std::from_chars reads.
std::optional<double> number(std::string_view text) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') {
    digits.remove_prefix(1);
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
  std::size_t time;
  std::optional<std::size_t> station;  // none: the whole table is one station, named by its file
  std::size_t value;
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

std::optional<std::string> chooseColumns(const std::vector<std::string_view>& header,
                                         const TableSettings& settings, const std::string& path,
                                         Columns& columns) {
  const auto headerHolds = [&header](std::string_view name) {
    return std::any_of(header.begin(), header.end(),
                       [name](std::string_view h) { return equalsIgnoringCase(h, name); });
  };
  columns.markers = settings.missingMarkers;
  if (!settings.timeColumn && !settings.valueColumn && !settings.stationColumn) {
    const bool dwd = header.size() >= 3 && equalsIgnoringCase(header[0], "STATIONS_ID") &&
                     equalsIgnoringCase(header[1], "MESS_DATUM");
    if (dwd && equalsIgnoringCase(header[2], "QN_7") && headerHolds("SD_SO")) {
      columns.layout = Layout::kDwdHourly;
      columns.value = *findColumn(header, "SD_SO");
    } else if (dwd && equalsIgnoringCase(header[2], "QN_3") && headerHolds("SDK")) {
      columns.layout = Layout::kDwdDaily;
      columns.value = *findColumn(header, "SDK");
    } else {
      return path +
             ": line 1: no known layout in the header row; name the columns with --time, "
             "--station and --value";
    }
    columns.station = 0;
    columns.time = 1;
    columns.markers.push_back(kDwdMissing);
    for (const std::string& marker : columns.markers) {
      columns.markerValues.push_back(number(marker));
    }
    return std::nullopt;
  }
  if (!settings.timeColumn || !settings.valueColumn) {
    return std::string(
        "give both --time and --value (and --station for tables of several "
        "stations)");
  }
  columns.layout = Layout::kColumns;
  const auto resolve = [&](const std::string& wanted, const char* option,
                           std::size_t& where) -> std::optional<std::string> {
    const std::optional<std::size_t> found = findColumn(header, wanted);
    if (!found) {
      return path + ": line 1: no column \"" + wanted + "\" for " + option + " in the header row";
    }
    where = *found;
    return std::nullopt;
  };
  if (auto fault = resolve(*settings.timeColumn, "--time", columns.time)) {
    return fault;
  }
  if (auto fault = resolve(*settings.valueColumn, "--value", columns.value)) {
    return fault;
  }
  if (settings.stationColumn) {
    std::size_t station = 0;
    if (auto fault = resolve(*settings.stationColumn, "--station", station)) {
      return fault;
    }
    columns.station = station;
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

// Lines of a file, one at a time, through one growing buffer.
struct LineReader {
  std::FILE* file;
  char* buffer = nullptr;
  std::size_t capacity = 0;
  std::uint64_t number = 0;

  bool next(std::string_view& line) {
    const ssize_t length = getline(&buffer, &capacity, file);
    if (length < 0) {
      return false;
    }
    ++number;
    line = std::string_view(buffer, static_cast<std::size_t>(length));
    return true;
  }
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string lineOf(const std::string& path, std::uint64_t line) {
  return path + ": line " + std::to_string(line);
}

// Opens a table and reads its header row: its fields, separator and columns.
std::optional<std::string> openTable(const std::string& path, const TableSettings& settings,
                                     std::unique_ptr<std::FILE, FileCloser>& file,
                                     LineReader& reader, char& separator, Columns& columns) {
  file.reset(std::fopen(path.c_str(), "r"));
  if (!file) {
    return path + ": cannot be opened";
  }
  reader.file = file.get();
  std::string_view headerRow;
  if (!reader.next(headerRow)) {
    return path + ": empty file, no header row";
  }
  if (headerRow.substr(0, 3) == "\xEF\xBB\xBF") {
    headerRow.remove_prefix(3);  // a byte order mark some programs write
  }
  separator = settings.separator;
  if (separator == '\0') {
    const std::optional<char> found = detectSeparator(headerRow);
    if (!found) {
      return lineOf(path, 1) + ": no separator (';', ',' or tab) in the header row \"" +
             std::string(trim(headerRow)) + "\"; give it with --separator";
    }
    separator = *found;
  }
  std::vector<std::string_view> header = splitFields(headerRow, separator);
  std::vector<std::string> names(header.begin(), header.end());  // the buffer is reused
  std::vector<std::string_view> nameViews(names.begin(), names.end());
  return chooseColumns(nameViews, settings, path, columns);
}

}  // namespace

std::vector<std::string_view> splitFields(std::string_view line, char separator) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(separator, start);
    fields.push_back(trim(line.substr(start, end == std::string_view::npos ? end : end - start)));
    if (end == std::string_view::npos) {
      return fields;
    }
    start = end + 1;
  }
}

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

std::optional<std::string> readTable(const std::string& path, const TableSettings& settings,
                                     Collection& collection) {
  std::unique_ptr<std::FILE, FileCloser> file;
  LineReader reader{nullptr};
  char separator = '\0';
  Columns columns{};
  std::optional<std::string> fault = openTable(path, settings, file, reader, separator, columns);
  if (fault) {
    std::free(reader.buffer);
    return fault;
  }
  if (collection.layout && *collection.layout != columns.layout) {
    std::free(reader.buffer);
    return path +
           ": line 1: a layout other than the first file's: one station file holds one "
           "kind of values";
  }
  collection.layout = columns.layout;
  collection.files.push_back(path);
  const std::size_t needed = std::max({columns.time, columns.value, columns.station.value_or(0)});
  std::optional<StampFormat> format;
  Series* series = nullptr;
  std::string lastStation;
  std::string_view line;
  std::vector<std::string_view> fields;
  while (reader.next(line)) {
    if (trim(line).empty()) {
      continue;
    }
    fields = splitFields(line, separator);
    if (fields.size() <= needed) {
      fault = lineOf(path, reader.number) + ": " + std::to_string(fields.size()) +
              " fields, fewer than the header row's columns: \"" + std::string(trim(line)) + "\"";
      break;
    }
    const std::string_view timeText = fields[columns.time];
    if (!format) {
      format = detectStampFormat(timeText);
      if (!format) {
        fault = lineOf(path, reader.number) + ": time \"" + std::string(timeText) +
                "\" cannot be read (YYYYMMDDHH, YYYYMMDDHHMM, YYYYMMDD, YYYY-MM-DD HH:MM or "
                "DD.MM.YYYY HH:MM)";
        break;
      }
      if (collection.daily && *collection.daily != isDateOnly(*format)) {
        fault = lineOf(path, reader.number) + ": time \"" + std::string(timeText) +
                "\": dates with and without a time of day in one station file";
        break;
      }
      collection.daily = isDateOnly(*format);
    }
    const std::optional<std::int64_t> time = readStamp(timeText, *format);
    if (!time) {
      fault = lineOf(path, reader.number) + ": time \"" + std::string(timeText) +
              "\" cannot be read as " + formatName(*format) + ", the format of the column";
      break;
    }
    const std::string_view valueText = fields[columns.value];
    const std::optional<double> value = readValue(valueText, columns);
    if (!value) {
      fault = lineOf(path, reader.number) + ": value \"" + std::string(valueText) +
              "\" is not a number and not a missing marker";
      break;
    }
    const std::string_view stationText =
        columns.station ? fields[*columns.station] : std::string_view(path);
    // Rows of one station mostly come together: the last station found is tried first.
    if (series == nullptr || stationText != lastStation) {
      const std::string key = columns.station ? stationKey(stationText) : path;
      const auto [at, added] = collection.index.try_emplace(key, collection.stations.size());
      if (added) {
        collection.stations.push_back(Series{key, std::string(stationText), {}, {}});
      }
      series = &collection.stations[at->second];
      lastStation.assign(stationText);
    }
    series->times.push_back(*time);
    series->values.push_back(*value);
    ++collection.rows;
  }
  std::free(reader.buffer);
  return fault;
}

std::vector<std::string> findRows(const Collection& collection, const TableSettings& settings,
                                  const std::string& station, std::int64_t time) {
  std::vector<std::string> places;
  for (const std::string& path : collection.files) {
    std::unique_ptr<std::FILE, FileCloser> file;
    LineReader reader{nullptr};
    char separator = '\0';
    Columns columns{};
    if (openTable(path, settings, file, reader, separator, columns)) {
      std::free(reader.buffer);
      continue;
    }
    std::optional<StampFormat> format;
    std::string_view line;
    while (reader.next(line)) {
      const std::vector<std::string_view> fields = splitFields(line, separator);
      if (fields.size() <= std::max(columns.time, columns.station.value_or(0))) {
        continue;
      }
      const std::string key = columns.station ? stationKey(fields[*columns.station]) : path;
      if (!format) {
        format = detectStampFormat(fields[columns.time]);
      }
      if (key == station && format && readStamp(fields[columns.time], *format) == time) {
        places.push_back(lineOf(path, reader.number));
      }
    }
    std::free(reader.buffer);
  }
  return places;
}

}  // namespace kelvarin::prepare
