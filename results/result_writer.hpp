// The result layouts other programs read, and the one place that makes their writers: a new
// layout is a writer here and a word in kOutputLayouts.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "netcdf_writer.hpp"  // NetcdfRun: what a file records of its run
#include "writing/step_report.hpp"

namespace kelvarin {

/// The layout of the output file: the table of the station file, or one that other programs read.
enum class OutputFormat { kTable, kCsv, kNetcdf };

/// A layout as --format names it.
struct OutputLayout {
  std::string_view word;
  OutputFormat format;
  bool needsSeek;  // written into a file it can seek in: no pipe, no device
};

/// The layouts, in the order the usage text lists them.
inline constexpr OutputLayout kOutputLayouts[] = {
    {"table", OutputFormat::kTable, false},
    {"csv", OutputFormat::kCsv, false},
    {"netcdf", OutputFormat::kNetcdf, true},
};

/// Returns the layout a word of --format names, or nothing.
std::optional<OutputLayout> layoutNamed(std::string_view word);

/// Returns the layout of a format.
const OutputLayout& layoutOf(OutputFormat format);

/// Returns the writer of `format` (not the table), writing to the open descriptor `fd` (which it
/// owns from then on) or to the file at `path` where the layout's library opens the file itself.
/// `run` is what the file records of the run that made it.
std::unique_ptr<StepReporter> makeResultWriter(OutputFormat format, int fd, const std::string& path,
                                               NetcdfRun run);

}  // namespace kelvarin
