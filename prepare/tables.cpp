#include "tables.hpp"

#include <algorithm>  // std::max, std::upper_bound
#include <charconv>   // std::from_chars
#include <cmath>      // std::isnan
#include <cstdio>     // std::snprintf
#include <cstring>    // std::strerror
#include <limits>     // std::numeric_limits: quiet_NaN
#include <memory>     // std::unique_ptr

#include "month_lines.hpp"
#include "table_fields.hpp"
#include "table_state.hpp"
#include "text_rows.hpp"

namespace kelvarin::prepare {

namespace {

// Returns the run that holds value `i`: the last one starting at or before it.
template <typename T>
const Run<T>& runOf(const std::vector<Run<T>>& runs, std::size_t i) {
  const auto after =
      std::upper_bound(runs.begin(), runs.end(), i,
                       [](std::size_t index, const Run<T>& run) { return index < run.index; });
  return *(after - 1);
}

// Returns each of `size` values of `runs`.
template <typename T>
std::vector<T> valuesOf(const std::vector<Run<T>>& runs, std::size_t size) {
  std::vector<T> all(size);
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const std::size_t end = r + 1 < runs.size() ? runs[r + 1].index : size;
    for (std::size_t i = runs[r].index; i < end; ++i) {
      all[i] = runs[r].at(i);
    }
  }
  return all;
}

// Returns the runs of `all`.
template <typename T>
std::vector<Run<T>> runsOf(const std::vector<T>& all) {
  std::vector<Run<T>> runs;
  for (std::size_t i = 0; i < all.size(); ++i) {
    extendRuns(runs, i, all[i]);
  }
  return runs;
}

}  // namespace

std::int64_t Series::timeOf(std::size_t i) const {
  return runOf(timeRuns, i).at(i);
}

std::vector<std::int64_t> Series::times() const {
  return valuesOf(timeRuns, count);
}

void Series::keepTimes(const std::vector<std::int64_t>& times) {
  timeRuns = runsOf(times);
}

void Series::shiftTimes(std::int64_t minutes) {
  for (TimeRun& run : timeRuns) {
    run.first += minutes;
  }
}

std::uint64_t Series::lineOf(std::size_t i) const {
  return runOf(lineRuns, i).at(i);
}

std::vector<std::uint64_t> Series::lines() const {
  return valuesOf(lineRuns, count);
}

void Series::keepLines(const std::vector<std::uint64_t>& lines) {
  lineRuns = runsOf(lines);
}

namespace {

// 2000-01-01 00:00 in minutes since 1970: the German weather service's 10-minute stamps are CET
// before it.
constexpr std::int64_t kYear2000 = std::int64_t{10957} * 1440;

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

// Reads the stamp of a row, and its hour where the hour has a column of its own; the layout, or
// else the first row of a table, sets the format of its column.
std::optional<Refusal> readTime(std::string_view timeText, std::string_view hourText,
                                TableState& table, Collection& collection, std::int64_t& time) {
  const SourceLayout* source = table.columns.source;
  const bool layoutFormat = source != nullptr && source->stampFormat;
  if (!table.format) {
    table.format = layoutFormat ? source->stampFormat : detectStampFormat(timeText);
    if (!table.format) {
      return Refusal{kStatusRefused,
                     lineOf(table) + ": time " + quoteText(timeText) +
                         " cannot be read (YYYYMMDDHH, YYYYMMDDHHMM, YYYYMMDD, YYYY-MM-DD HH:MM "
                         "or DD.MM.YYYY HH:MM)"};
    }
    const bool daily = isDateOnly(*table.format) && !table.columns.hour;
    if (collection.kind.daily && *collection.kind.daily != daily) {
      return Refusal{kStatusRefused,
                     lineOf(table) + ": time " + quoteText(timeText) +
                         ": dates with and without a time of day in one station file"};
    }
    collection.kind.daily = daily;
  }
  const std::optional<std::int64_t> read = readStamp(timeText, *table.format);
  if (!read) {
    return Refusal{kStatusRefused,
                   lineOf(table) + ": time " + quoteText(timeText) + " cannot be read as " +
                       formatName(*table.format) + ", the format of " +
                       (layoutFormat ? "the " + std::string(source->name) + " layout"
                                     : std::string("the column"))};
  }
  time = *read;
  if (table.columns.hour) {
    // The date stands for the end of its day; the hour counts from its start.
    const HourCount count = source != nullptr ? source->hourCount : HourCount::kAny;
    const int first = count == HourCount::kOneTo24 ? 1 : 0;
    const int last = count == HourCount::kZeroTo23 ? 23 : 24;
    int hour = -1;
    const auto [end, error] =
        std::from_chars(hourText.data(), hourText.data() + hourText.size(), hour);
    if (!isDateOnly(*table.format) || error != std::errc() ||
        end != hourText.data() + hourText.size() || hour < first || hour > last) {
      return Refusal{kStatusRefused, lineOf(table) + ": hour " + quoteText(hourText) +
                                         " is no hour from " + std::to_string(first) + " to " +
                                         std::to_string(last) + " of the date " +
                                         quoteText(timeText)};
    }
    time += (hour - 24) * std::int64_t{60};
  }
  if (source != nullptr && source->time == TimeReference::kCetBefore2000 && time < kYear2000) {
    time -= 60;  // CET, one hour ahead of UTC
  }
  return std::nullopt;
}

// Writes the date of a year, a month and a day of their own columns as "YYYY-MM-DD" into `out`
// (11 characters), for the stamp reader; false where they are no such numbers.
bool joinDate(std::string_view year, std::string_view month, std::string_view day, char* out) {
  const auto number = [](std::string_view text, std::size_t most, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && text.size() <= most && text[0] != '-' && error == std::errc() &&
           end == text.data() + text.size();
  };
  int y = 0, m = 0, d = 0;
  if (!number(year, 4, y) || year.size() != 4 || !number(month, 2, m) || !number(day, 2, d)) {
    return false;
  }
  std::snprintf(out, 11, "%04d-%02d-%02d", y, m, d);
  return true;
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
  std::string_view date = fields[*columns.time];
  char joined[11];
  if (columns.month && columns.day) {
    const std::string_view month = fields[*columns.month];
    const std::string_view day = fields[*columns.day];
    if (!joinDate(date, month, day, joined)) {
      return Refusal{kStatusRefused, lineOf(table) + ": year " + quoteText(date) + ", month " +
                                         quoteText(month) + " and day " + quoteText(day) +
                                         " are no date"};
    }
    date = std::string_view(joined, 10);
  }
  if (auto refusal = readTime(date, hour, table, collection, time)) {
    return refusal;
  }
  const std::string_view valueText = fields[*columns.value];
  double value = 0.0;
  if (!readValue(valueText, columns, value)) {
    return notANumber(table, valueText);
  }
  const std::string_view flag = columns.flag ? fields[*columns.flag] : std::string_view();
  addReading(columns.station ? fields[*columns.station] : std::string_view(table.stem), time,
             interpret(value, flag, columns, collection.counts), table, collection);
  return std::nullopt;
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

// The line of the row that is most likely the header row of a table of no known layout: the first
// with a separator, after the free text that some archives write before it.
std::uint64_t headerLineGuess(const TableState& table) {
  for (std::size_t r = 0; r < table.early.size(); ++r) {
    if (detectSeparator(table.early[r])) {
      return table.earlyLine[r];
    }
  }
  return 1;
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
    return Refusal{kStatusRefused, table.name + ": line " + std::to_string(headerLineGuess(table)) +
                                       ": no known layout in the header row; name the columns with "
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
  return mostFrequentOf(headerRow, ";\t,");
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
    collection.inputs.lines += table.reader.linesRead;
    return std::nullopt;
  }
  const SourceLayout* source = table.columns.source;
  table.stem = source != nullptr ? stemOf(name) : name;
  if (source != nullptr && source->stationFrom == StationFrom::kFileStemWithoutYear) {
    table.stem = withoutYear(table.stem);
  }
  if (collection.kind.anyTable && collection.kind.source != source) {
    return Refusal{kStatusRefused, name +
                                       ": line 1: a layout other than the first file's: one "
                                       "station file holds one kind of values"};
  }
  if (table.columns.unitKnown) {
    collection.kind.unit = table.columns.unit.written();
  }
  collection.kind.anyTable = true;
  collection.kind.source = source;
  if (source != nullptr && source->shape == RowShape::kMonthLines) {
    collection.canReread = false;  // a row holds a month of values, one line for all of them
  }
  table.file = static_cast<std::uint32_t>(collection.inputs.names.size());
  table.stream.reset();
  collection.inputs.names.push_back(name);
  collection.inputs.linesBefore.push_back(collection.inputs.lines);
  collection.inputs.periodEnds.push_back(periodEndOf(name));
  const std::uint64_t rowsBefore = collection.counts.rows;
  for (;;) {
    const RowStatus status = nextTableRow(table);
    if (status == RowStatus::kEnd) {
      break;
    }
    if (auto refusal = rowFault(status, table)) {
      return refusal;
    }
    if (allBlank(table.row)) {
      continue;
    }
    const bool monthLines = source != nullptr && source->shape == RowShape::kMonthLines;
    if (auto refusal =
            monthLines ? readMonthLine(table, collection) : readFieldRow(table, collection)) {
      return refusal;
    }
  }
  if (collection.counts.rows == rowsBefore) {
    collection.inputs.withoutValues.push_back(name);
  }
  if (collection.canReread) {
    // What reading its rows again takes: the columns and formats its header and rows set up.
    auto kept = std::make_shared<TableState>();
    // Freed, not only emptied: a cursor of its own gets a chunk when it reads again.
    kept->reader.chunk = std::vector<char>();
    kept->name = table.name;
    kept->stem = table.stem;
    kept->separator = table.separator;
    kept->fieldCount = table.fieldCount;
    kept->columns = table.columns;
    kept->format = table.format;
    kept->file = table.file;
    collection.tables.push_back(std::move(kept));
  }
  if (table.reader.lastLineUnended) {
    // A download broken off inside its last line ("...;17.3;6" of a 600) reads as a value.
    collection.inputs.unended.push_back(table.name + ": line " +
                                        std::to_string(table.reader.linesRead));
  }
  collection.inputs.lines += table.reader.linesRead;
  return std::nullopt;
}

std::optional<Refusal> readTableFile(const std::string& path, const TableSettings& settings,
                                     Collection& collection) {
  const std::string name = fileName(path);
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "r"));
  if (!file) {
    return Refusal{kStatusRefused, name + ": cannot be opened: " + std::strerror(errno)};
  }
  const std::optional<InputIdentity> identity = identityOf(fileno(file.get()), name);
  if (identity && identity->folder) {
    return Refusal{kStatusRefused, name + ": a folder, not a table"};
  }
  if (identity) {
    collection.inputs.identities.push_back(*identity);
  }
  const std::size_t tablesBefore = collection.inputs.names.size();
  if (auto refusal = readTable(file.get(), name, settings, collection)) {
    return refusal;
  }
  if (collection.inputs.names.size() > tablesBefore) {
    // A table of values: read again, it must be the same file, unchanged.
    collection.inputs.paths.push_back(path);
    collection.inputs.tableFiles.push_back(identity.value_or(InputIdentity{}));
    if (!identity || !identity->regular) {
      collection.canReread = false;
    }
  }
  return std::nullopt;
}

}  // namespace kelvarin::prepare
