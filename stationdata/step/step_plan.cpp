// The plan of a run's steps from its answers, the start of its state, and what both loops do
// with a step's missing records and with the end of the input.
#include <algorithm>  // std::min
#include <string>

#include "step/step_run.hpp"

namespace kelvarin {

namespace {

void startGaps(StepGaps& gaps, double coverage, std::size_t columns);

}  // namespace

bool hasUsableSteps(const RunParameters& params) {
  const float quotient = params.outputStepMin / params.inputStepMin;
  return quotient >= 1.0f && quotient < kInt32Limit && params.outputStepMin < kInt32Limit;
}

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

// Starts a run's state: the sun and the daylight at its place or places, and room for a step.
void startState(StepState& state, const RunParameters& params, const ColumnPlaces* places,
                double coverage, bool shortcuts, const PossibleSunshine& possible,
                std::size_t columns) {
  LightSource& light = state.sun.light;
  light.params = &params;
  light.places = places;
  light.shortcuts = shortcuts;
  light.model = possible.model;
  light.elevationDeg = possible.elevationDeg.value_or(defaultSunElevationDeg(possible.model));
  light.ownModel = isOwnSky(possible);
  state.sun.places = places;
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
    light.columnReach.assign(places->solar.size(), DayReach{});
    for (std::size_t c = 1; c < places->solar.size(); ++c) {
      widenLightBounds(state.sun.lightBounds, places->solar[c]);
      widenLightBounds(state.sun.columnBounds[c], places->solar[c]);
      light.columnReach[c] = reachOf(state.sun.columnBounds[c]);
    }
  }
  state.sun.light.reach = reachOf(state.sun.lightBounds);
  if (!light.ownModel) {
    state.sun.servedEndFromH = HUGE_VAL;
    startModelLight(light, state.sun.lightBounds, state.sun.columnBounds,
                    possible.horizon != nullptr);
    if (possible.horizon != nullptr) {
      startSkylines(light, *possible.horizon);
    }
  }
  state.results.assign(columns + 1, 0.0);
  state.dayFractions.assign(places != nullptr ? columns + 1 : 0, 0.0);
  state.wholeDay.assign(places != nullptr ? columns + 1 : 0, 1.0);
  state.wholeNight.assign(places != nullptr ? columns + 1 : 0, 0.0);
}

namespace {

void startGaps(StepGaps& gaps, double coverage, std::size_t columns) {
  gaps.coverage = coverage;
  gaps.missingH.assign(columns + 1, 0.0);
  gaps.partial.assign(columns + 1, 0);
  gaps.missing.assign(columns + 1, 0);
  gaps.firstLine.assign(columns + 1, 0);
}

}  // namespace

// Returns the result of a column whose missing records hold `missingH` hours of the step's
// `possibleH` hours of daylight: from the sunshine of the others over their daylight where they
// cover enough of it, kMissingValue where not. Counted for the end of the run.
double gapResult(StepGaps& gaps, std::size_t c, double sumMin, double possibleH,
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

// Settles the values of the record read last that are missing: where the record holds no
// daylight at the column's place the sunshine was 0, known without a measurement; elsewhere its
// daylight is counted against the column's result.
void settleMissing(StepRun& run) {
  StepState& state = run.state;
  const StepPlan& plan = run.plan;
  const std::size_t columns = run.columns;
  const RecordStamp& stamp = state.stamp;
  const double endH = static_cast<double>(state.localH);
  const double startH = endH - plan.inputStepH;
  const bool placed = state.sun.light.places != nullptr;
  std::optional<double> placeH;
  bool columnsKnown = false;
  for (const std::size_t c : run.records.missingColumns) {
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
    const std::string what = lastStepCutText(k - 1, recordsPerStep);
    if (diagnostics.strict) {
      return {RunEnd::kBadInput, ReadFault{0, {}, what}};
    }
    sayWarning(diagnostics.console, what);
  }
  return {flushLines(out) ? RunEnd::kDone : RunEnd::kWriteFailed, {}};
}

}  // namespace kelvarin
