// The run driver: command line, files, the seven-question dialogue and the exit status.
#pragma once

#include <array>
#include <cstdio>  // std::FILE
#include <optional>
#include <string>

#include "kelvarin.hpp"

namespace kelvarin {

/// Which of the seven answers, in dialogue order, are given already and not asked.
using GivenAnswers = std::array<bool, 7>;

/// Asks the questions not `given` on `console` and reads each answer into `params` from `answers`
/// with the C library's "%f" conversion. Returns the refusal line for the console when an answer
/// is not a number or the answers end before it; the questions after it are not asked.
std::optional<std::string> readRunParameters(std::FILE* answers, std::FILE* console,
                                             RunParameters& params, const GivenAnswers& given = {});

/// Returns why the answers cannot be used, as one line for the console, or nothing when they can.
std::optional<std::string> refuseRunParameters(const RunParameters& params);

/// Runs kelvarin over the files named in `argv`, with the dialogue on `answers` and `console`, and
/// returns the process exit status.
int runKelvarin(int argc, char** argv, std::FILE* answers, std::FILE* console);

}  // namespace kelvarin
