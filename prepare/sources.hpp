// The archives whose files kelvarin-prepare reads as they are downloaded. Each is described once,
// in sources.cpp, after its provider's documentation: how its files are recognised, where the
// station, the time and the value stand, the unit, the missing markers and flags, what a stamp
// marks and on which clock. Adding an archive means adding one description and its test; the
// table reader follows the description and knows no archive by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "time_stamps.hpp"  // StampFormat

namespace kelvarin::prepare {

/// The unit of a layout's values: the `minutes / per` minutes that one value stands for, so that
/// minutes (1), hours (60), tenths of hours (6) and seconds (1/60) are one field. Minutes and
/// hours are written as they stand, for kelvarin's --input-unit; any other unit is written as
/// minutes (tenths times 6, exact on the integers they are).
struct ValueUnit {
  int minutes = 1;
  int per = 1;
  bool operator==(const ValueUnit&) const = default;
  /// Whether values in this unit are written as they are read.
  bool writtenAsRead() const { return per == 1 && (minutes == 1 || minutes == 60); }
  /// The unit the station file holds values of this unit in.
  ValueUnit written() const { return writtenAsRead() ? *this : ValueUnit{1, 1}; }
  /// Returns a value read in this unit as the station file holds it.
  double toWritten(double value) const { return writtenAsRead() ? value : value * minutes / per; }
};
inline constexpr ValueUnit kMinutes{1, 1};
inline constexpr ValueUnit kHours{60, 1};
inline constexpr ValueUnit kTenthsOfHours{6, 1};
inline constexpr ValueUnit kSeconds{1, 60};

/// The clock a layout's stamps read.
enum class TimeReference {
  kUtc,
  kCetBefore2000,  // CET (UTC+1) before 2000-01-01 00:00, UTC from then on; read as UTC
  kLocalDays,      // dates of days of the station's local standard time
  kUnknown,        // a table named by column options: the user knows
};

/// How a layout's rows lie in its file.
enum class RowShape {
  kHeaderRow,    // a header row names the columns; lines of free text may come before it
  kNoHeaderRow,  // data from the first line, the columns known by position
  kMonthLines,   // fixed width, one station, month and element a line, then 31 days
};

/// Where a layout's rows name their station.
enum class StationFrom {
  kColumn,               // its `station` column
  kFileStem,             // one station a file, named by the file name
  kFileStemWithoutYear,  // the same, the name ending in the year of a file of one year
                         // ("10637-2024.csv" is station 10637)
  kMonthLine,            // the first bytes of each fixed-width line (`monthLine`)
};

/// How a layout's hour column counts the hours of a day.
enum class HourCount {
  kAny,       // 0 to 24, 0 the end of the day before (a table named by column options)
  kOneTo24,   // 1 to 24: hour HH runs from HH-1 to HH (KNMI)
  kZeroTo23,  // 0 to 23: hour 0 the day's midnight (Meteostat)
};

/// Where a field stands: by its name in the header row, or by its 0-based position. Neither:
/// the layout has no such field.
struct Column {
  std::string_view name;
  int position = -1;
  bool exists() const { return !name.empty() || position >= 0; }
};

/// Byte positions of a fixed-width line of one station, month and element, then 31 days of a
/// value and three flags each.
struct MonthLineFields {
  std::size_t stationEnd;  // the station identifier stands in [0, stationEnd)
  std::size_t year;        // 4 digits
  std::size_t month;       // 2 digits
  std::size_t element;     // 4 letters
  std::size_t firstDay;    // the first day's value
  std::size_t dayWidth;    // bytes from one day to the next
  std::size_t valueWidth;
  std::size_t flagOffset;  // of the quality flag from the day's value
};

/// One archive's layout of sunshine duration.
struct SourceLayout {
  std::string_view name{};      // for the summary: "dwd-hourly"
  std::string_view title{};     // header line 1 and the summary
  std::string_view document{};  // the provider's document its rules come from
  // The folder of examples/archives that holds its example files, written from that document,
  // and names tests/archives/EXAMPLE.expected; a test holds every layout to having both.
  std::string_view example{};
  // The station list its archive publishes beside the data (a name of knownStationLists()).
  std::string_view stationList{};
  RowShape shape = RowShape::kHeaderRow;
  char separator = '\0';  // of the fields: ';' or ','; '\0' for fixed width
  // Recognition: a header row (after a leading '#', fields trimmed) that holds every one of
  // these names, any case; for rows without a header, the first row read by `firstRowFits`.
  std::vector<std::string_view> headerHolds{};
  bool (*firstRowFits)(const std::vector<std::string_view>& fields) = nullptr;
  StationFrom stationFrom = StationFrom::kColumn;
  Column station{};  // of kColumn
  Column date{};  // the date; the year alone where the month and the day have columns of their own
  Column month{};
  Column day{};
  Column hour{};  // the hour of the day, when it has a column of its own (it ends its interval)
  // How its stamps are written: the time column's format (the date's, where the hour or the
  // month and day have columns of their own); a stamp of another format is refused. Nothing
  // where the first stamp of each table tells (tables named by column options).
  std::optional<StampFormat> stampFormat{};
  HourCount hourCount = HourCount::kAny;  // of `hour`
  Column value{};
  Column flag{};                     // a quality flag, one character
  Column element{};                  // what a row holds, where rows of several elements are mixed
  std::string_view wantedElement{};  // the element of sunshine duration; other rows are skipped
  std::optional<MonthLineFields> monthLine{};  // the fields of kMonthLines
  ValueUnit unit = kMinutes;
  std::vector<std::string_view> missingMarkers{};  // besides the empty field
  std::string_view missingFlags{};                 // flags that mark a value missing
  std::string_view suspectFlags{};                 // flags that mark a value suspect: kept, counted
  std::optional<double> traceValue{};  // a value that means "less than the smallest unit" ...
  double traceMinutes = 0.0;           // ... written as these minutes, counted
  bool stampsMarkStart = false;        // stamps with a time of day mark the start of their interval
  // Files named after their period, "..._FROM_TO_STATION" (YYYYMMDD): a historical file, whose
  // quality check is complete, and a recent one, whose check is not, overlap; where their values
  // differ, the historical file's value is kept (the part its path names, else a period ending
  // on 31 December), and of two downloads of one part, the one whose period ends later.
  bool historicalBeforeRecent = false;
  // Values stamped up to `earlyWindowUntilMin` (minutes from 1970 on the stamps' clock) cover an
  // interval that ends `earlyWindowSlipMin` minutes before their stamp; 0: none such.
  std::int64_t earlyWindowUntilMin = 0;
  int earlyWindowSlipMin = 0;
  std::string_view earlyWindowNote{};  // what the provider says of them, for the summary
  TimeReference time = TimeReference::kUtc;
  // The layout's step: its files hold one interval per row of this length, whatever gaps they
  // have (a file of even hours alone is still hourly, two days two days apart still daily).
  std::optional<std::int64_t> stepMin{};
};

/// Every layout known, in the order they are tried.
const std::vector<SourceLayout>& knownLayouts();

/// Returns the unit values of `unit` are written in, as the header names it: hours, or minutes
/// (tenths and seconds are written as minutes).
const char* unitName(ValueUnit unit);

}  // namespace kelvarin::prepare
