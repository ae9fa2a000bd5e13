// The step loop: records summed into output steps, and each step's relative sunshine.
#pragma once

#include <cstdio>  // std::FILE
#include <optional>
#include <string>
#include <vector>

#include "diagnostics.hpp"
#include "kelvarin.hpp"
#include "output_buffer.hpp"
#include "record_stream.hpp"
#include "solar.hpp"

namespace kelvarin {

/// A step that lies more than this share in the night counts as wholly night.
inline constexpr double kNightThreshold = 0.95;
/// Results above this are written as it: more sunshine than the daylight allows.
inline constexpr double kUpperClip = 1.0;
/// Results below this are written as kMissingValue: a -999 in the step.
inline constexpr double kLowerClip = -100.0;
/// Written for results below -100: the mark of a missing value in the output files.
inline constexpr double kMissingValue = -9999.0;

/// Returns false when the answers give no whole number of records per output step (from 1 to
/// INT32_MAX) or an output step too long to truncate to a 32-bit integer: the loop cannot run.
bool hasUsableSteps(const RunParameters& params);

/// Returns the share of the window [startH, endH] (stepH long, local hours) that lies before
/// sunrise or after sunset, 1 when that share is above kNightThreshold. Sun times below 0 (no
/// sunrise or sunset that day) count as a day light from 0 to 24. The comparisons are strict: a
/// window ending exactly at sunrise is wholly night, one starting exactly at it has no night.
double nightFraction(double startH, double endH, double stepH, SunTimes sun);

/// Returns the relative sunshine of a step from its sum of sunshine minutes: the sum over the
/// step's length and its day fraction, clipped to 1 above and marked kMissingValue below -100;
/// 0 for a step without daylight.
double relativeSunshine(double sumMin, double outputStepMin, double dayFraction);

/// Writes relativeSunshine of `sums[1]` to `sums[columns]` into `results[1]` to
/// `results[columns]`, the same doubles, several at a time. `dayFraction` must be above 0.
void relativeSunshineOfAll(const double* sums, std::size_t columns, double outputStepMin,
                           double dayFraction, double* results);

/// How reading a station file ended.
enum class RunEnd {
  kDone,         // every record was read and every whole step written
  kBadInput,     // the file's content stopped the run: `message` says where and why
  kWriteFailed,  // the output file could not be written
};

struct RunOutcome {
  RunEnd end = RunEnd::kDone;
  std::string message;  // the console line for kBadInput, without its line break
};

/// How a run reads its file, beyond the answers.
struct RunOptions {
  bool fastPath = true;                // off: every value through the general scanner
  bool strict = false;                 // every warning ends the run as a fault of the file
  std::optional<double> missingValue;  // an input value equal to it is a missing measurement
  VectorLevel vectorLevel = VectorLevel::kPortable;  // of the vector value path
};

/// Reads the records after the header in groups of one output step and writes one line of
/// relative sunshine per step to `out` and the progress lines to `report`, until the input ends.
/// Every whole step line before a fault is kept, nothing of the step the fault stopped.
/// `columnSums` holds N + 1 zeros; the answers must have passed hasUsableSteps.
RunOutcome runStepLoop(RecordStream& records, OutputBuffer& out, Diagnostics& diagnostics,
                       std::FILE* report, const RunParameters& params,
                       std::vector<double>& columnSums);

/// Runs the whole of a station file: the header pass, then the step loop, then the totals of the
/// diagnostics. Reports (the column count, progress lines, the count of missing values) go to
/// `report`, warnings to `alerts`.
RunOutcome convertStationFile(InputReader& in, OutputBuffer& out, std::FILE* report,
                              std::FILE* alerts, const RunParameters& params,
                              const RunOptions& options = {});

}  // namespace kelvarin
