#include "month_lines.hpp"

#include <cmath>  // std::isnan

#include "table_fields.hpp"  // readValue, interpret

namespace kelvarin::prepare {

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
  collection.kind.daily = true;  // every value covers its whole day
  for (std::size_t day = 1; day <= 31; ++day) {
    const std::size_t at = line.firstDay + (day - 1) * line.dayWidth;
    const std::string_view valueText = trimBlanks(row.substr(at, line.valueWidth), '\0');
    double value = 0.0;
    if (!readValue(valueText, table.columns, value)) {
      return notANumber(table, valueText);
    }
    const std::string date = yearMonth + (day < 10 ? "0" : "") + std::to_string(day);
    const std::optional<std::int64_t> time = readStamp(date, StampFormat::kCompactDate);
    if (!time) {
      if (std::isnan(value)) {
        continue;
      }
      return Refusal{kStatusRefused,
                     lineOf(table) + ": a value for " + date + ", a day the month does not have"};
    }
    const std::size_t flagAt = at + line.flagOffset;
    const std::string_view flag =
        flagAt < row.size() ? trimBlanks(row.substr(flagAt, 1), '\0') : std::string_view();
    addReading(station, *time, interpret(value, flag, table.columns, collection.counts), table,
               collection);
  }
  return std::nullopt;
}

}  // namespace kelvarin::prepare
