// The continuous grid of time steps that a station file holds, and the file itself.
#pragma once

#include <cmath>  // std::isnan
#include <cstdint>
#include <cstdio>  // std::FILE
#include <optional>
#include <string>
#include <vector>

#include "tables.hpp"

namespace kelvarin::prepare {

/// The longest step kelvarin takes: its steps are 32-bit integers of minutes.
constexpr std::int64_t kMaxStepMin = 2147483647;

/// A grid is refused when it holds more than this many times the records of its longest station
/// and more than kWideGridRecords records: a few stamps far from the rest stretch it into
/// records of -999 alone (one row from 1900 in a June table gave a million of them).
constexpr std::uint64_t kWideGridFactor = 10;
constexpr std::uint64_t kWideGridRecords = 100000;

/// How the stamps of the tables lie in time.
struct GridSettings {
  std::optional<std::int64_t> stepMin;  // none: the most common difference of consecutive stamps
  bool stampsMarkStart = false;         // each stamp marks the start of its interval
  bool split = false;                   // one file per station, each over its own stamps
  bool wideGrid = false;                // take a grid beyond the bound above
  bool strict = false;                  // refuse historical and recent values that differ
};

/// Steps of `stepMin` minutes; `firstMin` and `lastMin` are the ends of the first and last.
struct Grid {
  std::int64_t firstMin;
  std::int64_t lastMin;
  std::int64_t stepMin;
  // The days the grid is made of start this many minutes before midnight of the stamps' clock:
  // 540 for stamps in UTC of stations in UTC+9, whose days start at 15:00 UTC.
  std::int64_t dayStartMin = 0;
  // The stamps of the data, from which the grid is made (before it is widened to whole days).
  std::int64_t dataFirstMin = 0;
  std::int64_t dataLastMin = 0;
  std::uint64_t records() const {
    return static_cast<std::uint64_t>((lastMin - firstMin) / stepMin) + 1;
  }
};

/// Puts every station's values in time order, merges rows repeated with the same value, finds the
/// step, moves start stamps to the end of their interval and checks that every stamp lies on the
/// grid from the earliest stamp of all stations and that the grid is not stretched beyond the
/// bound. `strays` gets the stamps that lie far from the rest of their station, with their
/// lines. Returns the refusal, naming file, line and text.
std::optional<Refusal> makeGrid(Collection& collection, const GridSettings& settings, Grid& grid,
                                std::vector<std::string>& strays);

/// Returns the grid of one station's own stamps, in whole days that start `dayStartMin` minutes
/// before midnight of the stamps' clock.
Grid ownGrid(const Series& series, std::int64_t stepMin, std::int64_t dayStartMin);

/// Returns `grid` remade in whole days that start `dayStartMin` minutes before midnight of the
/// stamps' clock: the days of the zone whose time kelvarin's command makes of the stamps.
Grid inDaysOf(const Grid& grid, std::int64_t dayStartMin);

/// Returns the texts joined by ", ", as the summary and the refusals list names.
std::string joined(const std::vector<std::string>& texts);

/// Returns the most common difference of consecutive stamps over all stations, or nothing when no
/// station has two.
std::optional<std::int64_t> mostCommonStep(const Collection& collection);

/// The station numbers that header line 2 names: the stations' own when every one is a nonzero
/// integer, otherwise 1, 2, and so on, in order of first appearance (then `assigned`, and header
/// line 3 names them).
struct StationNumbers {
  std::vector<std::string> numbers;
  bool assigned;
};
StationNumbers numberStations(const Collection& collection);

/// What a station's values came to as they were written, for the summary.
struct ValueTally {
  std::uint64_t missing = 0;     // -999 written
  bool anyValue = false;         // a value that is not missing
  std::uint64_t above = 0;       // values beyond the minutes of a step
  std::uint64_t firstAbove = 0;  // the line of the first
  std::uint64_t negative = 0;
  std::uint64_t firstNegative = 0;
  std::uint64_t early = 0;  // values of the layout's early window (SourceLayout)
  std::int64_t firstEarly = 0;
};

/// The values of the stations, asked stamp by stamp as the station files are written.
class StationValues {
 public:
  StationValues() = default;
  StationValues(const StationValues&) = delete;
  StationValues& operator=(const StationValues&) = delete;
  virtual ~StationValues() = default;
  /// Gives the value of station `s` (an index into the collection) at `time` and the line it was
  /// read on; false where the station has none. The stamps asked of one station rise.
  virtual bool at(std::size_t s, std::int64_t time, double& value, std::uint64_t& line) = 0;
  /// Says that the stamps up to `last` come next, so that each station's may be had together.
  virtual void ahead(std::int64_t last) { static_cast<void>(last); }
  /// Adds the values that merging overruled as they were had to the counts of the summary (the
  /// values held were merged, and counted, by makeGrid).
  virtual void countOverruled(ValueCounts& counts) const { static_cast<void>(counts); }
  /// Why the values could not be had; `at` gives none from then on.
  std::optional<Refusal> refusal;
};

/// Walks a series' values in time order: value `i` stands at the stamp `next` and was read on
/// `lines(i)`.
struct SeriesCursor {
  explicit SeriesCursor(const Series& series)
      : times(series), lines(series), next(series.size() > 0 ? series.firstTime() : 0) {}
  SeriesTimes times;
  SeriesLines lines;
  std::size_t i = 0;
  std::int64_t next;
};

/// The values held in the series, merged by makeGrid.
class HeldValues final : public StationValues {
 public:
  explicit HeldValues(const Collection& collection);
  bool at(std::size_t s, std::int64_t time, double& value, std::uint64_t& line) override;

 private:
  const Collection& collection_;
  std::vector<SeriesCursor> cursors_;
};

/// One station file to write: where it goes (none: the values are only looked at), its name in
/// messages, its stations (indices into the collection) and its grid. The grids of one run share
/// their step.
struct StationOutput {
  std::FILE* file;
  std::string name;
  std::vector<std::size_t> which;
  Grid grid;
};

/// Writes the station files `outputs` side by side, stamp after stamp: the five header lines,
/// then one record a step, -999 where a station has no value. `tallies` (one per station of the
/// collection) gets what each station's values came to. Returns the refusal of a file that could
/// not be written, or of values that could not be read.
std::optional<Refusal> writeStationFiles(const std::vector<StationOutput>& outputs,
                                         const Collection& collection,
                                         const StationNumbers& numbers, StationValues& values,
                                         std::vector<ValueTally>& tallies);

/// Writes a station file of the stations `which` (indices into the collection) over `grid` from
/// the values held. Returns false when writing failed; `missing` gets the count of -999 written
/// per station of `which`.
bool writeStationFile(std::FILE* out, const Collection& collection, const StationNumbers& numbers,
                      const std::vector<std::size_t>& which, const Grid& grid,
                      std::vector<std::uint64_t>& missing);

/// The values of one station that the archive's rule overruled, for the summary: of the
/// historical and recent parts, and of two downloads of one part, each with the first of them.
struct Overruled {
  std::uint64_t recent = 0;
  std::string firstRecent;
  std::uint64_t older = 0;
  std::string firstOlder;
  /// Adds them to `counts`, whose firsts stay where they name one already.
  void addTo(ValueCounts& counts) const;
};

/// Settles two different values of one stamp of `series`, `kept` (read first) and `other`, by the
/// archive's rule: the historical (quality-checked) part's over the recent part's, of two
/// downloads of one part the newer one's. Returns whether `other` replaces `kept`, counted in
/// `overruled`; nothing where the files do not tell, or under `strict`: the run is refused.
std::optional<bool> settleTwo(const Collection& collection, const Series& series, std::int64_t time,
                              double kept, std::uint64_t keptLine, double other,
                              std::uint64_t otherLine, bool strict, Overruled& overruled);

/// Returns true where two values of one stamp are the same (both missing too): merged at once.
inline bool sameValue(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

/// The refusal's text of two values of one stamp that no rule settles.
std::string twoValuesText(const Collection& collection, const Series& series, std::int64_t time,
                          double a, std::uint64_t lineA, double b, std::uint64_t lineB);

}  // namespace kelvarin::prepare
