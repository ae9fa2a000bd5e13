// The run driver: the command line, the files, the dialogue and the exit status of one run.
#pragma once

#include <cstdio>  // std::FILE

#include "dialogue.hpp"
#include "kelvarin.hpp"
#include "options.hpp"

namespace kelvarin {

/// Runs kelvarin over the files named in `argv`, with the dialogue on `answers` and `console`, and
/// returns the process exit status. Everything it says goes to `console`.
int runKelvarin(int argc, char** argv, std::FILE* answers, std::FILE* console);

}  // namespace kelvarin
