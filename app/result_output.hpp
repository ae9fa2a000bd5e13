// The output file of a run in another layout than the table. A regular file (or a new name) is
// written under a temporary name beside it and renamed to it when the run succeeded, so that a
// run that fails part way leaves no file that looks complete; a link's file is replaced, the link
// kept; a pipe or a device is written straight through by a layout that can stream.
#pragma once

#include <cstdio>  // std::FILE
#include <memory>
#include <optional>
#include <string>

#include "options.hpp"
#include "output_file.hpp"
#include "run_parameters.hpp"
#include "writing/step_report.hpp"

namespace kelvarin {

struct ResultOutput {
  OutputFormat format = OutputFormat::kTable;
  OutputPlace place;
  std::string temporary;  // beside the place's file; removed unless renamed to it
  int fd = -1;            // until the writer takes it
  std::unique_ptr<StepReporter> reporter;
  ResultOutput() = default;
  ResultOutput(const ResultOutput&) = delete;
  ResultOutput& operator=(const ResultOutput&) = delete;
  ~ResultOutput();
};

/// Finds where the results of `line.outputName` go and opens it: the temporary file beside it,
/// or the pipe or device itself. Returns the status of a refusal, said on `alerts` as the
/// table's would be, before any question is asked.
std::optional<int> openResultOutput(const CommandLine& line, std::FILE* alerts,
                                    ResultOutput& output);

/// Makes the writer of the run's layout, recording the answers and settings in the file. Returns
/// false when it could not be made.
bool startResultWriter(ResultOutput& output, const CommandLine& line, const RunParameters& params);

/// Returns what the writer said of its last failure, or nothing.
std::string resultFailure(const ResultOutput& output);

/// Ends the output: the writer finishes its file and, when `succeeded`, the file replaces the
/// target. Returns false when finishing or replacing failed.
bool finishResultOutput(ResultOutput& output, bool succeeded);

}  // namespace kelvarin
