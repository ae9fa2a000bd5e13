// The run-wide record of kelvarin: the seven answers of the dialogue (owned by the station-data
// code, which reads them), and the exit statuses.
#pragma once

#include "run_parameters.hpp"

namespace kelvarin {

/// The process exit statuses.
enum ExitStatus : int {
  kExitSuccess = 0,
  kExitUsage = 1,    // fewer than two file names on the command line
  kExitFile = 2,     // a file cannot be opened, read or written, or its content is malformed
  kExitAnswers = 3,  // the dialogue answers make the step arithmetic meaningless
};

}  // namespace kelvarin
