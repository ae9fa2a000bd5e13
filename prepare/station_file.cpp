#include "station_file.hpp"

#include <algorithm>  // std::adjacent_find, std::all_of, std::stable_sort
#include <charconv>   // std::to_chars
#include <cmath>      // std::isnan
#include <unordered_map>

#include "station_layout.hpp"  // kColumnLabels, kMissingText
#include "station_number.hpp"  // isOwnStationNumber
#include "table_fields.hpp"    // kMissing
#include "text_rows.hpp"       // escapeControls

namespace kelvarin::prepare {

std::string joined(const std::vector<std::string>& texts) {
  std::string text;
  for (const std::string& each : texts) {
    text += (text.empty() ? "" : ", ") + each;
  }
  return text;
}

namespace {

constexpr std::int64_t kMinutesPerDay = 1440;

// Orders a station's values by time (tables are mostly in order already), keeping the order of
// rows with the same stamp, and their lines with them.
void sortByTime(Series& series) {
  const std::vector<std::int64_t> times = series.times();
  if (std::is_sorted(times.begin(), times.end())) {
    return;
  }
  std::vector<std::size_t> order(times.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i] = i;
  }
  std::stable_sort(order.begin(), order.end(),
                   [&times](std::size_t a, std::size_t b) { return times[a] < times[b]; });
  const std::vector<std::uint64_t> lines = series.lines();
  const bool held = series.values.size() == series.size();
  if (!held) {
    series.values.clear();  // the values of its first rows: read again, all of them
  }
  const SeriesValues values = held ? series.values : SeriesValues();
  std::vector<std::int64_t> sortedTimes(order.size());
  std::vector<std::uint64_t> sortedLines(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (held) {
      series.values.set(i, values[order[i]]);
    }
    sortedTimes[i] = times[order[i]];
    sortedLines[i] = lines[order[i]];
  }
  series.keepTimes(sortedTimes);
  series.keepLines(sortedLines);
}

std::string valueText(double value) {
  if (std::isnan(value)) {
    return "missing";
  }
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

// Of two different values of one stamp on the lines `lineA` and `lineB` (A read first), returns
// whether the archive's rule keeps the first; `onePart` tells that both come from one part.
std::optional<bool> keepsFirst(const Collection& collection, std::uint64_t lineA,
                               std::uint64_t lineB, bool strict, bool& onePart) {
  const SourceLayout* source = collection.kind.source;
  if (strict || source == nullptr || !source->historicalBeforeRecent) {
    return std::nullopt;
  }
  const std::size_t fileA = fileOf(collection, lineA);
  const std::size_t fileB = fileOf(collection, lineB);
  const std::optional<std::int64_t> endA = collection.inputs.periodEnds[fileA];
  const std::optional<std::int64_t> endB = collection.inputs.periodEnds[fileB];
  const ArchivePart partA = archivePartOf(collection.inputs.names[fileA], endA);
  const ArchivePart partB = archivePartOf(collection.inputs.names[fileB], endB);
  if (!endA || !endB || (partA == partB && *endA == *endB)) {
    return std::nullopt;
  }
  onePart = partA == partB;
  return onePart ? *endA > *endB : partA == ArchivePart::kHistorical;
}

std::string overruledText(const Collection& collection, const Series& series, std::int64_t time,
                          double kept, std::uint64_t keptLine, double overruled,
                          std::uint64_t overruledLine) {
  return "station " + escapeControls(series.label) + " at " + describeMinutes(time) + ", " +
         valueText(kept) + " (" + placeOf(collection, keptLine) + ") over " + valueText(overruled) +
         " (" + placeOf(collection, overruledLine) + ")";
}

}  // namespace

void Overruled::addTo(ValueCounts& counts) const {
  if (counts.recentOverruled == 0 && recent > 0) {
    counts.firstOverruled = firstRecent;
  }
  if (counts.olderOverruled == 0 && older > 0) {
    counts.firstOlderOverruled = firstOlder;
  }
  counts.recentOverruled += recent;
  counts.olderOverruled += older;
}

std::optional<bool> settleTwo(const Collection& collection, const Series& series, std::int64_t time,
                              double kept, std::uint64_t keptLine, double other,
                              std::uint64_t otherLine, bool strict, Overruled& overruled) {
  bool onePart = false;
  const std::optional<bool> keepFirst =
      keepsFirst(collection, keptLine, otherLine, strict, onePart);
  if (!keepFirst) {
    return std::nullopt;
  }
  std::uint64_t& count = onePart ? overruled.older : overruled.recent;
  if (count++ == 0) {
    (onePart ? overruled.firstOlder : overruled.firstRecent) =
        *keepFirst ? overruledText(collection, series, time, kept, keptLine, other, otherLine)
                   : overruledText(collection, series, time, other, otherLine, kept, keptLine);
  }
  return !*keepFirst;
}

std::string twoValuesText(const Collection& collection, const Series& series, std::int64_t time,
                          double a, std::uint64_t lineA, double b, std::uint64_t lineB) {
  return "station " + escapeControls(series.label) + " has two different values for " +
         describeMinutes(time) + ": " + valueText(a) + " and " + valueText(b) + " (" +
         placeOf(collection, lineA) + ", " + placeOf(collection, lineB) + ")";
}

namespace {

// Counts the rows of a stamp given before, of a series whose values are not held: they stay, and
// the station file's writer merges them as mergeRepeats does. Where no rule may settle two of
// them, their values must be compared before anything is written (Collection::checkRepeats).
void keepRepeats(Collection& collection, Series& series, bool strict) {
  const std::vector<std::int64_t> times = series.times();
  const std::vector<std::uint64_t> lines = series.lines();
  series.repeats = 0;
  std::size_t first = 0;  // of the rows of the stamp at hand
  for (std::size_t i = 1; i < times.size(); ++i) {
    if (times[i] != times[i - 1]) {
      first = i;
      continue;
    }
    ++series.repeats;
    for (std::size_t k = first; k < i && !collection.checkRepeats; ++k) {
      bool onePart = false;
      collection.checkRepeats = !keepsFirst(collection, lines[k], lines[i], strict, onePart);
    }
  }
}

// Two rows of one stamp with two different values that no rule settles, with their lines.
struct TwoValues {
  Reading a;
  std::uint64_t lineA;
  Reading b;
  std::uint64_t lineB;
};

// Merges rows repeated with the same stamp and value, and rows of a historical and a recent file
// that differ (keepHistorical); returns the first two rows of one stamp with two different values
// that neither rule settles, or nothing. The values must be in time order.
std::optional<TwoValues> mergeRepeats(Collection& collection, Series& series, bool strict) {
  // A stamp repeated stands in a run of step 0, or ends one run where the next begins.
  bool repeats = false;
  for (std::size_t r = 0; r < series.timeRuns.size() && !repeats; ++r) {
    const TimeRun& run = series.timeRuns[r];
    const std::size_t end =
        r + 1 < series.timeRuns.size() ? series.timeRuns[r + 1].index : series.size();
    repeats = (run.step == 0 && end - run.index > 1) ||
              (r + 1 < series.timeRuns.size() && run.at(end - 1) == series.timeRuns[r + 1].first);
  }
  if (!repeats) {
    return std::nullopt;  // the rule: nothing to merge, and the runs stay as they are
  }
  if (series.values.size() != series.size()) {
    keepRepeats(collection, series, strict);
    return std::nullopt;
  }
  SeriesValues& values = series.values;
  std::vector<std::int64_t> times = series.times();
  std::vector<std::uint64_t> lines = series.lines();
  std::size_t kept = 0;
  Overruled overruled;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (kept > 0 && times[kept - 1] == times[i]) {
      if (!sameValue(values[kept - 1], values[i])) {
        const std::optional<bool> replaced =
            settleTwo(collection, series, times[i], values[kept - 1], lines[kept - 1], values[i],
                      lines[i], strict, overruled);
        if (!replaced) {
          return TwoValues{{times[kept - 1], values[kept - 1]},
                           lines[kept - 1],
                           {times[i], values[i]},
                           lines[i]};
        }
        if (*replaced) {
          values.set(kept - 1, values[i]);
          lines[kept - 1] = lines[i];
        }
      }
      continue;
    }
    values.set(kept, values[i]);
    times[kept] = times[i];
    lines[kept] = lines[i];
    ++kept;
  }
  overruled.addTo(collection.counts);
  values.resize(kept);
  series.count = kept;
  times.resize(kept);
  lines.resize(kept);
  series.keepTimes(times);
  series.keepLines(lines);
  return std::nullopt;
}

// Appends the record stamp "YYYY M D H" of the step ending at `minutes`.
void appendStamp(std::string& line, std::int64_t minutes) {
  const StationStamp stamp = stationStamp(minutes);
  line += std::to_string(stamp.year) + ' ' + std::to_string(stamp.month) + ' ' +
          std::to_string(stamp.day) + ' ';
  const std::int64_t hour = stamp.minuteOfDay / 60;
  const std::int64_t minute = stamp.minuteOfDay % 60;
  line += std::to_string(hour);
  if (minute != 0) {
    // Six decimals place a minute within a thousandth of a second: kelvarin reads the hour as a
    // float, which holds no more.
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, "%.6f", static_cast<double>(minute) / 60.0);
    std::string digits(fraction + 1);  // ".166667"
    while (digits.back() == '0') {
      digits.pop_back();
    }
    line += digits;
  }
}

std::string describeLayout(const Collection& collection) {
  if (collection.kind.source != nullptr) {
    return std::string(collection.kind.source->title);
  }
  return collection.kind.daily.value_or(false) ? "daily sunshine duration" : "sunshine duration";
}

std::string describeUnit(const Collection& collection) {
  const bool daily = collection.kind.daily.value_or(false);
  std::string text = collection.kind.unit
                         ? std::string("values in ") + unitName(*collection.kind.unit)
                         : std::string("values as in the tables");
  text += ", -999 = missing, ";
  const TimeReference time =
      collection.kind.source != nullptr ? collection.kind.source->time : TimeReference::kUnknown;
  switch (time) {
    case TimeReference::kUtc:
      text += daily ? "dates of UTC days" : "time UTC";
      break;
    case TimeReference::kCetBefore2000:
      text += "time UTC (CET stamps before 2000 moved back an hour)";
      break;
    case TimeReference::kLocalDays:
      text += "dates of local days";
      break;
    case TimeReference::kUnknown:
      text += daily ? "dates as in the tables" : "time as in the tables";
      break;
  }
  return text + (daily ? ", each day stamped at hour 24" : ", hour = end of interval");
}

std::string headerLines(const Collection& collection, const StationNumbers& numbers,
                        const std::vector<std::size_t>& which) {
  std::string files;
  if (collection.inputs.names.size() <= 3) {
    for (const std::string& file : collection.inputs.names) {
      files += (files.empty() ? "" : ", ") + file;
    }
  } else {
    files = std::to_string(collection.inputs.names.size()) + " files, the first " +
            collection.inputs.names.front();
  }
  std::string header = "Sunshine duration: " + describeLayout(collection) + " from " + files +
                       ", prepared by kelvarin-prepare\n" + std::string(kColumnLabels);
  for (const std::size_t s : which) {
    header += ' ' + numbers.numbers[s];
  }
  header += "\nStations:";
  for (const std::size_t s : which) {
    // A label is text of the tables: a line break in it would end header line 3 early.
    const std::string label = escapeControls(collection.stations[s].label);
    header += (s == which.front() ? " " : ", ") +
              (numbers.assigned ? numbers.numbers[s] + " " + label : label);
  }
  header += '\n' + describeUnit(collection) + '\n' + std::string(64, '-') + '\n';
  return header;
}

}  // namespace

std::optional<std::int64_t> mostCommonStep(const Collection& collection) {
  std::unordered_map<std::int64_t, std::uint64_t> counts;
  // Runs of one step are the rule: counted by runs, a long file costs few look-ups in the map.
  std::int64_t runStep = 0;
  std::uint64_t runLength = 0;
  for (const Series& series : collection.stations) {
    SeriesTimes timeOf(series);
    std::int64_t before = series.size() > 0 ? timeOf(0) : 0;
    for (std::size_t i = 1; i < series.size(); ++i) {
      const std::int64_t time = timeOf(i);
      const std::int64_t step = time - before;
      before = time;
      if (step == 0) {
        continue;  // a stamp given again, merged when written
      }
      if (step != runStep) {
        if (runLength > 0) {
          counts[runStep] += runLength;
        }
        runStep = step;
        runLength = 0;
      }
      ++runLength;
    }
  }
  if (runLength > 0) {
    counts[runStep] += runLength;
  }
  std::optional<std::int64_t> best;
  std::uint64_t bestCount = 0;
  for (const auto& [step, count] : counts) {
    if (count > bestCount || (count == bestCount && step < *best)) {
      best = step;
      bestCount = count;
    }
  }
  return best;
}

namespace {

// Sorts and merges every station's rows; refuses two values for one station and stamp.
std::optional<Refusal> orderStations(Collection& collection, bool strict) {
  for (Series& series : collection.stations) {
    sortByTime(series);
    if (const std::optional<TwoValues> twice = mergeRepeats(collection, series, strict)) {
      return Refusal{kStatusRefused,
                     twoValuesText(collection, series, twice->a.timeMin, twice->a.value,
                                   twice->lineA, twice->b.value, twice->lineB)};
    }
  }
  return std::nullopt;
}

std::optional<Refusal> chooseStep(const Collection& collection, const GridSettings& settings,
                                  std::int64_t& stepMin) {
  std::optional<std::int64_t> step = settings.stepMin;
  if (!step && collection.kind.source != nullptr) {
    step = collection.kind.source->stepMin;
  }
  if (!step) {
    step = mostCommonStep(collection);
  }
  if (!step && collection.kind.daily.value_or(false)) {
    step = kMinutesPerDay;
  }
  if (!step) {
    return Refusal{kStatusRefused,
                   "every station has a single time stamp: give the step with --step"};
  }
  if (*step <= 0 || *step > kMaxStepMin) {
    return Refusal{kStatusRefused, "the step found from the stamps, " + std::to_string(*step) +
                                       " minutes, is beyond the steps kelvarin takes (1 to " +
                                       std::to_string(kMaxStepMin) + " minutes)"};
  }
  stepMin = *step;
  return std::nullopt;
}

// Finds the stamps at either end of a station that lie farther from the rest of it than the rest
// spans, and more than a hundred steps away: the look of a mistyped year.
void findStrays(const Collection& collection, const Series& series, std::int64_t stepMin,
                std::vector<std::string>& strays) {
  constexpr int kMostStrays = 5;
  // Over the stamps each once: a series not held keeps the rows of a stamp given again.
  std::vector<std::int64_t> times;
  std::vector<std::uint64_t> lines;
  if (series.repeats > 0) {
    times = series.times();
    lines = series.lines();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < times.size(); ++i) {
      if (kept == 0 || times[kept - 1] != times[i]) {
        times[kept] = times[i];
        lines[kept++] = lines[i];
      }
    }
    times.resize(kept);
    lines.resize(kept);
  }
  const bool once = series.repeats == 0;
  const auto at = [&](std::size_t i) { return once ? series.timeOf(i) : times[i]; };
  const auto lineAt = [&](std::size_t i) { return once ? series.lineOf(i) : lines[i]; };
  std::size_t low = 0;
  std::size_t high = series.distinct() - 1;
  for (int found = 0; found < kMostStrays && high - low >= 2; ++found) {
    const std::int64_t lowGap = at(low + 1) - at(low);
    const std::int64_t highGap = at(high) - at(high - 1);
    const bool atLow = lowGap >= highGap;
    const std::int64_t gap = atLow ? lowGap : highGap;
    const std::int64_t rest = atLow ? at(high) - at(low + 1) : at(high - 1) - at(low);
    if (gap <= rest || gap / stepMin <= 100) {
      return;
    }
    const std::size_t index = atLow ? low++ : high--;
    strays.push_back("station " + escapeControls(series.label) + " " + describeMinutes(at(index)) +
                     " (" + placeOf(collection, lineAt(index)) + ")");
  }
}

// Refuses a grid stretched far beyond the stamps it holds, unless --wide-grid takes it.
std::optional<Refusal> checkSpan(const Grid& grid, std::uint64_t longest,
                                 const std::vector<std::string>& strays) {
  const std::uint64_t records = grid.records();
  if (records <= kWideGridRecords || records / kWideGridFactor <= longest) {
    return std::nullopt;
  }
  return Refusal{
      kStatusRefused,
      "the grid from " + describeMinutes(grid.firstMin) + " to " + describeMinutes(grid.lastMin) +
          " holds " + std::to_string(records) + " records, more than " +
          std::to_string(kWideGridFactor) + " times the " + std::to_string(longest) +
          " of its longest station" +
          (strays.empty() ? std::string() : "; stamps far from the rest: " + joined(strays)) +
          ". Correct or remove such rows, or give --wide-grid to take the grid"};
}

}  // namespace

Grid wholeDays(const Grid& data, std::int64_t dayStartMin) {
  Grid grid = data;
  grid.dataFirstMin = data.firstMin;
  grid.dataLastMin = data.lastMin;
  grid.dayStartMin = dayStartMin;
  // Steps that do not divide a day (1000 minutes, or a week) cannot fill whole days: the grid
  // runs from the first stamp to the last, so that no value is dropped or moved.
  if (kMinutesPerDay % grid.stepMin != 0) {
    return grid;
  }
  // On the zone's clock, then back.
  grid.firstMin += dayStartMin;
  grid.lastMin += dayStartMin;
  // The interval that ends at the first stamp starts on some day; the grid goes back to the
  // first interval of that day, and on to the last interval of the last stamp's day.
  const auto floorDiv = [](std::int64_t a, std::int64_t b) { return a / b - (a % b < 0 ? 1 : 0); };
  const std::int64_t firstDay = floorDiv(grid.firstMin - grid.stepMin, kMinutesPerDay);
  const std::int64_t before =
      floorDiv(grid.firstMin - grid.stepMin - firstDay * kMinutesPerDay, grid.stepMin);
  // The last stamp's own day (hour 24 ends the day before): from the start of its interval, a
  // daily value stamped at 07:00 fell on the day before, and the grid ended before it.
  const std::int64_t lastDay = floorDiv(grid.lastMin - 1, kMinutesPerDay);
  const std::int64_t after = floorDiv((lastDay + 1) * kMinutesPerDay - grid.lastMin, grid.stepMin);
  grid.firstMin -= before * grid.stepMin + dayStartMin;
  grid.lastMin += after * grid.stepMin - dayStartMin;
  return grid;
}

Grid inDaysOf(const Grid& grid, std::int64_t dayStartMin) {
  // Only where the zone's midnight is a step's end: a daily file's days are the archive's own,
  // and a grid moved off its stamps would lose every value.
  if (dayStartMin % grid.stepMin != 0) {
    return grid;
  }
  return wholeDays(Grid{grid.dataFirstMin, grid.dataLastMin, grid.stepMin}, dayStartMin);
}

Grid ownGrid(const Series& series, std::int64_t stepMin, std::int64_t dayStartMin) {
  return wholeDays(Grid{series.firstTime(), series.lastTime(), stepMin}, dayStartMin);
}

std::optional<Refusal> makeGrid(Collection& collection, const GridSettings& settings, Grid& grid,
                                std::vector<std::string>& strays) {
  if (collection.counts.rows == 0) {
    return Refusal{kStatusRefused,
                   "no data rows after the header row" +
                       std::string(collection.inputs.names.size() == 1 ? " of " : "s of ") +
                       joined(collection.inputs.names)};
  }
  if (auto refusal = orderStations(collection, settings.strict)) {
    return refusal;
  }
  std::int64_t step = 0;
  if (auto refusal = chooseStep(collection, settings, step)) {
    return refusal;
  }
  // A date without a time already stands for its whole day, stamped at its end: never moved.
  const bool markStart = settings.stampsMarkStart || (collection.kind.source != nullptr &&
                                                      collection.kind.source->stampsMarkStart);
  const bool moveToEnd = markStart && !collection.kind.daily.value_or(false);
  const std::int64_t shift = moveToEnd ? step : 0;
  std::int64_t first = collection.stations.front().firstTime();
  std::int64_t last = first;
  std::uint64_t longest = 0;
  for (const Series& series : collection.stations) {
    first = std::min(first, series.firstTime());
    last = std::max(last, series.lastTime());
    longest = std::max<std::uint64_t>(longest, series.distinct());
  }
  for (Series& series : collection.stations) {
    SeriesTimes timeOf(series);
    for (std::size_t i = 0; i < series.size(); ++i) {
      const std::int64_t time = timeOf(i);
      if ((time - first) % step != 0) {
        return Refusal{kStatusRefused, "station " + escapeControls(series.label) +
                                           ": the stamp of " + describeMinutes(time) +
                                           " lies off the grid of " + std::to_string(step) +
                                           "-minute steps from " + describeMinutes(first) + " (" +
                                           placeOf(collection, series.lineOf(i)) + ")"};
      }
    }
    series.shiftTimes(shift);
    findStrays(collection, series, step, strays);
  }
  grid = wholeDays(Grid{first + shift, last + shift, step}, 0);
  if (settings.wideGrid) {
    return std::nullopt;
  }
  if (!settings.split) {
    return checkSpan(grid, longest, strays);
  }
  for (const Series& series : collection.stations) {
    if (auto refusal = checkSpan(ownGrid(series, step, 0), series.distinct(), strays)) {
      return refusal;
    }
  }
  return std::nullopt;
}

StationNumbers numberStations(const Collection& collection) {
  const bool own = std::all_of(collection.stations.begin(), collection.stations.end(),
                               [](const Series& s) { return isOwnStationNumber(s.key); });
  StationNumbers numbers{{}, !own};
  numbers.numbers.reserve(collection.stations.size());
  for (std::size_t i = 0; i < collection.stations.size(); ++i) {
    numbers.numbers.push_back(own ? collection.stations[i].key : std::to_string(i + 1));
  }
  return numbers;
}

HeldValues::HeldValues(const Collection& collection) : collection_(collection) {
  cursors_.reserve(collection.stations.size());
  for (const Series& series : collection.stations) {
    cursors_.emplace_back(series);
  }
}

bool HeldValues::at(std::size_t s, std::int64_t time, double& value, std::uint64_t& line) {
  SeriesCursor& cursor = cursors_[s];
  const SeriesValues& values = collection_.stations[s].values;
  if (cursor.i >= values.size() || cursor.next != time) {
    return false;
  }
  value = values[cursor.i];
  line = cursor.lines(cursor.i);
  if (++cursor.i < values.size()) {
    cursor.next = cursor.times(cursor.i);
  }
  return true;
}

namespace {

// What the summary's checks of the values look for.
struct TallyLimits {
  std::optional<double> above;  // values beyond a step's minutes, in the unit of the tables
  std::optional<std::int64_t> earlyUntil;
};

TallyLimits tallyLimits(const Collection& collection, std::int64_t stepMin) {
  TallyLimits limits;
  if (collection.kind.unit) {
    // A margin for values rounded in their unit: 0.167 hours is a whole 10-minute step.
    limits.above = static_cast<double>(stepMin) / collection.kind.unit->minutes * 1.02;
  }
  const SourceLayout* source = collection.kind.source;
  if (source != nullptr && source->earlyWindowSlipMin != 0) {
    limits.earlyUntil = source->earlyWindowUntilMin;
  }
  return limits;
}

void tally(double value, std::uint64_t line, std::int64_t time, const TallyLimits& limits,
           ValueTally& counted) {
  if (std::isnan(value)) {
    ++counted.missing;
    return;
  }
  counted.anyValue = true;
  if (limits.above && value > *limits.above && counted.above++ == 0) {
    counted.firstAbove = line;
  }
  if (value < 0.0 && counted.negative++ == 0) {
    counted.firstNegative = line;
  }
  if (limits.earlyUntil && time <= *limits.earlyUntil && counted.early++ == 0) {
    counted.firstEarly = time;
  }
}

}  // namespace

std::optional<Refusal> writeStationFiles(const std::vector<StationOutput>& outputs,
                                         const Collection& collection,
                                         const StationNumbers& numbers, StationValues& values,
                                         std::vector<ValueTally>& tallies) {
  tallies.assign(collection.stations.size(), ValueTally{});
  if (outputs.empty()) {
    return std::nullopt;
  }
  const auto cannotWrite = [](const StationOutput& output) {
    return Refusal{kStatusRefused, output.name + ": cannot be written"};
  };
  const std::int64_t step = outputs.front().grid.stepMin;
  const TallyLimits limits = tallyLimits(collection, step);
  std::int64_t first = outputs.front().grid.firstMin;
  std::int64_t last = outputs.front().grid.lastMin;
  for (const StationOutput& output : outputs) {
    first = std::min(first, output.grid.firstMin);
    last = std::max(last, output.grid.lastMin);
    if (output.file != nullptr) {
      const std::string header = headerLines(collection, numbers, output.which);
      if (std::fwrite(header.data(), 1, header.size(), output.file) != header.size()) {
        return cannotWrite(output);
      }
    }
  }
  // Each file's records gather in its own text, written out a megabyte at a time in all.
  const std::size_t flushAt =
      std::max<std::size_t>(std::size_t{1 << 20} / outputs.size(), std::size_t{4096});
  std::vector<std::string> texts(outputs.size());
  char number[32];
  // The steps of a block are asked of the values first, station by station: a station's rows
  // read again lie together, and a few thousand stations' cursors are not walked step by step.
  // Each file then takes the block's steps in turn, so that split files, a station each, are
  // written a station at a time, not every station at every step.
  constexpr std::int64_t kBlockSteps = 64;
  std::vector<std::string> stamps;  // of the block's steps, made once for all files
  for (std::int64_t blockStart = first; blockStart <= last; blockStart += kBlockSteps * step) {
    const std::int64_t blockEnd = std::min(last, blockStart + (kBlockSteps - 1) * step);
    values.ahead(blockEnd);
    stamps.clear();
    for (std::int64_t time = blockStart; time <= blockEnd; time += step) {
      appendStamp(stamps.emplace_back(), time);
    }
    for (std::size_t o = 0; o < outputs.size(); ++o) {
      const StationOutput& output = outputs[o];
      std::string& text = texts[o];
      for (std::int64_t time = blockStart; time <= blockEnd; time += step) {
        if (time < output.grid.firstMin || time > output.grid.lastMin) {
          continue;
        }
        if (output.file != nullptr) {
          text += stamps[static_cast<std::size_t>((time - blockStart) / step)];
        }
        for (const std::size_t s : output.which) {
          double value = 0.0;
          std::uint64_t line = 0;
          if (!values.at(s, time, value, line)) {
            value = kMissing;
          }
          tally(value, line, time, limits, tallies[s]);
          if (output.file == nullptr) {
            continue;
          }
          text += ' ';
          if (std::isnan(value)) {
            text += kMissingText;
          } else {
            text.append(number, std::to_chars(number, number + sizeof number, value).ptr);
          }
        }
        if (output.file == nullptr) {
          continue;
        }
        text += '\n';
        if (text.size() >= flushAt) {
          if (std::fwrite(text.data(), 1, text.size(), output.file) != text.size()) {
            return cannotWrite(output);
          }
          text.clear();
        }
      }
      if (values.refusal) {
        return values.refusal;
      }
    }
  }
  for (std::size_t o = 0; o < outputs.size(); ++o) {
    const StationOutput& output = outputs[o];
    if (output.file != nullptr &&
        (std::fwrite(texts[o].data(), 1, texts[o].size(), output.file) != texts[o].size() ||
         std::fflush(output.file) != 0)) {
      return cannotWrite(output);
    }
  }
  return std::nullopt;
}

bool writeStationFile(std::FILE* out, const Collection& collection, const StationNumbers& numbers,
                      const std::vector<std::size_t>& which, const Grid& grid,
                      std::vector<std::uint64_t>& missing) {
  HeldValues values(collection);
  std::vector<ValueTally> tallies;
  const bool written = !writeStationFiles({StationOutput{out, "", which, grid}}, collection,
                                          numbers, values, tallies);
  missing.clear();
  for (const std::size_t s : which) {
    missing.push_back(tallies[s].missing);
  }
  return written;
}

}  // namespace kelvarin::prepare
