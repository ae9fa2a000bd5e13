// Steps of a fixed number of records: each read into the sums, its day fraction from the sun of
// its source (the run's place or each column's own), its results written, two at a time where the
// columns are many.
#include <algorithm>  // std::fill
#include <cmath>      // std::nan
#include <cstring>    // std::memcpy
#include <optional>
#include <string>
#include <string_view>

#include "step/results.hpp"
#include "step/step_run.hpp"

namespace kelvarin {

namespace {

// What writing a step gave.
enum class StepWritten { kWritten, kBadMonth, kDiagnosticFault };

[[gnu::always_inline]] inline std::optional<RunOutcome> readStep(StepRun& run);
StepWritten writeStep(StepRun& run);
bool reportFixedStep(StepRun& run);

}  // namespace

// The step loop for steps of a fixed number of records.
RunOutcome runFixedSteps(StepRun& run) {
  OutputBuffer& out = run.out;
  StepState& state = run.state;
  double* const sums = run.sums;
  for (;;) {
    if (auto end = readStep(run)) {
      return *end;
    }
    const StepWritten written = writeStep(run);
    if (written == StepWritten::kBadMonth) {
      return badInput(out, ReadFault{run.records.monthLine,
                                     {},
                                     "month " + std::to_string(state.stamp.month) +
                                         " is not between 1 and 12"});
    }
    if (written == StepWritten::kDiagnosticFault) {
      return badInput(out, run.diagnostics.fault);
    }
    if (state.reporter != nullptr && !reportFixedStep(run)) {
      return {RunEnd::kWriteFailed, {}};
    }
    if (state.gaps.any) {
      std::fill(state.gaps.missingH.begin(), state.gaps.missingH.end(), 0.0);
      state.gaps.any = false;
    }
    std::fill(sums + 1, sums + run.columns + 1, 0.0);
    append(out, "\n");
    commitLine(out);
    if (out.writeFailed) {
      return {RunEnd::kWriteFailed, {}};
    }
  }
}

namespace {

// Reads the records of one step into the sums, writing the step's stamp and the day's progress
// lines. Returns the end of the run, or nothing when the step was read whole. Always inline: the
// record loop of a file of few columns is most of its run. (The places' helpers are kept out of
// line for the same reason.)
[[gnu::always_inline]] inline std::optional<RunOutcome> readStep(StepRun& run) {
  RecordReader& records = run.records;
  const StepPlan& plan = run.plan;
  double* const sums = run.sums;
  const std::size_t columns = run.columns;
  RecordStamp& stamp = run.state.stamp;
  for (std::int32_t k = 1; k <= plan.recordsPerStep; ++k) {
    const ReadOutcome got = readRecord(records, stamp, sums, columns, plan.inputUnitMin);
    if (got == ReadOutcome::kEnd) {
      return endOfInput(run.out, run.diagnostics, k, plan.recordsPerStep);
    }
    if (auto fault = recordFault(got, run)) {
      return fault;
    }
    if (static_cast<float>(k) == plan.stampIndex) {
      writeStamp(run.out, stamp, run.state.writtenDate, plan.shortcuts);
    }
    afterRecord(run);
  }
  return std::nullopt;
}

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
  const bool shortcuts = source.light.shortcuts;
  if (const SunTimes* row =
          shortcuts ? columnYearDay(source.light.columnYear, solar, day, month, &source.dayExtremes)
                    : nullptr) {
    return row;
  }
  ColumnDay<SunTimes>& cache = source.columnDays;
  if (!holdsColumnDay(cache, day, month, solar.size()) || !shortcuts) {
    source.columnDayExtremes = workOutColumnDay(solar, day, month, cache.values.data());
  }
  source.dayExtremes = &source.columnDayExtremes;
  return cache.values.data();
}

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
  state.windowLightH = light ? light->hours : -1.0;
  if (!light || stampDayHolds(*light, plan.stepH <= 24.0)) {
    return dayFraction;
  }
  wholeWindow = true;
  return dayFractionOfDaylight(light->hours, plan.stepH);
}

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

// Writes "\t0.000" for every column of a night step: 0 whatever was measured, with no result to
// work out or format.
[[gnu::always_inline]] inline void writeNightResults(OutputBuffer& out, std::size_t columns) {
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
  bool chosenSky = false;       // another model or a skyline: the checks take its daylight
  const WindowLight* uniformLight = nullptr;  // every column's window holds it (`light` unused)
};

// Returns whether a column's window light is known, where it leaves the stamp's day or another
// model gives it.
inline bool hasWindowLight(const PlacedSun& sun) {
  return sun.light != nullptr || sun.uniformLight != nullptr;
}

inline const WindowLight& windowLightOf(const PlacedSun& sun, std::size_t c) {
  return sun.uniformLight != nullptr ? *sun.uniformLight : sun.light[c];
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

// Works out each column's day fraction and result by another model's light of its window, which
// the step's own arithmetic never gives. Returns the day fractions.
[[gnu::noinline]] const double* chosenSkyResults(const double* sums, std::size_t columns,
                                                 const StepPlan& plan, const PlacedSun& sun,
                                                 double* results) {
  if (sun.uniformLight != nullptr) {
    const double dayFraction = dayFractionOfDaylight(sun.uniformLight->hours, plan.stepH);
    if (!(dayFraction > 0.0)) {
      return sun.wholeNight;
    }
    relativeSunshineOfAll(sums, columns, plan.outputStepMin, dayFraction, results);
    if (dayFraction == 1.0) {
      return sun.wholeDay;
    }
    std::fill(sun.dayFractions + 1, sun.dayFractions + columns + 1, dayFraction);
    return sun.dayFractions;
  }
  for (std::size_t c = 1; c <= columns; ++c) {
    sun.dayFractions[c] = dayFractionOfDaylight(sun.light[c].hours, plan.stepH);
  }
  relativeSunshineOfColumns(sums, columns, plan.outputStepMin, sun.dayFractions, results);
  return sun.dayFractions;
}

// Works out each column's day fraction and result at its own place, the columns whose window
// reaches another day's light among them. Returns the day fractions.
const double* placedStepResults(const double* sums, std::size_t columns, const StepPlan& plan,
                                const PlacedSun& sun, const StepPlace& place, double* results) {
  if (sun.chosenSky && hasWindowLight(sun)) {
    // Another model's every window is taken day by day: the program's own arithmetic of the
    // stamp's day would be worked out only to be replaced.
    return chosenSkyResults(sums, columns, plan, sun, results);
  }
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
  own.wholeWindow =
      hasWindowLight(sun) &&
      !stampDayHolds(windowLightOf(sun, c), lastsADayAtMost(place.startH, place.endH));
  if (sun.chosenSky && hasWindowLight(sun)) {
    own.limitMin = chosenSkyLimitMin(windowLightOf(sun, c).hours);
  }
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

// Works out a step's day fractions, and its results where they come in a batch. Writes a step in
// the night at every place whole and returns whether its checks kept the run going; nothing
// where the columns are to be written one by one.
template <bool kPlaced, bool kReport>
inline std::optional<bool> startResults(StepRun& run, double dayFraction, const PlacedSun* placed,
                                        StepPlace& place, const double*& fractions) {
  const StepPlan& plan = run.plan;
  StepGaps& gaps = run.state.gaps;
  double* const results = run.state.results.data();
  if constexpr (kReport) {  // a step in the night at every place is 0 in every column
    std::fill(run.state.results.begin(), run.state.results.end(), 0.0);
  }
  if constexpr (kPlaced) {
    fractions = placedStepResults(run.sums, run.columns, plan, *placed, place, results);
    gaps.fractions = fractions;
    if (fractions == placed->wholeNight) {
      writeNightResults(run.out, run.columns);
      return checkPlacedNightStep(run.diagnostics, run.sums, run.columns, *placed, place);
    }
  } else {
    gaps.dayFraction = dayFraction;
    if (!(dayFraction > 0.0)) {
      writeNightResults(run.out, run.columns);
      return checkNightStep(run.diagnostics, run.sums, run.columns, place);
    }
    if (plan.shortcuts) {
      relativeSunshineOfAll(run.sums, run.columns, plan.outputStepMin, dayFraction, results);
    }
  }
  return std::nullopt;
}

// Writes "\t%5.3f" of each column's relative sunshine and shows the diagnostics the steps and
// results that may contradict the sun model. One writer for both sources of sun times: at the
// run's place (kPlaced false) every column shares the step's day fraction, and a night step is
// night for all; with places of their own each column is written exactly as a run over that
// column alone at its place writes it, and the checks see the column's own place. Returns false
// when strict makes an anomaly the fault. Out of line: inlined into the step loop, its loop kept
// each result on the stack for want of registers (shapes a, e and g 1.5 to 3 % slower).
// With kReport each column's result is kept in `state.results` for the writer of another layout:
// a run without one stores nothing more.
template <bool kPlaced, bool kReport>
[[gnu::noinline]] bool writeResults(StepRun& run, double dayFraction, const PlacedSun* placed,
                                    StepPlace&& place) {
  OutputBuffer& out = run.out;
  Diagnostics& diagnostics = run.diagnostics;
  const StepPlan& plan = run.plan;
  StepGaps& gaps = run.state.gaps;
  const double* const sums = run.sums;
  const std::size_t columns = run.columns;
  double* const results = run.state.results.data();
  // Copies: the characters written below could alias the plan and the reader, which would be
  // read again for every column.
  const bool shortcuts = plan.shortcuts;
  const double outputStepMin = plan.outputStepMin;
  const bool anyMissing = gaps.any;
  [[maybe_unused]] const double* fractions = nullptr;  // by column, with places of their own
  if (std::optional<bool> night =
          startResults<kPlaced, kReport>(run, dayFraction, placed, place, fractions)) {
    return *night;
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
        continue;  // its result is 0 already, as every batch of the places leaves it
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
    if constexpr (kReport) {
      results[c] = r;
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

// Writes the step's results at each column's place once its sun is known; false when strict makes
// an anomaly the fault.
[[gnu::always_inline]] inline bool writePlacedResults(StepRun& run, const PlacedSun& sun,
                                                      const StepPlace& place) {
  return run.state.reporter != nullptr
             ? writeResults<true, true>(run, 0.0, &sun, StepPlace(place))
             : writeResults<true, false>(run, 0.0, &sun, StepPlace(place));
}

// Writes the results of a step read whole at each column's own place by another model's light,
// which its window's days give. The program's own sun times are worked out only where the checks
// of a step's end need them, or where the window cannot be split into days.
[[gnu::noinline]] StepWritten writeChosenSkyStep(StepRun& run, const StepPlace& place) {
  StepState& state = run.state;
  LightSource& source = state.sun.light;
  const RecordStamp& stamp = place.stamp;
  state.columnLight.resize(run.columns + 1);
  WindowLight* const light = state.columnLight.data();
  const ModelWindow window = source.shortcuts ? modelWindowOfColumns(source, stamp, place.startH,
                                                                     place.endH, run.columns, light)
                                              : ModelWindow::kAcrossDays;
  const bool known =
      window != ModelWindow::kAcrossDays ||
      windowLightOfColumns(source, stamp, place.startH, place.endH, run.columns, light);
  const SunTimes* columnSunOfDay = known ? nullptr : columnSun(state.sun, stamp.day, stamp.month);
  if (run.plan.daySteps && !run.diagnostics.toldStepEnd) {
    // The year's bounds on every column's sunrise and sunset settle most steps' ends.
    const double endH = stepEndOfDayH(place);
    const LightBounds& bounds = state.sun.lightBounds;
    if (!(endH < bounds.earliestH + 1.0 || endH > std::max(bounds.latestH, 24.0) - 1.0)) {
      if (columnSunOfDay == nullptr) {
        columnSunOfDay = columnSun(state.sun, stamp.day, stamp.month);
      }
      if (!checkColumnStepEnds(run.diagnostics, place, columnSunOfDay, *state.sun.dayExtremes,
                               run.columns)) {
        return StepWritten::kDiagnosticFault;
      }
    }
  }
  PlacedSun sun{columnSunOfDay,
                state.dayFractions.data(),
                run.places,
                known ? light : nullptr,
                state.sun.dayExtremes,
                nullptr,
                false,
                state.wholeDay.data(),
                state.wholeNight.data(),
                true};
  WindowLight uniform{};
  if (window == ModelWindow::kAllLit || window == ModelWindow::kAllDark) {
    uniform = WindowLight{
        window == ModelWindow::kAllLit ? 0.0 + std::max(0.0, place.endH - place.startH) : 0.0, 0.0,
        true};
    sun.uniformLight = &uniform;
  }
  return writePlacedResults(run, sun, place) ? StepWritten::kWritten
                                             : StepWritten::kDiagnosticFault;
}

// Writes the results of a step read whole at each column's own place.
StepWritten writePlacedStep(StepRun& run, double startH, double endH) {
  StepState& state = run.state;
  const StepPlan& plan = run.plan;
  const RecordStamp& stamp = state.stamp;
  const StepPlace place{stamp, run.records.recordLine, startH, endH};
  if (!isValidMonth(stamp.month)) {
    return StepWritten::kBadMonth;
  }
  if (!state.sun.light.ownModel) {
    return writeChosenSkyStep(run, place);
  }
  const SunTimes* columnSunOfDay = columnSun(state.sun, stamp.day, stamp.month);
  const WindowLight* light =
      stampDayServes(state.sun.lightBounds, startH, endH,
                     state.sun.dayExtremes->anyBeforeMidnight ? -1.0 : 0.0)
          ? nullptr
          : columnLightAcrossDays(state, columnSunOfDay, stamp, startH, endH, run.columns);
  bool yearFractionsKnown = false;
  double* yearFractions =
      plan.daySteps && plan.shortcuts && state.sun.light.ownModel
          ? columnYearFractions(state.sun.light.columnYear, run.places->solar.size(), stamp.day,
                                stamp.month, startH, endH, yearFractionsKnown)
          : nullptr;
  const PlacedSun sun{columnSunOfDay,
                      state.dayFractions.data(),
                      run.places,
                      light,
                      state.sun.dayExtremes,
                      yearFractions,
                      yearFractionsKnown,
                      state.wholeDay.data(),
                      state.wholeNight.data(),
                      !state.sun.light.ownModel};
  return (!plan.daySteps ||
          checkColumnStepEnds(run.diagnostics, place, sun.columnSun, *sun.extremes, run.columns)) &&
                 writePlacedResults(run, sun, place)
             ? StepWritten::kWritten
             : StepWritten::kDiagnosticFault;
}

// Writes the results of a step read whole, with the sun times of its source.
StepWritten writeStep(StepRun& run) {
  StepState& state = run.state;
  const StepPlan& plan = run.plan;
  const RecordStamp& stamp = state.stamp;
  const double endH = static_cast<double>(state.localH);
  const double startH = endH - plan.stepH;
  if (run.places != nullptr) {
    return writePlacedStep(run, startH, endH);
  }
  const std::optional<SunTimes> sun =
      placeSun(plan.shortcuts ? &state.sun.placeDays : nullptr, run.params, stamp.day, stamp.month);
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
  const std::uint64_t line = run.records.recordLine;
  if (plan.daySteps && !checkStepEnd(run.diagnostics, {stamp, line, startH, endH}, *sun)) {
    return StepWritten::kDiagnosticFault;
  }
  // Another model's or a skyline's daylight is the one the checks compare the sunshine with.
  const double limitMin = !state.sun.light.ownModel && state.windowLightH >= 0.0
                              ? chosenSkyLimitMin(state.windowLightH)
                              : -1.0;
  StepPlace place{stamp, line, startH, endH, limitMin, nullptr, 0, wholeWindow};
  const bool written =
      state.reporter != nullptr
          ? writeResults<false, true>(run, dayFraction, nullptr, std::move(place))
          : writeResults<false, false>(run, dayFraction, nullptr, std::move(place));
  return written ? StepWritten::kWritten : StepWritten::kDiagnosticFault;
}

// Reports a step of a fixed number of records: it ends at its last record's stamp.
[[gnu::noinline]] bool reportFixedStep(StepRun& run) {
  StepState& state = run.state;
  const StepPlan& plan = run.plan;
  const double endMin = stampMinutes(state.stamp).value_or(std::nan(""));
  const StepGaps& gaps = state.gaps;
  return reportStep(run, state.stamp, endMin - plan.outputStepMin, endMin, state.results.data(),
                    [&](std::size_t c) {
                      return (gaps.fractions != nullptr ? gaps.fractions[c] : gaps.dayFraction) *
                             plan.stepH;
                    });
}

}  // namespace

}  // namespace kelvarin
