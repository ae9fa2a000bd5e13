// The step loop: records summed into output steps, and each step's relative sunshine.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "diagnostics/diagnostics.hpp"
#include "read_fault.hpp"
#include "reading/record_reader.hpp"
#include "run_parameters.hpp"
#include "step/places.hpp"
#include "step/possible.hpp"
#include "step/results.hpp"
#include "writing/output_buffer.hpp"
#include "writing/step_report.hpp"

namespace kelvarin {

/// The longest output step, in minutes: 100 years of 365.25 days. A step's daylight is worked
/// out day by day; a century of days is a few milliseconds a step, the 4,000 years that 2^31
/// minutes allow would be seconds.
inline constexpr float kMaxOutputStepMin = 52596000.0f;

/// Returns false when the answers give no whole number of records per output step (from 1 to
/// INT32_MAX) or an output step too long to truncate to a 32-bit integer: the loop cannot run.
bool hasUsableSteps(const RunParameters& params);

/// How reading a station file ended.
enum class RunEnd {
  kDone,           // every record was read and every whole step written
  kBadInput,       // the file's content stopped the run: `fault` says where and why
  kWriteFailed,    // the output file could not be written
  kPlacesRefused,  // a column's station has no place: `unplaced` says which
};

struct RunOutcome {
  RunEnd end = RunEnd::kDone;
  ReadFault fault;                     // for kBadInput
  std::optional<Unplaced> unplaced{};  // for kPlacesRefused
};

/// The possible sunshine a run divides by: the model of the sun and the elevation its centre
/// must pass.
struct PossibleSunshine {
  SunModel model = SunModel::kClassic;
  std::optional<double> elevationDeg;     // nothing: the model's own
  const HorizonTable* horizon = nullptr;  // each station's skyline; nothing: flat
};

/// Returns whether the possible sunshine is the program's own model at a flat horizon, whose
/// step arithmetic and memos serve it: no other model, elevation or skyline chosen.
inline bool isOwnSky(const PossibleSunshine& possible) {
  return possible.model == SunModel::kClassic && possible.elevationDeg.value_or(0.0) == 0.0 &&
         possible.horizon == nullptr;
}

/// How a run reads its file, beyond the answers.
struct RunOptions {
  bool shortcuts = true;               // off: every field, result and sun time the plain way
  bool strict = false;                 // every warning ends the run as a fault of the file
  std::vector<double> missingMarkers;  // an input value equal to one is a missing measurement
  VectorLevel vectorLevel = VectorLevel::kPortable;   // of the vector value path
  const std::vector<StationPlace>* places = nullptr;  // each station at its own place
  double coverage = 1.0;             // the share of a step's daylight its known records must hold
  StepReporter* reporter = nullptr;  // given each step for results in another layout
  PossibleSunshine possible;         // the program's own model at the horizon unless given
};

/// Reads the records after the header in groups of one output step and writes one line of
/// relative sunshine per step to `out` and the progress lines to the console, until the input
/// ends.
/// Every whole step line before a fault is kept, nothing of the step the fault stopped.
/// `columnSums` holds N + 1 zeros; the answers must have passed hasUsableSteps.
/// `places`, when given, holds each column's own place, which takes the place of the answers'.
RunOutcome runStepLoop(RecordReader& records, OutputBuffer& out, Diagnostics& diagnostics,
                       const RunParameters& params, std::vector<double>& columnSums,
                       const ColumnPlaces* places = nullptr, double coverage = 1.0,
                       StepReporter* reporter = nullptr, const PossibleSunshine& possible = {});

/// Converts a whole station file: the header pass, then the step loop, then the totals of the
/// diagnostics; the column count, the days, the warnings and the count of missing values are said
/// on `console` as the run streams. The entry point of the station-data code.
RunOutcome convertStationFile(InputReader& in, OutputBuffer& out, const RunConsole& console,
                              const RunParameters& params, const RunOptions& options = {});

}  // namespace kelvarin
