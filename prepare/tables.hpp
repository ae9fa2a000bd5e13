// Delimited text tables as archives publish them, read into one series per station.
#pragma once

#include <cmath>  // std::isnan
#include <cstddef>
#include <cstdint>
#include <cstdio>  // std::FILE
#include <memory>  // std::shared_ptr
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>  // std::move
#include <vector>

#include "input_files.hpp"
#include "sources.hpp"
#include "station_lists.hpp"
#include "time_stamps.hpp"

namespace kelvarin::prepare {

/// What the command line says of the tables.
struct TableSettings {
  char separator = '\0';                  // '\0': found in each header row
  std::optional<std::string> timeColumn;  // a header name or a 1-based number
  std::optional<std::string> stationColumn;
  std::optional<std::string> valueColumn;
  std::vector<std::string> missingMarkers;  // besides the empty cell and a layout's own
  std::optional<ValueUnit> unit;            // of tables named by column options
  bool stationList = false;                 // the table is a station list (--station-list)
};

/// Exit statuses of a refusal: a wrong command line, or a table or output refused.
constexpr int kStatusUsage = 1;
constexpr int kStatusRefused = 2;

/// Why the run stops: the status and the message, naming the file, the line and the text.
struct Refusal {
  int status;
  std::string message;
};

/// One value of a table: its stamp and the value.
struct Reading {
  std::int64_t timeMin;  // minutes on the calendar, end of the interval once the grid is made
  double value;          // NaN: missing
};

/// A run of a series' stamps or lines: the one of value `index` is `first`, and each after it
/// `step` more, up to the next run. A table gives a station's values line after line and step
/// after step (stations interleaved row by row, every n-th line), so most stations are one run.
template <typename T>
struct Run {
  std::size_t index;
  T first;
  T step;  // of lines, modulo 2^64: lines put back in time order may fall
  T at(std::size_t i) const { return first + static_cast<T>(i - index) * step; }
};
using TimeRun = Run<std::int64_t>;   // minutes on the calendar
using LineRun = Run<std::uint64_t>;  // lines counted over all tables read, see placeOf

/// Extends `runs` by `value` for value `n` of its series: a run of one takes the step to its
/// second, a value off its run's step starts a new one.
template <typename T>
void extendRuns(std::vector<Run<T>>& runs, std::size_t n, T value) {
  if (runs.empty()) {
    runs.push_back({n, value, T{0}});
    return;
  }
  Run<T>& last = runs.back();
  if (n - last.index == 1) {
    last.step = value - last.first;
  } else if (value != last.at(n)) {
    runs.push_back({n, value, T{0}});
  }
}

/// A station's values: as floats while every one is a float exactly (minutes are, and tenths of
/// hours once made minutes), which halves what an archive takes, else all as doubles.
class SeriesValues {
 public:
  std::size_t size() const { return wide_ ? doubles_.size() : floats_.size(); }
  double operator[](std::size_t i) const {
    return wide_ ? doubles_[i] : static_cast<double>(floats_[i]);
  }
  void push_back(double value) {
    if (!wide_ && !fitsFloat(value)) {
      widen();
    }
    if (wide_) {
      doubles_.push_back(value);
    } else {
      floats_.push_back(static_cast<float>(value));
    }
  }
  /// Sets value `i`, which must be one of the series' own values or fit as they do.
  void set(std::size_t i, double value) {
    if (!wide_ && !fitsFloat(value)) {
      widen();
    }
    if (wide_) {
      doubles_[i] = value;
    } else {
      floats_[i] = static_cast<float>(value);
    }
  }
  /// The bytes the values take.
  std::uint64_t bytes() const { return floats_.capacity() * 4 + doubles_.capacity() * 8; }
  void clear() {
    floats_ = std::vector<float>();  // freed, not only emptied
    doubles_ = std::vector<double>();
    wide_ = false;
  }
  void resize(std::size_t size) {
    doubles_.resize(wide_ ? size : 0);
    floats_.resize(wide_ ? 0 : size);
  }

 private:
  // NaN is a float too (missing); -0.0 keeps its sign.
  static bool fitsFloat(double value) {
    return std::isnan(value) || static_cast<double>(static_cast<float>(value)) == value;
  }
  void widen() {
    doubles_.assign(floats_.begin(), floats_.end());
    floats_.clear();
    floats_.shrink_to_fit();
    wide_ = true;
  }
  std::vector<float> floats_;
  std::vector<double> doubles_;
  bool wide_ = false;
};

/// One station's values, in the order read, and their stamps and lines in runs: a value takes
/// the 4 or 8 bytes of the value alone, not the 24 a stamp and a line of its own would add.
/// Where the values are not held (Collection::holdValues), the stamps and lines stay, and the
/// values are read again from the lines when the station file is written.
struct Series {
  Series() = default;
  Series(std::string key_, std::string label_) : key(std::move(key_)), label(std::move(label_)) {}
  std::string key;    // the identifier, leading zeros of a number dropped
  std::string label;  // the identifier as first read
  SeriesValues values;
  std::vector<TimeRun> timeRuns;
  std::vector<LineRun> lineRuns;
  std::size_t count = 0;    // the values read, held or not
  std::size_t repeats = 0;  // rows of a stamp given before, kept for the writer to merge
  // The reading streams (Collection::streams) that hold rows of the station, in order.
  std::vector<std::uint32_t> streams;
  std::size_t size() const { return count; }
  /// The stamps the station has, each once.
  std::size_t distinct() const { return count - repeats; }
  /// Adds a value read on `line` for the stamp `timeMin`; the value is dropped unless `hold`.
  void add(std::int64_t timeMin, double value, std::uint64_t line, bool hold = true) {
    extendRuns(timeRuns, count, timeMin);
    extendRuns(lineRuns, count, line);
    if (hold) {
      values.push_back(value);
    }
    ++count;
  }
  /// Returns the stamp of value `i`.
  std::int64_t timeOf(std::size_t i) const;
  std::int64_t firstTime() const { return timeRuns.front().first; }
  std::int64_t lastTime() const { return timeOf(count - 1); }
  /// Returns every value's stamp, in order.
  std::vector<std::int64_t> times() const;
  /// Keeps `times` as the values' stamps, one each.
  void keepTimes(const std::vector<std::int64_t>& times);
  /// Moves every stamp by `minutes`.
  void shiftTimes(std::int64_t minutes);
  /// Returns the line value `i` was read on.
  std::uint64_t lineOf(std::size_t i) const;
  /// Returns every value's line, in order.
  std::vector<std::uint64_t> lines() const;
  /// Keeps `lines` as the values' lines, one each.
  void keepLines(const std::vector<std::uint64_t>& lines);
};

/// Walks runs in order: each call for an index no lower than the last.
template <typename T>
class RunWalker {
 public:
  explicit RunWalker(const std::vector<Run<T>>& runs) : runs_(&runs) {}
  T operator()(std::size_t i) {
    while (run_ + 1 < runs_->size() && (*runs_)[run_ + 1].index <= i) {
      ++run_;
    }
    return (*runs_)[run_].at(i);
  }

 private:
  const std::vector<Run<T>>* runs_;
  std::size_t run_ = 0;
};

/// Walks the stamps of a series in order.
class SeriesTimes : public RunWalker<std::int64_t> {
 public:
  explicit SeriesTimes(const Series& series) : RunWalker(series.timeRuns) {}
};

/// Walks the lines of a series in order.
class SeriesLines : public RunWalker<std::uint64_t> {
 public:
  explicit SeriesLines(const Series& series) : RunWalker(series.lineRuns) {}
};

/// What the values read are: the layout of their tables, their unit, whether they are daily.
struct ValueKind {
  bool anyTable = false;                 // a table of values has been read
  const SourceLayout* source = nullptr;  // its known layout; none: named by column options
  std::optional<ValueUnit> unit;         // of the values read, tenths already as minutes
  std::optional<bool> daily;             // dates without a time of day
};

/// What the flags of the values read said, for the summary.
struct ValueCounts {
  std::uint64_t rows = 0;
  std::uint64_t suspect = 0;          // values kept although flagged suspect
  std::uint64_t failedCheck = 0;      // values flagged missing or failed, written as missing
  std::uint64_t trace = 0;            // "less than the smallest unit", written as its minutes
  std::uint64_t recentOverruled = 0;  // values of a recent file that its historical file replaced
  std::string firstOverruled;         // the first of them, for the summary
  std::uint64_t olderOverruled = 0;   // values of a download that a newer one of its part replaced
  std::string firstOlderOverruled;
};

/// Where a table is read again for the values of its rows: the row of `line` (counted over all
/// tables) begins at byte `offset` of the table `file`, and from there its stamps never fall back
/// more than kStreamWindowMin behind the latest before them. Rows of one station after another's
/// fall back by years and start a stream of their own; rows of many stations by time make one.
struct Stream {
  std::uint64_t line;
  std::uint64_t offset;
  std::uint32_t file;
  std::uint32_t station;   // the one station of its rows, or kManyStations
  std::uint64_t lastLine;  // of its last value
  std::int64_t latest;     // its latest stamp so far, while it is read
};
constexpr std::uint32_t kManyStations = 0xFFFFFFFF;
constexpr std::int64_t kStreamWindowMin = 2 * 1440;

/// How a table's rows are read again: its layout, as its header row set it up.
struct TableState;

/// Every table read so far: the stations' series, the files they came from, what their values
/// are, and the places of the station lists.
struct Collection {
  std::vector<Series> stations;  // in order of first appearance
  std::unordered_map<std::string, std::size_t> index;
  InputFiles inputs;
  ValueKind kind;
  ValueCounts counts;
  std::vector<PlaceRow> places;  // from station lists and the station lines of data files
  std::vector<UnreadablePlace> unreadablePlaces;  // rows of station lists that cannot be read
  std::vector<std::string> lists;                 // the station lists read, with their layouts
  // The values are held until they take more than `holdBytes`; then, where every table can be
  // read again (`canReread`: files, not pipes, of rows of one value each), the later ones are
  // read again through the streams when the station file is written. A series then holds the
  // values of its first rows, or none where its rows must be put in time order.
  bool holdValues = true;
  bool canReread = false;
  std::uint64_t holdBytes = std::uint64_t{128} << 20;
  bool checkRepeats = false;  // rows of one stamp, not held, whose values no rule may settle
  std::vector<Stream> streams;
  std::vector<std::shared_ptr<const TableState>> tables;  // per file of values, for reading again
};

/// Reads the table at `path` into `collection`; a folder, an unreadable file or a refused row
/// gives the refusal. The file is read once, never opened again.
std::optional<Refusal> readTableFile(const std::string& path, const TableSettings& settings,
                                     Collection& collection);

/// Reads the table of the open stream `file`, named `name` in messages, into `collection`.
std::optional<Refusal> readTable(std::FILE* file, const std::string& name,
                                 const TableSettings& settings, Collection& collection);

/// Returns the separator of a header row: the most frequent of ';', tab and ','.
std::optional<char> detectSeparator(std::string_view headerRow);

}  // namespace kelvarin::prepare
