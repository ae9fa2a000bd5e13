#include "table_fields.hpp"

#include <algorithm>
#include <charconv>  // std::from_chars
#include <cmath>     // std::isnan
#include <cstdint>

#include "powers_of_ten.hpp"  // detail::kPowersOfTenDouble
#include "text_rows.hpp"

namespace kelvarin::prepare {

namespace {

// Most values of an archive are short decimals ("0.6", "-999", "17"), read here as from_chars
// reads them: up to 15 digits make an integer that a double holds exactly, and so is a power of
// ten up to 10^15, so that their one quotient is the correctly rounded value. Not the record
// reader's word-wide reading: a field of a row has no 8 bytes readable beyond it, and gathering
// them into a word costs more than the word saves on fields this short. Anything else (an
// exponent, more digits, "5.", "inf") is left to from_chars.
bool shortDecimal(std::string_view text, double& value) {
  const char* at = text.data();
  const char* const end = at + text.size();
  const bool negative = at != end && *at == '-';
  at += negative ? 1 : 0;
  std::uint64_t whole = 0;
  const char* const first = at;
  for (; at != end && *at >= '0' && *at <= '9'; ++at) {
    whole = whole * 10 + static_cast<std::uint64_t>(*at - '0');
  }
  std::size_t digits = static_cast<std::size_t>(at - first);
  std::size_t decimals = 0;
  if (digits == 0) {
    return false;
  }
  if (at != end && *at == '.') {
    const char* const point = ++at;
    for (; at != end && *at >= '0' && *at <= '9'; ++at) {
      whole = whole * 10 + static_cast<std::uint64_t>(*at - '0');
    }
    decimals = static_cast<std::size_t>(at - point);
    digits += decimals;
  }
  if (at != end || digits > 15 || (text.back() == '.')) {
    return false;
  }
  const double quotient = static_cast<double>(whole) / detail::kPowersOfTenDouble[decimals];
  value = negative ? -quotient : quotient;
  return true;
}

// Reads a whole field as a number into `value`: an optional sign, then what std::from_chars reads
// ("+-5" has two signs and is no number).
bool number(std::string_view text, double& value) {
  if (shortDecimal(text, value)) {
    return true;
  }
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') {
    digits.remove_prefix(1);
    if (!digits.empty() && digits.front() == '-') {
      return false;
    }
  }
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                            std::chars_format::general);
  return error == std::errc() && end == digits.data() + digits.size() && !digits.empty();
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

}  // namespace

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

void takeKnownLayout(const SourceLayout& source, const std::vector<std::string_view>& names,
                     Columns& columns) {
  columns.source = &source;
  columns.time = placeColumn(source.date, names);
  columns.month = placeColumn(source.month, names);
  columns.day = placeColumn(source.day, names);
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
  columns.unit = settings.unit.value_or(kMinutes);
  return checkRoles(columns, name, header);
}

void readMarkers(const TableSettings& settings, Columns& columns) {
  for (const std::string& marker : settings.missingMarkers) {
    columns.markers.push_back(marker);
  }
  for (const std::string& marker : columns.markers) {
    double value = 0.0;
    columns.markerValues.push_back(number(marker, value) ? std::optional<double>(value)
                                                         : std::nullopt);
  }
}

// Reads a value cell: a number, or NaN for a missing value (the empty cell, a marker by its text
// or by its number: "-999.0" is "-999") into `value`. Returns false for a cell that is neither.
bool readValue(std::string_view text, const Columns& columns, double& value) {
  if (text.empty()) {
    value = kMissing;
    return true;
  }
  const bool read = number(text, value);
  for (std::size_t i = 0; i < columns.markers.size(); ++i) {
    if (text == columns.markers[i] ||
        (read && columns.markerValues[i] && value == *columns.markerValues[i])) {
      value = kMissing;
      return true;
    }
  }
  return read && std::isfinite(value);
}

// Applies a layout's flags and units to a value read: a flag of a failed check makes it
// missing, a suspect flag is counted, the trace marker becomes its minutes, tenths of hours
// become minutes.
double interpret(double value, std::string_view flag, const Columns& columns, ValueCounts& counts) {
  const SourceLayout* source = columns.source;
  if (source != nullptr && flag.size() == 1) {
    if (source->missingFlags.find(flag[0]) != std::string_view::npos) {
      counts.failedCheck += std::isnan(value) ? 0U : 1U;
      return kMissing;
    }
    if (!std::isnan(value) && source->suspectFlags.find(flag[0]) != std::string_view::npos) {
      ++counts.suspect;
    }
  }
  if (source != nullptr && source->traceValue && value == *source->traceValue) {
    ++counts.trace;
    return source->traceMinutes;
  }
  return columns.unit.toWritten(value);
}

}  // namespace kelvarin::prepare
