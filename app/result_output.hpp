// The output file of a run in another layout than the table: written under a temporary name
// beside the target and renamed to it when the run succeeded, so that a run that fails part way
// leaves no file that looks complete.
#pragma once

#include <cstdio>  // std::FILE
#include <memory>
#include <optional>
#include <string>

#include "options.hpp"
#include "run_parameters.hpp"
#include "writing/step_report.hpp"

namespace kelvarin {

struct ResultOutput {
  OutputFormat format = OutputFormat::kTable;
  std::string target;
  std::string temporary;  // beside the target; removed unless renamed to it
  std::FILE* csvFile = nullptr;
  std::unique_ptr<StepReporter> reporter;
  ResultOutput() = default;
  ResultOutput(const ResultOutput&) = delete;
  ResultOutput& operator=(const ResultOutput&) = delete;
  ~ResultOutput();
};

/// Creates the temporary file beside `line.outputName`. Returns the status of a refusal, said on
/// `alerts` as the table's would be.
std::optional<int> openResultOutput(const CommandLine& line, std::FILE* alerts,
                                    ResultOutput& output);

/// Makes the writer of the run's layout, recording the answers and settings in the file.
void startResultWriter(ResultOutput& output, const CommandLine& line, const RunParameters& params);

/// Returns what the writer's library said of its last failure, or nothing.
std::string resultFailure(const ResultOutput& output);

/// Ends the output: closes the file and, when `succeeded`, renames it to the target. Returns
/// false when closing or renaming failed.
bool finishResultOutput(ResultOutput& output, bool succeeded);

}  // namespace kelvarin
