// The run driver: command line, files, the seven-question dialogue and the exit status.
#pragma once

#include <cstdio>  // std::FILE
#include <optional>
#include <string>

#include "kelvarin.hpp"

namespace kelvarin {

/// Asks the seven questions on `console` and reads each answer from `answers` with the C
/// library's "%f" conversion. An answer that is not a number leaves its field at 0 and stays
/// unread, to meet the next question.
RunParameters readRunParameters(std::FILE* answers, std::FILE* console);

/// Returns why the answers cannot be used, as one line for the console, or nothing when they can.
std::optional<std::string> refuseRunParameters(const RunParameters& params);

/// Runs kelvarin over the files named in `argv`, with the dialogue on `answers` and `console`, and
/// returns the process exit status.
int runKelvarin(int argc, char** argv, std::FILE* answers, std::FILE* console);

}  // namespace kelvarin
