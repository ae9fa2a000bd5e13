// What the two step loops share: the plan of a run's steps from the answers, the state kept
// from step to step, and the run's context, which every function of a step takes instead of the
// files, the diagnostics, the plan, the sums and the state one by one. Within the step room only.
#pragma once

#include <cmath>  // std::nan
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "diagnostics/diagnostics.hpp"
#include "reading/record_reader.hpp"
#include "run_parameters.hpp"
#include "step/places.hpp"
#include "step/possible.hpp"
#include "step/step_loop.hpp"
#include "writing/output_buffer.hpp"
#include "writing/step_line.hpp"
#include "writing/step_report.hpp"

namespace kelvarin {

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

/// Returns the plan of a run's steps from its answers.
StepPlan makeStepPlan(const RunParameters& params, bool shortcuts, double coverage);

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
  std::vector<double> relative;             // a calendar period's, as written, for a reporter
  std::vector<double> dayFractions;         // with places of their own: each column's
  std::vector<double> wholeDay;             // with places of their own: 1 for every column
  std::vector<double> wholeNight;           // with places of their own: 0 for every column
  WrittenDate writtenDate;
  RecordStamp stamp{};         // of the record read last, its hour as stored
  float localH = 0.0f;         // that record's local end time
  double windowLightH = -1.0;  // the daylight of the step's window, where it was worked out
};

/// The most sunshine a step of `daylightH` hours of the chosen model's daylight (another model,
/// an elevation or a skyline) can hold before the checks name it: the daylight the ratio divides
/// by, and the checks' tolerance.
inline double chosenSkyLimitMin(double daylightH) {
  return daylightH * 60.0 + kSunshineToleranceMin;
}

/// A run of the step loop: what every function of a step needs, owned by runStepLoop.
struct StepRun {
  RecordReader& records;
  OutputBuffer& out;
  Diagnostics& diagnostics;
  const RunParameters& params;
  const StepPlan plan;
  double* const sums;          // the columns' sums of the step, 1 to `columns`
  const std::size_t columns;   // N
  const ColumnPlaces* places;  // each column's own place, or nothing: the run's place
  StepState state;
};

/// Starts a run's state: the sun and the daylight at its place or places, and room for a step.
/// `shortcuts` off: no memo of sun times, by day of the year, by recent days or by column.
void startState(StepState& state, const RunParameters& params, const ColumnPlaces* places,
                double coverage, bool shortcuts, const PossibleSunshine& possible,
                std::size_t columns);

/// Returns the result of a column whose missing records hold `gaps.missingH[c]` hours of the
/// step's `possibleH` hours of daylight: from the sunshine of the others over their daylight
/// where they cover enough of it, kMissingValue where not. Counted for the end of the run.
[[gnu::noinline]] double gapResult(StepGaps& gaps, std::size_t c, double sumMin, double possibleH,
                                   std::uint64_t line);

/// Settles the values of the record read last that are missing, as the reader gives them.
[[gnu::noinline]] void settleMissing(StepRun& run);

/// Ends the run on a fault of the file: nothing of the step it stopped reaches the output.
RunOutcome badInput(OutputBuffer& out, ReadFault fault);

/// Ends the run at the end of the input, `k` being the record of the step that was not there.
RunOutcome endOfInput(OutputBuffer& out, const Diagnostics& diagnostics, std::int32_t k,
                      std::int32_t recordsPerStep);

/// The step loop for steps of a fixed number of records.
RunOutcome runFixedSteps(StepRun& run);

/// The step loop for calendar periods of the kind `kind`.
RunOutcome runCalendarLoop(StepRun& run, CalendarPeriod kind);

// Returns the end of the run for a record whose stamp or values could not be read, or whose
// stamp strict makes a fault; nothing for a record read whole. The stamp is checked before a
// fault of the record's values is told, as it was read first.
[[gnu::always_inline]] inline std::optional<RunOutcome> recordFault(ReadOutcome got, StepRun& run) {
  const RecordReader& records = run.records;
  OutputBuffer& out = run.out;
  Diagnostics& diagnostics = run.diagnostics;
  const RecordStamp& stamp = run.state.stamp;
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
[[gnu::always_inline]] inline void afterRecord(StepRun& run) {
  StepState& state = run.state;
  const StepPlan& plan = run.plan;
  state.localH = state.stamp.hourH + plan.timeShiftH;
  // A local end time that truncates to 24 closes a day; compared as a range so that a huge
  // or NaN hour never meets an undefined float-to-int conversion.
  if (state.localH >= 24.0f && state.localH < 25.0f) {
    sayDay(run.diagnostics.console, state.stamp, plan.shortcuts);
  }
  if (!run.records.missingColumns.empty()) {
    settleMissing(run);
  }
}

// Gives the reporter the step just written: each column's result as the table wrote it
// (`relative`, by column), and its sums. `possibleH(c)` is the column's possible sunshine in hours.
template <typename PossibleH>
bool reportStep(StepRun& run, const RecordStamp& last, double startMin, double endMin,
                const double* relative, PossibleH possibleH) {
  StepState& state = run.state;
  const std::size_t columns = run.columns;
  state.possibleMin.resize(columns + 1);
  state.missingMin.resize(columns + 1);
  for (std::size_t c = 1; c <= columns; ++c) {
    state.possibleMin[c] = possibleH(c) * 60.0;
    state.missingMin[c] = state.gaps.missingH[c] * 60.0;
  }
  return state.reporter->step({last, startMin, endMin, relative, run.sums, state.possibleMin.data(),
                               state.missingMin.data(), columns});
}

}  // namespace kelvarin
