// The step loop: records summed into output steps, and each step's relative sunshine.
#pragma once

#include <cstdint>
#include <cstdio>  // std::FILE
#include <vector>

#include "input_reader.hpp"
#include "kelvarin.hpp"
#include "output_buffer.hpp"

namespace kelvarin {

/// The time fields of a data record. The hour is the end of the interval the record covers.
struct RecordStamp {
  std::int32_t year;
  std::int32_t month;  // 1 to 12
  std::int32_t day;
  float hourH;  // single precision, also after the time shift is added
};

/// A step that lies more than this share in the night counts as wholly night.
inline constexpr double kNightThreshold = 0.95;
/// Written for results below -100: the mark of a missing value in the output files.
inline constexpr double kMissingValue = -9999.0;

/// Returns false when the answers give no whole number of records per output step (from 1 to
/// INT32_MAX) or an output step too long to truncate to a 32-bit integer: the loop cannot run.
bool hasUsableSteps(const RunParameters& params);

/// Reads the records after the header in groups of one output step, writes one line of relative
/// sunshine per step to `out` and the progress lines to `console`, until the input ends. Returns
/// kExitSuccess, or kExitFile after printing why the records could not be read; every whole step
/// line before the fault is kept. `columnSums` holds N + 1 zeros.
int runStepLoop(InputReader& in, OutputBuffer& out, std::FILE* console, const RunParameters& params,
                std::vector<double>& columnSums);

/// Runs the whole of a station file: the header pass, then the step loop. Returns kExitSuccess, or
/// kExitFile after the message of the fault; `columnSums` is sized by the header pass.
int convertStationFile(InputReader& in, OutputBuffer& out, std::FILE* console,
                       const RunParameters& params, std::vector<double>& columnSums);

}  // namespace kelvarin
