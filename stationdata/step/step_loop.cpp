#include "step/step_loop.hpp"

#include <algorithm>  // std::fill, std::min
#include <chrono>
#include <cinttypes>  // PRIu64
#include <cmath>      // std::isfinite
#include <cstdint>
#include <cstring>  // std::memcpy
#include <optional>
#include <string_view>

#include "reading/header_pass.hpp"
#include "step/calendar.hpp"
#include "step/possible.hpp"
#include "writing/step_line.hpp"
#include "writing/step_report.hpp"

namespace kelvarin {

namespace {

constexpr float kInt32Limit = 2147483648.0f;  // 2^31: the first float past INT32_MAX

// What a step needs of the answers, worked out once per run.
struct StepPlan {
  std::int32_t recordsPerStep;
  float stampIndex;  // the record (counted from 1) whose stamp the step line carries
  double inputUnitMin;
  double outputStepMin;
  double stepH;
  double inputStepH;
  double inputStepMin;
  double coverage;  // the share of a step's daylight its known records must hold
  float timeShiftH;
  bool shortcuts;  // the sun memo, the results two at a time and the quick writers
  bool daySteps;   // steps of a day or more, which should end in the night
};

StepPlan makeStepPlan(const RunParameters& params, bool shortcuts, double coverage) {
  StepPlan plan{};
  plan.shortcuts = shortcuts;
  plan.coverage = coverage;
  plan.inputStepH = static_cast<double>(params.inputStepMin) / 60.0;
  plan.inputStepMin = static_cast<double>(params.inputStepMin);
  // Single precision and truncation as the files have always been cut into steps.
  plan.recordsPerStep = static_cast<std::int32_t>(params.outputStepMin / params.inputStepMin);
  // Only the output step is truncated: 90 minutes over hourly data gives 1.5, never a stamp.
  plan.stampIndex =
      static_cast<float>(static_cast<std::int32_t>(params.outputStepMin)) / params.inputStepMin;
  plan.inputUnitMin = static_cast<double>(params.inputUnitMin);
  plan.outputStepMin = static_cast<double>(params.outputStepMin);
  plan.stepH = static_cast<double>(params.outputStepMin) / 60.0;
  plan.timeShiftH = params.timeShiftH;
  plan.daySteps = params.outputStepMin >= 1440.0f;
  return plan;
}

// Where a step's sun times come from: the run's place, shared by every column, or each column's
// own place. Either way they depend on nothing but the day and the place: remembered per day of
// the year, they cost a look-up instead of a sine, a cosine and an arc cosine per step (measured:
// shape g, three stations, 45 % faster). For places of their own the year's table is bounded;
// past the bound every column's are worked out once when the day changes.
struct SunSource {
  const ColumnPlaces* places = nullptr;  // nothing: every column at the run's place
  DayMemo<SunTimes> placeDays;           // the run's place, unless the shortcuts are off
  ColumnDay<SunTimes> columnDays;        // the day met last, where the year's table is too large
  DayExtremes columnDayExtremes;         // of that day
  const DayExtremes* dayExtremes = nullptr;  // of the day columnSun gave last
  std::vector<LightBounds> columnBounds;     // by column
  LightBounds lightBounds;                   // of every day at the places of the run
  // The ends of a step's window (fixed steps) where the stamp's day serves it whatever the day:
  // none where a day may have no sunrise.
  double servedEndFromH = HUGE_VAL;
  double servedEndToH = -HUGE_VAL;
  LightSource light;  // the daylight of windows that leave the stamp's day
};

// The sun times of the run's place on a day; nothing for a month outside 1 to 12.
std::optional<SunTimes> placeSun(DayMemo<SunTimes>* memo, const RunParameters& params,
                                 std::int32_t day, std::int32_t month) {
  const auto compute = [&] {
    return sunriseSunset(day, month, params.latitudeDeg, params.longitudeDeg,
                         params.referenceMeridianDeg);
  };
  if (memo == nullptr || !isValidMonth(month)) {
    return compute();
  }
  return rememberedForDay(*memo, day, month, [&] { return *compute(); });
}

// Returns each column's sun times for a day: from the year's table where it is kept, else worked
// out when the day changes. The month must lie in 1 to 12.
[[gnu::noinline]] const SunTimes* columnSun(SunSource& source, std::int32_t day,
                                            std::int32_t month) {
  const std::vector<SolarPlace>& solar = source.places->solar;
  if (const SunTimes* row =
          columnYearDay(source.light.columnYear, solar, day, month, &source.dayExtremes)) {
    return row;
  }
  ColumnDay<SunTimes>& cache = source.columnDays;
  if (!holdsColumnDay(cache, day, month, solar.size())) {
    source.columnDayExtremes = workOutColumnDay(solar, day, month, cache.values.data());
  }
  source.dayExtremes = &source.columnDayExtremes;
  return cache.values.data();
}

// Writes "\t0.000" for every column of a night step: 0 whatever was measured, with no result to
// work out or format.
void writeNightResults(OutputBuffer& out, std::size_t columns) {
  constexpr std::string_view kNightResult = "\t0.000";
  char* p = room(out, columns * kNightResult.size());
  for (std::size_t c = 1; c <= columns; ++c, p += kNightResult.size()) {
    std::memcpy(p, kNightResult.data(), kNightResult.size());
  }
  advance(out, columns * kNightResult.size());
}

// The sun of a step at places of their own: each column's sun times and room for its day
// fraction. (At the run's place the step's one day fraction is all there is, and it travels in a
// register: a struct in memory cost shape g 7 instructions a step.)
struct PlacedSun {
  const SunTimes* columnSun;  // by column
  double* dayFractions;
  const ColumnPlaces* places;
  const WindowLight* light;     // by column, where the window leaves the stamp's day; or nothing
  const DayExtremes* extremes;  // of the columns' sun times that day
  double* yearFractions;        // the day fractions remembered for the day, or nothing
  bool yearFractionsKnown;      // they are this step's
  const double* wholeDay;       // a day fraction of 1 for every column
  const double* wholeNight;     // a day fraction of 0 for every column
};

// A step's missing records, by column.
struct StepGaps {
  double coverage = 1.0;
  bool any = false;                      // a column has a record missing in daylight
  std::vector<double> missingH;          // by column: the daylight of its missing records
  std::vector<std::uint64_t> partial;    // by column: steps of the run from part of their daylight
  std::vector<std::uint64_t> missing;    // by column: steps of the run written as missing
  std::vector<std::uint64_t> firstLine;  // by column: where its first such step ended
  // The day fractions the step was worked out with: the run's place's, or each column's.
  double dayFraction = 0.0;
  const double* fractions = nullptr;
};

// Returns the result of a column whose missing records hold `missingH` hours of the step's
// `possibleH` hours of daylight: from the sunshine of the others over their daylight where they
// cover enough of it, kMissingValue where not. Counted for the end of the run.
[[gnu::noinline]] double gapResult(StepGaps& gaps, std::size_t c, double sumMin, double possibleH,
                                   std::uint64_t line) {
  const double missingH = gaps.missingH[c];
  if (gaps.firstLine[c] == 0) {
    gaps.firstLine[c] = line;
  }
  if (!(missingH <= (1.0 - gaps.coverage) * possibleH) || !(possibleH - missingH > 0.0)) {
    ++gaps.missing[c];
    return kMissingValue;
  }
  ++gaps.partial[c];
  return clipResult(sumMin / 60.0 / (possibleH - missingH));
}

// Works out each column's day fraction and result at its own place. Two at a time and without
// branches where columns are many: a few columns, whose night fractions branch alike, would only
// pay for the divisions of their night.
// Returns the day fractions it used: `sun.dayFractions`, or the ones remembered for the day.
const double* placedResults(const double* sums, std::size_t columns, const StepPlan& plan,
                            const PlacedSun& sun, const StepPlace& place, double* results) {
  double* const dayFractions = sun.dayFractions;
  if (plan.shortcuts) {
    // Most steps lie in daylight at every place, or in the night at every place: the extremes of
    // the day's sun times tell, and each column is then what it would be worked out alone.
    const DayExtremes& x = *sun.extremes;
    if (place.startH > x.latestRiseH && x.earliestSetH > place.endH) {
      relativeSunshineOfAll(sums, columns, plan.outputStepMin, 1.0, results);
      return sun.wholeDay;
    }
    if (place.endH <= x.earliestRiseH || place.startH >= x.latestSetH) {
      return sun.wholeNight;  // every column is written 0 without its result
    }
  }
  if (plan.shortcuts && columns >= 16) {
    // Steps of a day or more end at the same hour of their day every year: their day fractions
    // are remembered by day (measured: shape e, 5000 stations, 25 % faster).
    if (sun.yearFractions != nullptr && sun.yearFractionsKnown) {
      if (sun.light == nullptr) {  // nothing to change in them
        relativeSunshineOfColumns(sums, columns, plan.outputStepMin, sun.yearFractions, results);
        return sun.yearFractions;
      }
      std::memcpy(dayFractions + 1, sun.yearFractions + 1, columns * sizeof(double));
    } else {
      dayFractionsOf(place.startH, place.endH, plan.stepH, sun.columnSun, columns, dayFractions);
      if (sun.yearFractions != nullptr) {
        std::memcpy(sun.yearFractions + 1, dayFractions + 1, columns * sizeof(double));
      }
    }
    relativeSunshineOfColumns(sums, columns, plan.outputStepMin, dayFractions, results);
    return dayFractions;
  }
  for (std::size_t c = 1; c <= columns; ++c) {
    dayFractions[c] = 1.0 - nightFraction(place.startH, place.endH, plan.stepH, sun.columnSun[c]);
    results[c] = dayFractions[c] > 0.0
                     ? relativeSunshine(sums[c], plan.outputStepMin, dayFractions[c])
                     : 0.0;
  }
  return dayFractions;
}

// Takes each column whose window reaches past the stamp's day, where the stamp's day alone does not
// give its daylight, by the daylight of its window's days.
[[gnu::noinline]] void placedResultsAcrossDays(const double* sums, std::size_t columns,
                                               const StepPlan& plan, const PlacedSun& sun,
                                               double* results) {
  for (std::size_t c = 1; c <= columns; ++c) {
    if (!stampDayHolds(sun.light[c], plan.stepH <= 24.0)) {
      const double dayFraction = dayFractionOfDaylight(sun.light[c].hours, plan.stepH);
      sun.dayFractions[c] = dayFraction;
      results[c] =
          dayFraction > 0.0 ? relativeSunshine(sums[c], plan.outputStepMin, dayFraction) : 0.0;
    }
  }
}

// Works out each column's day fraction and result at its own place, the columns whose window
// reaches another day's light among them. Returns the day fractions.
const double* placedStepResults(const double* sums, std::size_t columns, const StepPlan& plan,
                                const PlacedSun& sun, const StepPlace& place, double* results) {
  const double* fractions = placedResults(sums, columns, plan, sun, place, results);
  if (sun.light != nullptr) {
    // The columns across days change their own fractions: in the step's copy.
    if (fractions != sun.dayFractions) {
      std::memcpy(sun.dayFractions + 1, fractions + 1, columns * sizeof(double));
      fractions = sun.dayFractions;
    }
    placedResultsAcrossDays(sums, columns, plan, sun, results);
  }
  return fractions;
}

// A column's own place, for the checks of a step with places of their own.
inline StepPlace columnPlace(const StepPlace& place, const PlacedSun& sun, std::size_t c) {
  StepPlace own = place;
  own.placeDeg = &sun.places->placeDeg[2 * c];
  own.column = c;
  own.wholeWindow = sun.light != nullptr &&
                    !stampDayHolds(sun.light[c], lastsADayAtMost(place.startH, place.endH));
  return own;
}

// Writes "\t0.000" at `p` for a column in the night at its own place and checks its sunshine:
// counted once a step (while the count is still `nightSteps`), by its first such column, as a
// step of one place is. Returns false when strict makes it the fault.
inline bool writeNightColumn(char*& p, Diagnostics& diagnostics, double sumMin, std::size_t c,
                             const PlacedSun& sun, const StepPlace& place,
                             std::uint64_t nightSteps) {
  std::memcpy(p, "\t0.000", 6);
  p += 6;
  if (diagnostics.sunDown.count == nightSteps && sumMin > kSunshineToleranceMin) {
    StepPlace own = columnPlace(place, sun, c);
    return checkNightColumn(diagnostics, sumMin, c, own);
  }
  return true;
}

// Checks the sums of a step in the night at every column's own place, as checkNightStep does at
// one place: counted once a step, by its first column with sunshine beyond the real sky's.
[[gnu::noinline]] bool checkPlacedNightStep(Diagnostics& diagnostics, const double* sums,
                                            std::size_t columns, const PlacedSun& sun,
                                            const StepPlace& place) {
  for (std::size_t c = 1; c <= columns; ++c) {
    if (sums[c] > kSunshineToleranceMin) {
      StepPlace own = columnPlace(place, sun, c);
      const std::uint64_t before = diagnostics.sunDown.count;
      if (!checkNightColumn(diagnostics, sums[c], c, own)) {
        return false;
      }
      if (diagnostics.sunDown.count != before) {
        return true;
      }
    }
  }
  return true;
}

// Checks a result of 1 or more, or below 0, at the run's place or at the column's own.
template <bool kPlaced>
inline bool checkClipped(Diagnostics& diagnostics, double sumMin, double r, std::size_t c,
                         StepPlace& place, const PlacedSun* placed) {
  if constexpr (kPlaced) {
    StepPlace own = columnPlace(place, *placed, c);
    return checkDayResult(diagnostics, sumMin, r, c, own);
  } else {
    return checkDayResult(diagnostics, sumMin, r, c, place);
  }
}

// Writes "\t%5.3f" of each column's relative sunshine and shows the diagnostics the steps and
// results that may contradict the sun model. One writer for both sources of sun times: at the
// run's place (kPlaced false) every column shares the step's day fraction, and a night step is
// night for all; with places of their own each column is written exactly as a run over that
// column alone at its place writes it, and the checks see the column's own place. Returns false
// when strict makes an anomaly the fault. Out of line: inlined into the step loop, its loop kept
// each result on the stack for want of registers (shapes a, e and g 1.5 to 3 % slower).
template <bool kPlaced>
[[gnu::noinline]] bool writeResults(OutputBuffer& out, const double* sums, std::size_t columns,
                                    const StepPlan& plan, double dayFraction, double* results,
                                    StepGaps& gaps, Diagnostics& diagnostics,
                                    const PlacedSun* placed, StepPlace&& place) {
  // Copies: the characters written below could alias the plan and the reader, which would be
  // read again for every column.
  const bool shortcuts = plan.shortcuts;
  const double outputStepMin = plan.outputStepMin;
  const bool anyMissing = gaps.any;
  [[maybe_unused]] const double* fractions = nullptr;  // by column, with places of their own
  if constexpr (kPlaced) {
    fractions = placedStepResults(sums, columns, plan, *placed, place, results);
    gaps.fractions = fractions;
    if (fractions == placed->wholeNight) {
      writeNightResults(out, columns);
      return checkPlacedNightStep(diagnostics, sums, columns, *placed, place);
    }
  } else {
    gaps.dayFraction = dayFraction;
    if (!(dayFraction > 0.0)) {
      writeNightResults(out, columns);
      return checkNightStep(diagnostics, sums, columns, place);
    }
    if (shortcuts) {
      relativeSunshineOfAll(sums, columns, outputStepMin, dayFraction, results);
    }
  }
  // Room for the whole line at once: every result is short once clipped.
  char* const line = room(out, columns * kMaxResultLength + 8);
  char* p = line;
  [[maybe_unused]] const std::uint64_t nightSteps = kPlaced ? diagnostics.sunDown.count : 0;
  for (std::size_t c = 1; c <= columns; ++c) {
    if constexpr (kPlaced) {
      if (!(fractions[c] > 0.0)) {
        if (!writeNightColumn(p, diagnostics, sums[c], c, *placed, place, nightSteps)) {
          return false;
        }
        continue;
      }
    }
    // A column with a record missing in daylight: from its other records, where they cover enough.
    double r;
    if (anyMissing && gaps.missingH[c] > 0.0) {
      const double possibleH = (kPlaced ? fractions[c] : dayFraction) * plan.stepH;
      r = gapResult(gaps, c, sums[c], possibleH, place.line);
    } else {
      r = kPlaced || shortcuts ? results[c] : relativeSunshine(sums[c], outputStepMin, dayFraction);
    }
    if (shortcuts && isBelowOne(r)) {
      p += writeUnitResult(p, r);
      continue;
    }
    // Only a result clipped to 1 can hold more sunshine than the real sky allows (its day is
    // longer than the model's), and negative ones are rare: one comparison per value finds both.
    if (((r >= kUpperClip) | (r < 0.0)) &&
        !checkClipped<kPlaced>(diagnostics, sums[c], r, c, place, placed)) {
      return false;
    }
    p += writeResult(p, r, shortcuts);
  }
  advance(out, static_cast<std::size_t>(p - line));
  return true;
}
// Ends the run on a fault of the file: nothing of the step it stopped reaches the output.
RunOutcome badInput(OutputBuffer& out, ReadFault fault) {
  discardOpenLine(out);
  return {RunEnd::kBadInput, std::move(fault)};
}

// Ends the run at the end of the input, `k` being the record of the step that was not there.
RunOutcome endOfInput(OutputBuffer& out, const Diagnostics& diagnostics, std::int32_t k,
                      std::int32_t recordsPerStep) {
  if (k > 1) {
    // A last step cut short would be divided by a whole step's daylight and come out too low:
    // it is left out, and said so.
    discardOpenLine(out);
    char what[160];
    std::snprintf(what, sizeof what,
                  "last step incomplete: %d of %d records at the end of the input file, no line "
                  "written for them",
                  k - 1, recordsPerStep);
    if (diagnostics.strict) {
      return {RunEnd::kBadInput, ReadFault{0, {}, what}};
    }
    sayWarning(diagnostics.console, what);
  }
  return {flushLines(out) ? RunEnd::kDone : RunEnd::kWriteFailed, {}};
}

// What a run keeps from step to step.
struct StepState {
  SunSource sun;
  StepReporter* reporter = nullptr;  // results in another layout, or nothing
  std::vector<double> possibleMin;   // by column, for the reporter
  std::vector<double> missingMin;
  StepGaps gaps;
  std::vector<WindowLight> columnLight;  // with places of their own, where a window leaves its day
  std::vector<unsigned char> columnNeeded;  // the columns columnLight is worked out for
  std::vector<double> results;              // a step's results, before they are written
  std::vector<double> dayFractions;         // with places of their own: each column's
  std::vector<double> wholeDay;             // with places of their own: 1 for every column
  std::vector<double> wholeNight;           // with places of their own: 0 for every column
  WrittenDate writtenDate;
  RecordStamp stamp{};  // of the record read last, its hour as stored
  float localH = 0.0f;  // that record's local end time
};

// Tells once when a step of a day or more ends while the sun is up at a column's place.
[[gnu::noinline]] bool checkColumnStepEnds(Diagnostics& diagnostics, const StepPlace& place,
                                           const SunTimes* columnSun, const DayExtremes& extremes,
                                           std::size_t columns) {
  if (diagnostics.toldStepEnd) {
    return true;
  }
  const double endH = stepEndOfDayH(place);
  // No column's sun has been up an hour before the earliest sunrise, nor sets an hour later after
  // the latest sunset: most steps of a day end in the night everywhere.
  if (endH < extremes.earliestRiseH + 1.0 || endH > extremes.latestSetH - 1.0) {
    return true;
  }
  for (std::size_t c = 1; c <= columns; ++c) {
    if (sunUpAtStepEnd(endH, columnSun[c])) {
      return checkStepEnd(diagnostics, place, columnSun[c]);
    }
  }
  return true;
}
void startGaps(StepGaps& gaps, double coverage, std::size_t columns) {
  gaps.coverage = coverage;
  gaps.missingH.assign(columns + 1, 0.0);
  gaps.partial.assign(columns + 1, 0);
  gaps.missing.assign(columns + 1, 0);
  gaps.firstLine.assign(columns + 1, 0);
}

// Settles the values of the record read last that are missing: where the record holds no
// daylight at the column's place the sunshine was 0, known without a measurement; elsewhere its
// daylight is counted against the column's result.
[[gnu::noinline]] void settleMissing(const std::vector<std::size_t>& missingColumns,
                                     StepState& state, const StepPlan& plan, std::size_t columns) {
  const RecordStamp& stamp = state.stamp;
  const double endH = static_cast<double>(state.localH);
  const double startH = endH - plan.inputStepH;
  const bool placed = state.sun.light.places != nullptr;
  std::optional<double> placeH;
  bool columnsKnown = false;
  for (const std::size_t c : missingColumns) {
    std::optional<double> hours;
    if (placed) {
      if (!columnsKnown) {
        state.columnLight.resize(columns + 1);
        columnsKnown = windowLightOfColumns(state.sun.light, stamp, startH, endH, columns,
                                            state.columnLight.data());
      }
      hours = columnsKnown ? std::optional<double>(state.columnLight[c].hours) : std::nullopt;
    } else {
      if (!placeH && isValidMonth(stamp.month)) {
        const std::optional<WindowLight> light = windowLight(state.sun.light, stamp, startH, endH);
        placeH = light ? std::optional<double>(light->hours) : std::nullopt;
      }
      hours = placeH;
    }
    // A record that cannot be placed in its days is taken as daylight: missing, as it was.
    state.gaps.missingH[c] += hours.value_or(plan.inputStepH);
    state.gaps.any |= state.gaps.missingH[c] > 0.0;
  }
}

// Returns the end of the run for a record whose stamp or values could not be read, or whose
// stamp strict makes a fault; nothing for a record read whole. The stamp is checked before a
// fault of the record's values is told, as it was read first.
[[gnu::always_inline]] inline std::optional<RunOutcome> recordFault(ReadOutcome got,
                                                                    RecordReader& records,
                                                                    OutputBuffer& out,
                                                                    Diagnostics& diagnostics,
                                                                    const RecordStamp& stamp) {
  if (got == ReadOutcome::kBadStamp) {
    return badInput(out, records.fault);
  }
  if (!checkStamp(diagnostics, stamp, records.recordLine)) {
    return badInput(out, diagnostics.fault);
  }
  if (got == ReadOutcome::kBadValues) {
    return badInput(out, records.fault);
  }
  return std::nullopt;
}

// What every record read whole leads to: its local end time, the day's progress line, and its
// missing values settled.
[[gnu::always_inline]] inline void afterRecord(RecordReader& records, Diagnostics& diagnostics,
                                               const StepPlan& plan, std::size_t columns,
                                               StepState& state) {
  state.localH = state.stamp.hourH + plan.timeShiftH;
  // A local end time that truncates to 24 closes a day; compared as a range so that a huge
  // or NaN hour never meets an undefined float-to-int conversion.
  if (state.localH >= 24.0f && state.localH < 25.0f) {
    sayDay(diagnostics.console, state.stamp, plan.shortcuts);
  }
  if (!records.missingColumns.empty()) {
    settleMissing(records.missingColumns, state, plan, columns);
  }
}

// Reads the records of one step into the sums, writing the step's stamp and the day's progress
// lines. Returns the end of the run, or nothing when the step was read whole. Always inline: the
// record loop of a file of few columns is most of its run. (The places' helpers are kept out of
// line for the same reason.)
[[gnu::always_inline]] inline std::optional<RunOutcome> readStep(
    RecordReader& records, OutputBuffer& out, Diagnostics& diagnostics, const StepPlan& plan,
    double* sums, std::size_t columns, StepState& state) {
  RecordStamp& stamp = state.stamp;
  for (std::int32_t k = 1; k <= plan.recordsPerStep; ++k) {
    const ReadOutcome got = readRecord(records, stamp, sums, columns, plan.inputUnitMin);
    if (got == ReadOutcome::kEnd) {
      return endOfInput(out, diagnostics, k, plan.recordsPerStep);
    }
    if (auto fault = recordFault(got, records, out, diagnostics, stamp)) {
      return fault;
    }
    if (static_cast<float>(k) == plan.stampIndex) {
      writeStamp(out, stamp, state.writtenDate, plan.shortcuts);
    }
    afterRecord(records, diagnostics, plan, columns, state);
  }
  return std::nullopt;
}

}  // namespace

bool hasUsableSteps(const RunParameters& params) {
  const float quotient = params.outputStepMin / params.inputStepMin;
  return quotient >= 1.0f && quotient < kInt32Limit && params.outputStepMin < kInt32Limit;
}

namespace {

// What writing a step gave.
enum class StepWritten { kWritten, kBadMonth, kDiagnosticFault };

// Works out the daylight of the window at the places whose stamp day does not serve it (the
// window reaches another day's light, or the day has no sunrise); returns nothing where the
// stamp's day serves every column.
[[gnu::noinline]] const WindowLight* columnLightAcrossDays(StepState& state,
                                                           const SunTimes* columnSunOfDay,
                                                           const RecordStamp& stamp, double startH,
                                                           double endH, std::size_t columns) {
  std::vector<unsigned char>& needed = state.columnNeeded;
  needed.assign(columns + 1, 0);
  bool any = false;
  for (std::size_t c = 1; c <= columns; ++c) {
    needed[c] =
        stampDayServes(state.sun.columnBounds[c], startH, endH, columnSunOfDay[c].sunriseH) ? 0 : 1;
    any |= needed[c] != 0;
  }
  state.columnLight.resize(columns + 1);
  if (!any || !windowLightOfColumns(state.sun.light, stamp, startH, endH, columns,
                                    state.columnLight.data(), needed.data())) {
    return nullptr;
  }
  return state.columnLight.data();
}

// Returns the day fraction of a window that leaves the stamp's day, or whose day begins before
// midnight: the stamp's day's where it gives the window's daylight, else the daylight of the
// window's days. `wholeWindow` tells the checks which.
[[gnu::noinline]] double dayFractionAcrossDays(StepState& state, const StepPlan& plan,
                                               double dayFraction, const RecordStamp& stamp,
                                               double startH, double endH, bool& wholeWindow) {
  const std::optional<WindowLight> light = windowLight(state.sun.light, stamp, startH, endH);
  if (!light || stampDayHolds(*light, plan.stepH <= 24.0)) {
    return dayFraction;
  }
  wholeWindow = true;
  return dayFractionOfDaylight(light->hours, plan.stepH);
}

// Writes the results of a step read whole, with the sun times of its source.
StepWritten writeStep(const RecordReader& records, OutputBuffer& out, Diagnostics& diagnostics,
                      const RunParameters& params, const StepPlan& plan, const double* sums,
                      std::size_t columns, StepState& state, const ColumnPlaces* places) {
  const RecordStamp& stamp = state.stamp;
  const double endH = static_cast<double>(state.localH);
  const double startH = endH - plan.stepH;
  if (places != nullptr) {
    const StepPlace place{stamp, records.recordLine, startH, endH};
    if (!isValidMonth(stamp.month)) {
      return StepWritten::kBadMonth;
    }
    const SunTimes* columnSunOfDay = columnSun(state.sun, stamp.day, stamp.month);
    const WindowLight* light =
        stampDayServes(state.sun.lightBounds, startH, endH,
                       state.sun.dayExtremes->anyBeforeMidnight ? -1.0 : 0.0)
            ? nullptr
            : columnLightAcrossDays(state, columnSunOfDay, stamp, startH, endH, columns);
    bool yearFractionsKnown = false;
    double* yearFractions =
        plan.daySteps && plan.shortcuts
            ? columnYearFractions(state.sun.light.columnYear, places->solar.size(), stamp.day,
                                  stamp.month, startH, endH, yearFractionsKnown)
            : nullptr;
    const PlacedSun sun{columnSunOfDay,
                        state.dayFractions.data(),
                        places,
                        light,
                        state.sun.dayExtremes,
                        yearFractions,
                        yearFractionsKnown,
                        state.wholeDay.data(),
                        state.wholeNight.data()};
    return (!plan.daySteps ||
            checkColumnStepEnds(diagnostics, place, sun.columnSun, *sun.extremes, columns)) &&
                   writeResults<true>(out, sums, columns, plan, 0.0, state.results.data(),
                                      state.gaps, diagnostics, &sun, StepPlace(place))
               ? StepWritten::kWritten
               : StepWritten::kDiagnosticFault;
  }
  const std::optional<SunTimes> sun =
      placeSun(plan.shortcuts ? &state.sun.placeDays : nullptr, params, stamp.day, stamp.month);
  if (!sun) {
    return StepWritten::kBadMonth;
  }
  double dayFraction = 1.0 - nightFraction(startH, endH, plan.stepH, *sun);
  bool wholeWindow = false;
  // Most steps end where no other day's light can reach their window and their day has a
  // sunrise at a place where every day has one: two comparisons settle it.
  if (!(endH >= state.sun.servedEndFromH && endH <= state.sun.servedEndToH) &&
      !stampDayServes(state.sun.lightBounds, startH, endH, sun->sunriseH)) {
    dayFraction = dayFractionAcrossDays(state, plan, dayFraction, stamp, startH, endH, wholeWindow);
  }
  if (plan.daySteps &&
      !checkStepEnd(diagnostics, {stamp, records.recordLine, startH, endH}, *sun)) {
    return StepWritten::kDiagnosticFault;
  }
  return writeResults<false>(
             out, sums, columns, plan, dayFraction, state.results.data(), state.gaps, diagnostics,
             nullptr, {stamp, records.recordLine, startH, endH, -1.0, nullptr, 0, wholeWindow})
             ? StepWritten::kWritten
             : StepWritten::kDiagnosticFault;
}

// Gives the reporter the step just written: the table's line before its line break, and each
// column's sums. `possibleH(c)` is the column's possible sunshine in hours.
template <typename PossibleH>
bool reportStep(StepState& state, const OutputBuffer& out, const RecordStamp& last,
                const double* sums, std::size_t columns, double startMin, double endMin,
                PossibleH possibleH) {
  state.possibleMin.resize(columns + 1);
  state.missingMin.resize(columns + 1);
  for (std::size_t c = 1; c <= columns; ++c) {
    state.possibleMin[c] = possibleH(c) * 60.0;
    state.missingMin[c] = state.gaps.missingH[c] * 60.0;
  }
  const std::string_view line(out.data.data() + out.committed, out.size - out.committed);
  return state.reporter->step({last, startMin, endMin, line, sums, state.possibleMin.data(),
                               state.missingMin.data(), columns});
}

// Reports a step of a fixed number of records: it ends at its last record's stamp.
[[gnu::noinline]] bool reportFixedStep(StepState& state, const OutputBuffer& out,
                                       const StepPlan& plan, const double* sums,
                                       std::size_t columns) {
  const double endMin = stampMinutes(state.stamp).value_or(std::nan(""));
  const StepGaps& gaps = state.gaps;
  return reportStep(state, out, state.stamp, sums, columns, endMin - plan.outputStepMin, endMin,
                    [&](std::size_t c) {
                      return (gaps.fractions != nullptr ? gaps.fractions[c] : gaps.dayFraction) *
                             plan.stepH;
                    });
}

// A calendar period being read.
struct OpenPeriod {
  CalendarPeriod kind = CalendarPeriod::kNone;
  bool open = false;
  PeriodDays days{};
  double lastEndMin = 0.0;  // where its record read last ends, in minutes on the calendar
  RecordStamp lastStamp{};  // that record's stamp, which the period's line carries
  std::uint64_t lastLine = 0;
  // Stretches of the period without records, from and to, in minutes on the calendar.
  std::vector<double> absentMin;
  // The day of the stamp read last on the calendar, while the date repeats.
  RecordStamp dateOf{};
  std::int64_t dateDay = 0;
  bool dateKnown = false;
};

// Returns where a record ends in minutes on the calendar, or nothing beyond the calendar's reach.
std::optional<double> recordEndMin(OpenPeriod& period, const RecordStamp& stamp) {
  if (!period.dateKnown || stamp.day != period.dateOf.day || stamp.month != period.dateOf.month ||
      stamp.year != period.dateOf.year) {
    const std::optional<std::chrono::sys_days> day = stampDay(stamp);
    if (!day) {
      return std::nullopt;
    }
    period.dateOf = stamp;
    period.dateDay = day->time_since_epoch().count();
    period.dateKnown = true;
  }
  // Hours far beyond any day's (1e31) would carry the record past the calendar's reach.
  constexpr double kReachMin = 1.5e10;
  const double endMin =
      static_cast<double>(period.dateDay) * 1440.0 + static_cast<double>(stamp.hourH) * 60.0;
  if (!(std::fabs(endMin) < kReachMin)) {
    return std::nullopt;
  }
  return endMin;
}

// A stretch shorter than this between records is rounding of their stamps, not a record missing.
inline double absentToleranceMin(const StepPlan& plan) {
  return plan.inputStepMin / 4.0;
}

// Notes the stretch from `fromMin` to `toMin` as without records, where it is one.
void noteAbsent(OpenPeriod& period, const StepPlan& plan, double fromMin, double toMin) {
  if (toMin - fromMin > absentToleranceMin(plan)) {
    period.absentMin.push_back(fromMin);
    period.absentMin.push_back(toMin);
  }
}

// Each column's daylight in a stretch of local hours from the start of the stamp's day: the
// run's place's in every slot, or each column's own.
void addDaylight(StepState& state, const RecordStamp& stamp, double startH, double endH,
                 std::size_t columns, std::vector<double>& hours) {
  if (state.sun.light.places == nullptr) {
    const std::optional<WindowLight> light = windowLight(state.sun.light, stamp, startH, endH);
    const double h = light ? light->hours : 0.0;
    for (std::size_t c = 1; c <= columns; ++c) {
      hours[c] += h;
    }
    return;
  }
  state.columnLight.resize(columns + 1);
  if (windowLightOfColumns(state.sun.light, stamp, startH, endH, columns,
                           state.columnLight.data())) {
    for (std::size_t c = 1; c <= columns; ++c) {
      hours[c] += state.columnLight[c].hours;
    }
  }
}

// The result of a column over a calendar period of `stepH` hours holding `possibleH` of
// daylight, with the checks of the sunshine against the sun. Returns false when strict makes an
// anomaly the fault.
bool periodResult(StepState& state, Diagnostics& diagnostics, const StepPlace& period,
                  std::size_t c, double sumMin, double possibleH, double stepH, double& r,
                  bool& nightCounted) {
  StepPlace place = period;
  if (state.sun.places != nullptr) {
    place.placeDeg = &state.sun.places->placeDeg[2 * c];
    place.column = c;
  }
  if (!(dayFractionOfDaylight(possibleH, stepH) > 0.0)) {
    r = 0.0;
    if (nightCounted || !(sumMin > kSunshineToleranceMin)) {
      return true;
    }
    const std::uint64_t before = diagnostics.sunDown.count;
    const bool kept = checkNightColumn(diagnostics, sumMin, c, place);
    nightCounted = diagnostics.sunDown.count != before;
    return kept;
  }
  if (state.gaps.missingH[c] > 0.0) {
    r = gapResult(state.gaps, c, sumMin, possibleH, period.line);
  } else {
    r = clipResult(sumMin / 60.0 / possibleH);
  }
  if (r != kMissingValue && ((r >= kUpperClip) | (r < 0.0))) {
    return checkDayResult(diagnostics, sumMin, r, c, place);
  }
  return true;
}

// Writes the line of a calendar period read to its end: its last record's stamp and each
// column's sunshine over the daylight of the period, the daylight of its missing and absent
// records left out where the rest covers enough of it.
std::optional<RunOutcome> closePeriod(OpenPeriod& period, OutputBuffer& out,
                                      Diagnostics& diagnostics, const StepPlan& plan, double* sums,
                                      std::size_t columns, StepState& state) {
  noteAbsent(period, plan, period.lastEndMin, static_cast<double>(period.days.end) * 1440.0);
  writeStamp(out, period.lastStamp, state.writtenDate, plan.shortcuts);
  const RecordStamp& stamp = period.lastStamp;
  const double stampDayMin =
      static_cast<double>(stampDay(stamp)->time_since_epoch().count()) * 1440.0;
  const auto localH = [&](double minutes) {
    return (minutes - stampDayMin) / 60.0 + static_cast<double>(plan.timeShiftH);
  };
  StepPlace place{stamp, period.lastLine, localH(static_cast<double>(period.days.first) * 1440.0),
                  localH(static_cast<double>(period.days.end) * 1440.0)};
  place.wholeWindow = true;
  std::vector<double>& possibleH = state.results;
  std::fill(possibleH.begin(), possibleH.end(), 0.0);
  addDaylight(state, stamp, place.startH, place.endH, columns, possibleH);
  for (std::size_t i = 0; i + 1 < period.absentMin.size(); i += 2) {
    addDaylight(state, stamp, localH(period.absentMin[i]), localH(period.absentMin[i + 1]), columns,
                state.gaps.missingH);
  }
  const double stepH = static_cast<double>(period.days.end - period.days.first) * 24.0;
  char* const line = room(out, columns * kMaxResultLength + 8);
  char* p = line;
  bool nightCounted = false;
  for (std::size_t c = 1; c <= columns; ++c) {
    double r = 0.0;
    if (!periodResult(state, diagnostics, place, c, sums[c], possibleH[c], stepH, r,
                      nightCounted)) {
      return badInput(out, diagnostics.fault);
    }
    p += writeResult(p, r, plan.shortcuts);
  }
  advance(out, static_cast<std::size_t>(p - line));
  if (state.reporter != nullptr &&
      !reportStep(state, out, stamp, sums, columns, static_cast<double>(period.days.first) * 1440.0,
                  static_cast<double>(period.days.end) * 1440.0,
                  [&](std::size_t c) { return possibleH[c]; })) {
    return RunOutcome{RunEnd::kWriteFailed, {}};
  }
  append(out, "\n");
  commitLine(out);
  // The next period starts empty; the record read last, which begins it, is settled after.
  std::fill(sums + 1, sums + columns + 1, 0.0);
  std::fill(state.gaps.missingH.begin(), state.gaps.missingH.end(), 0.0);
  state.gaps.any = false;
  period.absentMin.clear();
  period.open = false;
  if (out.writeFailed) {
    return RunOutcome{RunEnd::kWriteFailed, {}};
  }
  return std::nullopt;
}

// Starts the period of a record ending `endMin` on the calendar, in the day `day`.
void openPeriod(OpenPeriod& period, const StepPlan& plan, std::int64_t day, double endMin) {
  period.days = periodOfDay(period.kind, day);
  period.open = true;
  noteAbsent(period, plan, static_cast<double>(period.days.first) * 1440.0,
             endMin - plan.inputStepMin);
}

// What taking a record into its period gave.
struct Taken {
  std::optional<RunOutcome> end;  // the run ends
  bool repeated = false;          // the record repeats the stamp before it: not added again
};

// Takes a record read whole into its period: the period before is written when the record
// begins a new one, and the stretch since the record before is noted where records are absent.
// A record that repeats the stamp before it would count its sunshine twice against daylight
// counted once; one of a period already written would write that period's line a second time.
Taken takeIntoPeriod(OpenPeriod& period, RecordReader& records, OutputBuffer& out,
                     Diagnostics& diagnostics, const StepPlan& plan, double* sums,
                     std::size_t columns, StepState& state, const RecordStamp& stamp) {
  const std::optional<double> endMin = recordEndMin(period, stamp);
  if (!endMin) {
    return {badInput(out,
                     ReadFault{records.recordLine, {}, "the time stamp lies beyond the calendar"})};
  }
  if (!isValidMonth(stamp.month)) {
    return {badInput(
        out, ReadFault{records.monthLine,
                       {},
                       "month " + std::to_string(stamp.month) + " is not between 1 and 12"})};
  }
  if (period.open && *endMin == period.lastEndMin) {
    return {std::nullopt, true};
  }
  const std::int64_t day = recordEndDay(*endMin);
  if (period.open && day < period.days.first) {
    return {badInput(
        out, ReadFault{records.recordLine,
                       {},
                       "the time stamp goes back to a " + std::string(periodName(period.kind)) +
                           " already written: the records are out of time order"})};
  }
  const bool begins = !period.open || day >= period.days.end;
  if (begins) {
    if (period.open) {
      if (auto end = closePeriod(period, out, diagnostics, plan, sums, columns, state)) {
        return {end};
      }
    }
    openPeriod(period, plan, day, *endMin);
  } else {
    noteAbsent(period, plan, period.lastEndMin, *endMin - plan.inputStepMin);
  }
  // A record out of order within the period leaves the period's line its latest stamp.
  if (begins || *endMin > period.lastEndMin) {
    period.lastEndMin = *endMin;
    period.lastStamp = stamp;
    period.lastLine = records.recordLine;
  }
  return {};
}

// The step loop for calendar periods: a record belongs to the period of the day its interval
// ends in, by its stamp as stored, and a period's line is written when the next record or the
// end of the input shows it ended. The values of a record are read aside until then.
RunOutcome runCalendarLoop(RecordReader& records, OutputBuffer& out, Diagnostics& diagnostics,
                           const StepPlan& plan, CalendarPeriod kind, double* sums,
                           std::size_t columns, StepState& state) {
  std::vector<double> recordValues(columns + 1, 0.0);
  OpenPeriod period;
  period.kind = kind;
  RecordStamp& stamp = state.stamp;
  for (;;) {
    const ReadOutcome got =
        readRecord(records, stamp, recordValues.data(), columns, plan.inputUnitMin);
    if (got == ReadOutcome::kEnd) {
      if (period.open) {
        if (auto end = closePeriod(period, out, diagnostics, plan, sums, columns, state)) {
          return *end;
        }
      }
      return {flushLines(out) ? RunEnd::kDone : RunEnd::kWriteFailed, {}};
    }
    if (auto fault = recordFault(got, records, out, diagnostics, stamp)) {
      return *fault;
    }
    Taken taken =
        takeIntoPeriod(period, records, out, diagnostics, plan, sums, columns, state, stamp);
    if (taken.end) {
      return *taken.end;
    }
    if (taken.repeated) {  // nothing of it is added, its missing values neither
      std::fill(recordValues.begin(), recordValues.end(), 0.0);
      continue;
    }
    for (std::size_t c = 1; c <= columns; ++c) {
      sums[c] = recordValues[c] + sums[c];
      recordValues[c] = 0.0;
    }
    afterRecord(records, diagnostics, plan, columns, state);
  }
}

}  // namespace

namespace {

// Starts a run's state: the sun and the daylight at its place or places, and room for a step.
void startState(StepState& state, const RunParameters& params, const ColumnPlaces* places,
                double coverage, std::size_t columns) {
  state.sun.places = places;
  state.sun.light.params = &params;
  state.sun.light.places = places;
  startGaps(state.gaps, coverage, columns);
  if (places == nullptr) {
    const SolarPlace place =
        solarPlace(params.latitudeDeg, params.longitudeDeg, params.referenceMeridianDeg);
    widenLightBounds(state.sun.lightBounds, place);
    if (alwaysRises(place) && params.outputStepMin <= 1440.0f) {
      state.sun.servedEndFromH =
          state.sun.lightBounds.servedFromH + static_cast<double>(params.outputStepMin) / 60.0;
      state.sun.servedEndToH = state.sun.lightBounds.servedToH;
    }
  } else {
    state.sun.columnBounds.assign(places->solar.size(), LightBounds{});
    for (std::size_t c = 1; c < places->solar.size(); ++c) {
      widenLightBounds(state.sun.lightBounds, places->solar[c]);
      widenLightBounds(state.sun.columnBounds[c], places->solar[c]);
    }
  }
  state.sun.light.reach = reachOf(state.sun.lightBounds);
  state.results.assign(columns + 1, 0.0);
  state.dayFractions.assign(places != nullptr ? columns + 1 : 0, 0.0);
  state.wholeDay.assign(places != nullptr ? columns + 1 : 0, 1.0);
  state.wholeNight.assign(places != nullptr ? columns + 1 : 0, 0.0);
}

// The step loop for steps of a fixed number of records.
RunOutcome runFixedSteps(RecordReader& records, OutputBuffer& out, Diagnostics& diagnostics,
                         const RunParameters& params, const StepPlan& plan, double* sums,
                         std::size_t columns, StepState& state, const ColumnPlaces* places) {
  for (;;) {
    if (auto end = readStep(records, out, diagnostics, plan, sums, columns, state)) {
      return *end;
    }
    const StepWritten written =
        writeStep(records, out, diagnostics, params, plan, sums, columns, state, places);
    if (written == StepWritten::kBadMonth) {
      return badInput(out, ReadFault{records.monthLine,
                                     {},
                                     "month " + std::to_string(state.stamp.month) +
                                         " is not between 1 and 12"});
    }
    if (written == StepWritten::kDiagnosticFault) {
      return badInput(out, diagnostics.fault);
    }
    if (state.reporter != nullptr && !reportFixedStep(state, out, plan, sums, columns)) {
      return {RunEnd::kWriteFailed, {}};
    }
    if (state.gaps.any) {
      std::fill(state.gaps.missingH.begin(), state.gaps.missingH.end(), 0.0);
      state.gaps.any = false;
    }
    std::fill(sums + 1, sums + columns + 1, 0.0);
    append(out, "\n");
    commitLine(out);
    if (out.writeFailed) {
      return {RunEnd::kWriteFailed, {}};
    }
  }
}

}  // namespace

RunOutcome runStepLoop(RecordReader& records, OutputBuffer& out, Diagnostics& diagnostics,
                       const RunParameters& params, std::vector<double>& columnSums,
                       const ColumnPlaces* places, double coverage, StepReporter* reporter) {
  const StepPlan plan = makeStepPlan(params, records.shortcuts, coverage);
  const std::size_t columns = columnSums.size() - 1;
  StepState state;
  state.reporter = reporter;
  startState(state, params, places, coverage, columns);
  double* const sums = columnSums.data();
  const RunOutcome outcome =
      params.outputPeriod != CalendarPeriod::kNone
          ? runCalendarLoop(records, out, diagnostics, plan, params.outputPeriod, sums, columns,
                            state)
          : runFixedSteps(records, out, diagnostics, params, plan, sums, columns, state, places);
  if (outcome.end == RunEnd::kDone) {
    sayGapSteps(diagnostics.console, state.gaps.partial, state.gaps.missing, state.gaps.firstLine,
                diagnostics.stations);
  }
  return outcome;
}

namespace {

// The columns of a run as a reporter names them: each station and its place.
ReportColumns reportColumns(const std::string& columnHeader, const RunParameters& params,
                            const RunOptions& options, const ColumnPlaces& places) {
  ReportColumns columns;
  const std::vector<ColumnStation> stations = columnStations(columnHeader);
  for (std::size_t c = 1; c <= stations.size(); ++c) {
    columns.stations.push_back(stations[c - 1].text);
    const bool own = options.places != nullptr && 2 * c + 1 < places.placeDeg.size();
    columns.latitudeDeg.push_back(own ? places.placeDeg[2 * c] : params.latitudeDeg);
    columns.longitudeDeg.push_back(own ? places.placeDeg[2 * c + 1] : params.longitudeDeg);
  }
  return columns;
}

}  // namespace

RunOutcome convertStationFile(InputReader& in, OutputBuffer& out, const RunConsole& console,
                              const RunParameters& params, const RunOptions& options) {
  std::vector<double> columnSums;
  std::string columnHeader;
  if (std::optional<ReadFault> fault = runHeaderPass(in, out, console, columnSums, columnHeader)) {
    return {RunEnd::kBadInput, std::move(*fault)};
  }
  Diagnostics diagnostics = makeDiagnostics(console, params, options.strict);
  if (columnSums.size() == 1 && skipSpace(in)) {
    // Station names instead of numbers: without this the first hint would be a record error.
    const std::string what = "the column header names no station numbers after its " +
                             std::to_string(kColumnLabelWidth) + "-character label field: \"" +
                             printablePrefix(columnHeader, 60) + "\"";
    if (options.strict) {
      return {RunEnd::kBadInput, ReadFault{2, {}, what}};
    }
    sayWarning(console, "line 2: " + what);
  }
  ColumnPlaces columnPlaces;
  if (options.places != nullptr) {
    if (std::optional<Unplaced> unplaced =
            matchPlaces(columnStations(columnHeader), *options.places, params.referenceMeridianDeg,
                        columnPlaces)) {
      return {RunEnd::kPlacesRefused, {}, std::move(unplaced)};
    }
    diagnostics.stations = columnPlaces.stations;
  }
  if (options.reporter != nullptr &&
      !options.reporter->begin(reportColumns(columnHeader, params, options, columnPlaces))) {
    return {RunEnd::kWriteFailed, {}};
  }
  RecordReader records = makeRecordReader(in, options.shortcuts, options.missingMarkers,
                                          columnSums.size() - 1, options.vectorLevel);
  const RunOutcome outcome = runStepLoop(records, out, diagnostics, params, columnSums,
                                         options.places != nullptr ? &columnPlaces : nullptr,
                                         options.coverage, options.reporter);
  reportDiagnostics(diagnostics);
  if (!options.missingMarkers.empty() && outcome.end == RunEnd::kDone) {
    sayMissingValues(console, records.missingValues, options.missingMarkers);
  }
  return outcome;
}

}  // namespace kelvarin
